// Keyboard access on a terminal: raw mode for one key, restored on every path.
#include "base/keyboard.hpp"

#include "base/clock.hpp"
#include "base/console.hpp"

#include <csignal>
#include <ctime>
#include <iterator>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace kovra {
namespace {

// The settings to put back when a signal ends the process while the terminal
// is in raw mode; without this a Ctrl-C at the key prompt would leave the
// user's shell without echo.
termios gSavedTermios{};
volatile sig_atomic_t gRawActive = 0;
constexpr int kRestoreSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RestoreTerminalAndReraise(int sig) {
  if (gRawActive != 0) tcsetattr(STDIN_FILENO, TCSANOW, &gSavedTermios);
  gRawActive = 0;
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, nullptr);
  raise(sig);
}

// Switches the terminal on standard input to non-canonical, no-echo mode for
// its lifetime, and restores it on the way out, also when one of the usual
// terminating signals arrives meanwhile. ok() is false when standard input is
// not a terminal.
class RawMode {
public:
  RawMode() {
    if (isatty(STDIN_FILENO) == 0 || tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    gSavedTermios = saved_;
    gRawActive = 1;
    struct sigaction sa {};
    sa.sa_handler = RestoreTerminalAndReraise;
    sigemptyset(&sa.sa_mask);
    for (size_t i = 0; i < std::size(kRestoreSignals); ++i)
      sigaction(kRestoreSignals[i], &sa, &previous_[i]);
    termios raw = saved_;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    ok_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    if (!ok_) Release();
  }
  ~RawMode() {
    if (ok_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    Release();
  }
  RawMode(const RawMode&) = delete;
  RawMode& operator=(const RawMode&) = delete;
  bool ok() const { return ok_; }

private:
  void Release() {
    if (gRawActive == 0) return;
    gRawActive = 0;
    for (size_t i = 0; i < std::size(kRestoreSignals); ++i)
      sigaction(kRestoreSignals[i], &previous_[i], nullptr);
  }

  termios saved_{};
  struct sigaction previous_[std::size(kRestoreSignals)]{};
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

// The next byte of an escape sequence, if it follows at once (a terminal sends
// a whole sequence in one go; a human does not type that fast).
constexpr int kSequenceGapMs = 50;
int NextSequenceByte() { return InputWaiting(kSequenceGapMs) ? ReadByte() : -1; }

// Reads one key in raw mode. A function or cursor key arrives as an escape
// sequence (ESC [ parameters final, or ESC O final); the whole sequence is
// consumed so that it counts as one key and its final byte is returned, while
// keys typed after it stay queued. ESC followed at once by another byte (Alt
// plus a key) is one key too. A lone ESC stays 27.
int ReadKey(const RawMode& raw) {
  if (!raw.ok()) return -1;
  int key = ReadByte();
  if (key == 0) key = ReadByte();
  if (key != KEY_ESC) return key;
  const int second = NextSequenceByte();
  if (second < 0) return KEY_ESC;
  if (second == 'O') {
    const int final = NextSequenceByte();
    return final < 0 ? second : final;
  }
  if (second != '[') return second;
  int b = NextSequenceByte();
  if (b < 0) return second;
  // The Linux console sends its first function keys as ESC [ [ letter.
  if (b == '[') {
    b = NextSequenceByte();
    return b < 0 ? second : b;
  }
  // Parameter and intermediate bytes lie in 0x20..0x3F, the final byte in
  // 0x40..0x7E. A bound on the length keeps a stream of junk from holding
  // the read forever.
  for (int i = 0; i < 32 && b >= 0x20 && b <= 0x3F; ++i) {
    b = NextSequenceByte();
    if (b < 0) return second;
  }
  return b;
}

bool gPollStarted = false;
std::time_t gNextLook = 0;

} // namespace

int WaitKey(bool batchMode) {
  DualPrint("\n");
  if (batchMode) return 0;
  // Only someone at a terminal can answer, and only a terminal shows the
  // screens page by page: `kovra -h | head` or `kovra -i > info.txt` must not
  // wait for a key nobody knows is wanted.
  if (isatty(STDIN_FILENO) == 0 || !StdoutIsConsole()) return -1;
  // The prompt belongs on the terminal; standard error may have gone to a file.
  const auto prompt = [](const char* text) {
    if (StderrIsConsole())
      StderrPrint("%s", text);
    else
      StdoutPrint("%s", text);
  };
  prompt("\rPress a key...");
  ConsoleFlush();
  int key = -1;
  {
    RawMode raw;
    key = ReadKey(raw);
  }
  prompt("\r               \r");
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
