// Keyboard access on a terminal: raw mode for one key, restored on every path.
#include "base/keyboard.hpp"

#include "base/clock.hpp"
#include "base/console.hpp"

#include <cctype>
#include <ctime>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace kovra {
namespace {

// Switches the terminal on standard input to non-canonical, no-echo mode for
// its lifetime. ok() is false when standard input is not a terminal.
class RawMode {
public:
  RawMode() {
    if (isatty(STDIN_FILENO) == 0 || tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    termios raw = saved_;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    ok_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
  }
  ~RawMode() {
    if (ok_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
  }
  RawMode(const RawMode&) = delete;
  RawMode& operator=(const RawMode&) = delete;
  bool ok() const { return ok_; }

private:
  termios saved_{};
  bool ok_ = false;
};

bool InputWaiting(int timeoutMs) {
  pollfd pfd{STDIN_FILENO, POLLIN, 0};
  return poll(&pfd, 1, timeoutMs) > 0 && (pfd.revents & POLLIN) != 0;
}

int ReadByte() {
  unsigned char c = 0;
  return read(STDIN_FILENO, &c, 1) == 1 ? c : -1;
}

// Reads one key in raw mode. A function key arrives as ESC followed at once by
// more bytes; the whole sequence is consumed so that it counts as one key, and
// its last byte is returned. A lone ESC stays 27.
int ReadKey(const RawMode& raw) {
  if (!raw.ok()) return -1;
  int key = ReadByte();
  if (key == 0) key = ReadByte();
  if (key == KEY_ESC) {
    while (InputWaiting(20)) {
      const int next = ReadByte();
      if (next < 0) break;
      key = next;
    }
  }
  return key;
}

bool gPollStarted = false;
std::time_t gNextLook = 0;

} // namespace

int WaitKey(bool batchMode) {
  DualPrint("\n");
  if (batchMode) return 0;
  StderrPrint("\rPress a key...");
  ConsoleFlush();
  int key = -1;
  {
    RawMode raw;
    key = ReadKey(raw);
  }
  StderrPrint("\r               \r");
  return key;
}

int PollKey() {
  const std::time_t now = NowSeconds();
  if (!gPollStarted) {
    gPollStarted = true;
    gNextLook = now + 5;
  }
  if (now <= gNextLook) return 0;
  gNextLook = now + 5;
  RawMode raw;
  if (!raw.ok() || !InputWaiting(0)) return 0;
  const int key = ReadKey(raw);
  if (key < 0) return 0;
  return (key >= 'A' && key <= 'Z') ? key - 'A' + 'a' : key;
}

void ResetPollKeyForTest() {
  gPollStarted = false;
  gNextLook = 0;
}

} // namespace kovra
