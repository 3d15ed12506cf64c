// Console output: buffered standard output and error, written with write(2)
// so that a terminating signal can still write out what was printed.
#include "base/console.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kovra {
namespace {

ConsoleCapture* gCapture = nullptr;
thread_local ConsoleTap* tTap = nullptr;

constexpr size_t kBufSize = size_t{1} << 16;

// One output stream. `used` is read by the signal handler, which writes
// buf[0..used); text is appended behind it before `used` grows, and the
// buffer is drained only while the terminating signals are held, so the
// handler never sees half a change.
struct Sink {
  int fd;
  bool tty = false;
  int error = 0; // the first write error; the stream takes nothing after it
  volatile std::sig_atomic_t used = 0;
  char buf[kBufSize];
};

Sink gOut{STDOUT_FILENO, false, 0, 0, {}};
Sink gErr{STDERR_FILENO, false, 0, 0, {}};
bool gReady = false;
bool gMirror = false;     // standard output redirected, standard error a terminal
bool gSameTarget = false; // both streams are one file (`> log 2>&1`)
bool gLogToStderr = false;
bool gQuiet = false;
std::string gQuietLine; // the part of a line the filters have not judged yet

// The starts of the lines --quiet lets pass: the words that give messages
// their weight, the verdict of a design, the answer of the parameter
// search and the verdicts of several designs together. Notes about files
// ("# ...") carry no weight: a file name that disagrees with its ID line
// changes nothing the run does.
// clang-format off
constexpr const char* kWeightyStarts[] = {
    "Err", "ERR", "Error", "WARN", "Warn", "WARNING", "Warning", "Invalid",
    "TestRetCode:", "Beyond reach", "Satisfying params", "Designs:"};
// clang-format on

const char* gLeftOut = nullptr; // lines starting so are left out of the log (LogLinesLeftOut)

bool StartsWith(const std::string& line, const char* start) {
  size_t i = 0;
  while (i < line.size() && (line[i] == '\r' || line[i] == ' ')) ++i;
  return line.compare(i, std::strlen(start), start) == 0;
}

bool Weighty(const std::string& line) {
  for (const char* start : kWeightyStarts)
    if (StartsWith(line, start)) return true;
  return false;
}

// Whether a whole line of the log is printed.
bool Passes(const std::string& line) {
  if (gLeftOut != nullptr && StartsWith(line, gLeftOut)) return false;
  return !gQuiet || Weighty(line);
}

constexpr int kHeldSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Holds the signals that end a run while the buffer is being drained.
class SignalHold {
public:
  SignalHold() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kHeldSignals) sigaddset(&set, sig);
    sigprocmask(SIG_BLOCK, &set, &saved_);
  }
  ~SignalHold() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }
  SignalHold(const SignalHold&) = delete;
  SignalHold& operator=(const SignalHold&) = delete;

private:
  sigset_t saved_{};
};

void Ready() {
  if (!gReady) InitConsole();
}

void WriteAll(Sink& s, const char* p, size_t n) {
  while (n > 0 && s.error == 0) {
    const ssize_t w = ::write(s.fd, p, n);
    if (w < 0) {
      if (errno != EINTR) s.error = errno;
      continue;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
}

// Writes the first n buffered bytes and moves the rest to the front.
void Drain(Sink& s, size_t n) {
  SignalHold hold;
  const auto used = static_cast<size_t>(s.used);
  WriteAll(s, s.buf, n);
  std::memmove(s.buf, s.buf + n, used - n);
  s.used = static_cast<std::sig_atomic_t>(used - n);
}

void FlushSink(Sink& s) {
  if (s.used != 0) Drain(s, static_cast<size_t>(s.used));
}

// A full buffer is written up to its last line end, so that a file shared by
// both streams never gets a line of one cut by a line of the other.
void MakeRoom(Sink& s) {
  const auto used = static_cast<size_t>(s.used);
  const char* end = s.buf + used;
  const char* last = end;
  while (last != s.buf && last[-1] != '\n') --last;
  Drain(s, last != s.buf ? static_cast<size_t>(last - s.buf) : used);
}

// Appends text; for a file or pipe a carriage return that does not end a
// line is left out: it only moves a terminal's cursor back over a progress
// text, and in a log it would hide the start of the line from grep.
void Append(Sink& s, const char* p, size_t n, bool dropCr) {
  while (n > 0) {
    if (static_cast<size_t>(s.used) == kBufSize) MakeRoom(s);
    const auto used = static_cast<size_t>(s.used);
    size_t take = std::min(kBufSize - used, n);
    if (dropCr) {
      if (const void* cr = std::memchr(p, '\r', take))
        take = static_cast<size_t>(static_cast<const char*>(cr) - p);
      if (take == 0) {
        if (n > 1 && p[1] == '\n') {
          s.buf[used] = '\r';
          s.used = static_cast<std::sig_atomic_t>(used + 1);
        }
        ++p;
        --n;
        continue;
      }
    }
    std::memcpy(s.buf + used, p, take);
    s.used = static_cast<std::sig_atomic_t>(used + take);
    p += take;
    n -= take;
  }
}

// A terminal shows each message as it is printed; files and pipes get
// whole buffers.
void Put(Sink& s, const char* p, size_t n, bool raw) {
  Append(s, p, n, !raw && !s.tty);
  if (s.tty) FlushSink(s);
}

// Formats into a stack buffer, or a heap one for the rare long text.
class Formatted {
public:
  Formatted(const char* format, va_list args) KOVRA_PRINTF(2, 0) {
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(small_, sizeof small_, format, copy);
    va_end(copy);
    if (n <= 0) return;
    size_ = static_cast<size_t>(n);
    if (size_ < sizeof small_) {
      text_ = small_;
      return;
    }
    large_.resize(size_ + 1);
    std::vsnprintf(large_.data(), large_.size(), format, args);
    text_ = large_.data();
  }
  const char* data() const { return text_; }
  size_t size() const { return size_; }

private:
  char small_[512];
  std::string large_;
  const char* text_ = small_;
  size_t size_ = 0;
};

void ToStderr(const Formatted& text) {
  if (gCapture != nullptr) {
    gCapture->err.append(text.data(), text.size());
    return;
  }
  Ready();
  // In a file shared by both streams, what standard output holds comes first.
  if (gSameTarget) FlushSink(gOut);
  Append(gErr, text.data(), text.size(), !gErr.tty);
  FlushSink(gErr);
}

} // namespace

void InitConsole() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null >= 0 && null != fd) {
      ::dup2(null, fd);
      ::close(null);
    }
  }
  gOut.tty = ::isatty(STDOUT_FILENO) != 0;
  gErr.tty = ::isatty(STDERR_FILENO) != 0;
  gMirror = !gOut.tty && gErr.tty;
  struct stat out {};
  struct stat err {};
  gSameTarget = ::fstat(STDOUT_FILENO, &out) == 0 && ::fstat(STDERR_FILENO, &err) == 0 &&
                out.st_dev == err.st_dev && out.st_ino == err.st_ino;
  gReady = true;
}

bool StdoutIsConsole() {
  Ready();
  return gOut.tty;
}

bool StderrIsConsole() {
  Ready();
  return gErr.tty;
}

namespace {

void WriteLog(const char* text, size_t size) {
  if (gCapture != nullptr) {
    gCapture->out.append(text, size);
    return;
  }
  Ready();
  if (gLogToStderr) {
    if (gSameTarget) FlushSink(gOut);
    Put(gErr, text, size, false);
    return;
  }
  Put(gOut, text, size, false);
  if (gMirror) Put(gErr, text, size, false);
}

} // namespace

void SetLogToStderr() { gLogToStderr = true; }

void SetQuietLog() { gQuiet = true; }

LogLinesLeftOut::LogLinesLeftOut(const char* start) : previous_(gLeftOut) { gLeftOut = start; }
LogLinesLeftOut::~LogLinesLeftOut() { gLeftOut = previous_; }

void DualWrite(const char* text, size_t size) {
  if (tTap != nullptr) {
    tTap->Take(text, size);
    if (!tTap->console()) return;
  }
  if (!gQuiet && gLeftOut == nullptr && gQuietLine.empty()) {
    WriteLog(text, size);
    return;
  }
  // Whole lines are judged; a line printed in pieces waits for its end.
  gQuietLine.append(text, size);
  size_t start = 0;
  for (size_t nl; (nl = gQuietLine.find('\n', start)) != std::string::npos; start = nl + 1) {
    const std::string line = gQuietLine.substr(start, nl + 1 - start);
    if (Passes(line)) WriteLog(line.data(), line.size());
  }
  gQuietLine.erase(0, start);
}

char* PutUnsigned(char* out, unsigned long value, int width) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (int pad = width - n; pad > 0; --pad) *out++ = ' ';
  while (n > 0) *out++ = digits[--n];
  return out;
}

int16_t DualPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const Formatted text(format, args);
  va_end(args);
  DualWrite(text.data(), text.size());
  return static_cast<int16_t>(text.size());
}

ConsoleTap::ConsoleTap(std::function<void(std::string_view)> sink, bool console)
    : sink_(std::move(sink)), console_(console), previous_(tTap) {
  tTap = this;
}
ConsoleTap::~ConsoleTap() { tTap = previous_; }
ConsoleTap* ConsoleTap::Current() { return tTap; }

void StdoutPrint(const char* format, ...) {
  if (tTap != nullptr && !tTap->console()) return;
  va_list args;
  va_start(args, format);
  const Formatted text(format, args);
  va_end(args);
  if (gCapture != nullptr) {
    gCapture->out.append(text.data(), text.size());
    return;
  }
  Ready();
  Put(gOut, text.data(), text.size(), true);
}

void StdoutWrite(const char* data, size_t size) {
  if (tTap != nullptr && !tTap->console()) return;
  if (gCapture != nullptr) {
    gCapture->out.append(data, size);
    return;
  }
  Ready();
  Put(gOut, data, size, true);
}

void StderrPrint(const char* format, ...) {
  if (tTap != nullptr && !tTap->console()) return;
  va_list args;
  va_start(args, format);
  const Formatted text(format, args);
  va_end(args);
  ToStderr(text);
}

void ConsoleFlush() {
  if (gCapture != nullptr) return;
  // A weighty line cut short by the end of the run still counts.
  if (!gQuietLine.empty() && Passes(gQuietLine)) {
    WriteLog(gQuietLine.data(), gQuietLine.size());
    gQuietLine.clear();
  }
  FlushSink(gOut);
  FlushSink(gErr);
}

bool FlushStdout() {
  if (gCapture != nullptr) return true;
  FlushSink(gOut);
  return gOut.error == 0;
}

int StdoutError() { return gCapture != nullptr ? 0 : gOut.error; }

void ConsoleFlushForSignal() {
  const int saved = errno;
  for (Sink* s : {&gOut, &gErr}) {
    const char* p = s->buf;
    auto n = static_cast<size_t>(s->used);
    while (n > 0 && s->error == 0) {
      const ssize_t w = ::write(s->fd, p, n);
      if (w <= 0) break;
      p += w;
      n -= static_cast<size_t>(w);
    }
    s->used = 0;
  }
  errno = saved;
}

ConsoleCapture::ConsoleCapture() : previous_(gCapture) { gCapture = this; }
ConsoleCapture::~ConsoleCapture() { gCapture = previous_; }

} // namespace kovra
