// Design input read while it is parsed.
#include "base/input.hpp"

#include "base/console.hpp"
#include "base/fatal.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kovra {
namespace {

constexpr char kNotAFile[] = "not a regular file or FIFO";
constexpr char kReadOnce[] = "standard input can be read only once, and it was too long to keep "
                             "for a second look; give the design as a file";
constexpr size_t kBufferSize = 4 * MAX_LINE_BYTES;

// Standard input for the whole process. A regular file is read by position,
// every reader from where it started. A pipe can be read only once: its bytes
// are kept, up to a bound, while a caller has asked for a second look.
struct StdinKeeper {
  bool checked = false;
  bool ok = false;
  std::string reason;
  bool seekable = false;
  uint64_t start = 0;
  uint64_t size = UINT64_MAX;
  uint64_t consumed = 0; // bytes read from the pipe so far
  bool keeping = false;
  uint64_t bound = 0;
  bool lost = false; // some bytes that were read are not in `kept`
  std::string kept;  // bytes 0.. of the pipe
};

StdinKeeper& Keeper() {
  static StdinKeeper k;
  if (k.checked) return k;
  k.checked = true;
  struct stat st {};
  if (fstat(STDIN_FILENO, &st) != 0) {
    k.reason = std::strerror(errno);
    return k;
  }
  // A terminal is read up to the end-of-file key like a pipe; a device such
  // as /dev/zero would be read for ever.
  k.ok = S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) ||
         isatty(STDIN_FILENO) != 0;
  if (!k.ok) k.reason = kNotAFile;
  if (k.ok && S_ISREG(st.st_mode)) {
    const off_t at = lseek(STDIN_FILENO, 0, SEEK_CUR);
    k.seekable = at >= 0;
    k.start = at >= 0 ? static_cast<uint64_t>(at) : 0;
    const auto total = static_cast<uint64_t>(st.st_size);
    k.size = total > k.start ? total - k.start : 0;
  }
  return k;
}

// Reads the pipe at stream offset `at` (never beyond what was read so far):
// from what is kept, else from the pipe itself, keeping what comes while
// that is asked for. -1 with errno on a read error.
ssize_t ReadKeptStdin(uint64_t at, char* to, size_t room) {
  StdinKeeper& k = Keeper();
  if (!k.lost && at < k.kept.size()) {
    const size_t n = std::min<uint64_t>(room, k.kept.size() - at);
    std::memcpy(to, k.kept.data() + at, n);
    return static_cast<ssize_t>(n);
  }
  const ssize_t n = read(STDIN_FILENO, to, room);
  if (n <= 0) return n;
  k.consumed += static_cast<uint64_t>(n);
  if (k.keeping && !k.lost) {
    if (k.kept.size() + static_cast<size_t>(n) > k.bound) {
      k.lost = true;
      std::string().swap(k.kept);
    } else {
      k.kept.append(to, static_cast<size_t>(n));
    }
  }
  return n;
}

} // namespace

void KeepStandardInput(uint64_t bound) {
  StdinKeeper& k = Keeper();
  if (k.seekable) return;
  k.keeping = bound != 0;
  k.bound = bound;
  if (k.consumed > k.kept.size() || bound == 0) {
    k.lost = k.consumed > 0;
    std::string().swap(k.kept);
  }
}

InputStream::~InputStream() {
  if (ownFd_) close(fd_);
}

bool InputStream::Open(const char* name, std::string& reason) {
  reason.clear();
  name_ = name;
  if (std::strcmp(name, STDIN_NAME) == 0) {
    StdinKeeper& k = Keeper();
    if (!k.ok) {
      reason = k.reason;
      return false;
    }
    if (!k.seekable && k.consumed > 0 && (k.lost || k.kept.size() < k.consumed)) {
      reason = kReadOnce;
      return false;
    }
    fd_ = STDIN_FILENO;
    stdin_ = !k.seekable;
    seekable_ = k.seekable;
    start_ = k.start;
    size_ = k.size;
  } else {
    // Look before opening: opening some devices has effects of its own.
    struct stat st {};
    if (stat(name, &st) != 0) {
      reason = std::strerror(errno);
      return false;
    }
    if (S_ISDIR(st.st_mode)) {
      reason = std::strerror(EISDIR);
      return false;
    }
    if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) {
      reason = kNotAFile;
      return false;
    }
    fd_ = open(name, O_RDONLY | O_CLOEXEC);
    if (fd_ < 0 || fstat(fd_, &st) != 0) {
      reason = std::strerror(errno);
      return false;
    }
    ownFd_ = true;
    // The name may have been replaced between the two looks.
    if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) {
      reason = kNotAFile;
      return false;
    }
    // Read, not mapped: a mapped file that someone truncates while it loads
    // would end the run with SIGBUS.
    seekable_ = S_ISREG(st.st_mode);
    if (seekable_) size_ = static_cast<uint64_t>(st.st_size);
  }
  buf_.assign(kBufferSize, '\0');
  return true;
}

size_t InputStream::ReadSome(char* to, size_t room) {
  for (;;) {
    const ssize_t n = seekable_ ? pread(fd_, to, room, static_cast<off_t>(start_ + next_))
                      : stdin_  ? ReadKeptStdin(next_, to, room)
                                : read(fd_, to, room);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      DualPrint("Err: can't read <%s> (%s)\n", name_.c_str(), std::strerror(errno));
      ErrExit(1);
    }
    next_ += static_cast<uint64_t>(n);
    return static_cast<size_t>(n);
  }
}

void InputStream::Fill(const char*& pos, const char*& end, size_t want) {
  const size_t from = pos != nullptr ? static_cast<size_t>(pos - buf_.data()) : filled_;
  const size_t left = filled_ - from;
  std::memmove(buf_.data(), buf_.data() + from, left);
  bufStart_ += from;
  filled_ = left;
  want = std::min(want, buf_.size());
  while (filled_ < want && !atEnd_) {
    const size_t n = ReadSome(buf_.data() + filled_, buf_.size() - filled_);
    atEnd_ = n == 0;
    filled_ += n;
  }
  pos = buf_.data();
  end = pos + filled_;
}

uint64_t InputStream::OffsetOf(const char* pos) const {
  return bufStart_ + static_cast<uint64_t>(pos - buf_.data());
}

bool InputStream::SeekTo(uint64_t offset, const char*& pos, const char*& end) {
  if (offset >= bufStart_ && offset <= bufStart_ + filled_) {
    pos = buf_.data() + (offset - bufStart_);
    end = buf_.data() + filled_;
    return true;
  }
  if (!seekable_ && (!stdin_ || Keeper().lost || offset > Keeper().kept.size())) return false;
  bufStart_ = next_ = offset;
  filled_ = 0;
  atEnd_ = false;
  pos = end = buf_.data();
  return true;
}

void InputStream::LineTooLong(uint64_t line) const {
  DualPrint("Err: <%s> line %lu is longer than %lu bytes; no design file has such lines.\n",
            name_.c_str(), static_cast<unsigned long>(line),
            static_cast<unsigned long>(MAX_LINE_BYTES));
  ErrExit(2);
}

} // namespace kovra
