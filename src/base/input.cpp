// Whole inputs in memory.
#include "base/input.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kovra {
namespace {

constexpr char kNotAFile[] = "not a regular file or FIFO";

// Reads fd to its end; false with errno set on a read error. `expected` (the
// size of a regular file) sizes the buffer at once.
bool ReadAll(int fd, std::string& out, size_t expected = 0) {
  out.clear();
  out.resize(expected + 65536);
  size_t used = 0;
  for (;;) {
    if (out.size() - used < 65536) out.resize(out.size() * 2);
    const ssize_t n = read(fd, out.data() + used, out.size() - used);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  out.resize(used);
  out.shrink_to_fit();
  return true;
}

// Standard input, read at the first request. Every later request (the loader's
// second look, the parameter search's copy, a batch run) sees the same bytes:
// the stream itself can be read only once.
struct StdinCache {
  bool done = false;
  bool ok = false;
  std::string bytes;
  std::string reason;
};

StdinCache& TakeStdin() {
  static StdinCache cache;
  if (cache.done) return cache;
  cache.done = true;
  struct stat st {};
  if (fstat(STDIN_FILENO, &st) != 0) {
    cache.reason = std::strerror(errno);
    return cache;
  }
  // A terminal is read up to the end-of-file key like a pipe; a device such
  // as /dev/zero would be read for ever.
  const bool readable = S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) ||
                        isatty(STDIN_FILENO) != 0;
  if (!readable) {
    cache.reason = kNotAFile;
    return cache;
  }
  cache.ok = ReadAll(STDIN_FILENO, cache.bytes);
  if (!cache.ok) cache.reason = std::strerror(errno);
  return cache;
}

// Closes a descriptor on every way out.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

} // namespace

InputBytes::~InputBytes() { Release(); }

void InputBytes::Release() {
  heap_.clear();
  data_ = "";
  size_ = 0;
}

bool InputBytes::Read(const char* name, std::string& reason) {
  Release();
  reason.clear();
  if (std::strcmp(name, STDIN_NAME) == 0) {
    const StdinCache& in = TakeStdin();
    if (!in.ok) {
      reason = in.reason;
      return false;
    }
    data_ = in.bytes.data();
    size_ = in.bytes.size();
    return true;
  }
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
  Fd file;
  file.fd = open(name, O_RDONLY | O_CLOEXEC);
  if (file.fd < 0 || fstat(file.fd, &st) != 0) {
    reason = std::strerror(errno);
    return false;
  }
  // The name may have been replaced between the two looks.
  if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) {
    reason = kNotAFile;
    return false;
  }
  // Read, not mapped: a mapped file that someone truncates while it loads
  // would end the run with SIGBUS; a copy costs a few milliseconds.
  const size_t expected = S_ISREG(st.st_mode) ? static_cast<size_t>(st.st_size) : 0;
  if (!ReadAll(file.fd, heap_, expected)) {
    reason = std::strerror(errno);
    heap_.clear();
    return false;
  }
  data_ = heap_.data();
  size_ = heap_.size();
  return true;
}

} // namespace kovra
