// A new file that appears completely or not at all.
#include "output/safefile.hpp"

#include "base/shutdown.hpp"
#include "base/text.hpp"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kovra {
namespace {

PendingHook gHook = nullptr;

int Hook(PendingStep step, const PendingFile& f) { return gHook != nullptr ? gHook(step, f) : 0; }

// Six characters like mkstemp's, from a generator seeded per call; the name
// is taken with O_EXCL, so a collision only costs another try.
std::string RandomSuffix(uint64_t& state) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string s(6, 'x');
  for (char& c : s) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    c = kChars[(state >> 33) % (sizeof kChars - 1)];
  }
  return s;
}

// The stream's writes go straight to the descriptor, and the first failure's
// errno is kept: stdio keeps only a flag, and by the time the caller looks,
// errno may tell of a later, lesser failure (or of none).
ssize_t WriteToDescriptor(void* cookie, const char* buf, size_t size) {
  auto& f = *static_cast<PendingFile*>(cookie);
  size_t done = 0;
  while (done < size) {
    const int injected = Hook(PendingStep::kWrite, f);
    const ssize_t n =
        injected != 0 ? (errno = injected, -1) : ::write(f.fd, buf + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (f.writeError == 0) f.writeError = n < 0 ? errno : EIO;
      return 0;
    }
    done += static_cast<size_t>(n);
    f.written += static_cast<uint64_t>(n);
  }
  return static_cast<ssize_t>(done);
}

int CloseDescriptor(void* cookie) {
  auto& f = *static_cast<PendingFile*>(cookie);
  const int injected = Hook(PendingStep::kClose, f);
  const int rc = ::close(f.fd);
  f.fd = -1;
  if (injected != 0) errno = injected;
  return injected != 0 ? -1 : rc;
}

// Gives the file at `from` the name `to` unless that name is taken. A file
// system without the non-replacing rename gets a second hard link instead,
// which fails on a taken name just the same, and loses the first name.
bool PlaceWithoutReplacing(const PendingFile& f) {
  const int injected = Hook(PendingStep::kPlace, f);
  if (injected == 0 &&
      ::renameat2(AT_FDCWD, f.tempPath.c_str(), AT_FDCWD, f.target.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (injected != 0) errno = injected;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  if (::link(f.tempPath.c_str(), f.target.c_str()) != 0) return false;
  ::unlink(f.tempPath.c_str());
  return true;
}

} // namespace

void SetPendingHookForTest(PendingHook hook) { gHook = hook; }

PendingFile::~PendingFile() {
  if (!committed) DiscardPendingFile(*this);
}

const char* UnreplaceableKind(const std::string& target) {
  struct stat st {};
  if (::lstat(target.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return nullptr;
  if (S_ISLNK(st.st_mode))
    return ::stat(target.c_str(), &st) == 0 ? "a symbolic link to an existing file" : nullptr;
  if (S_ISDIR(st.st_mode)) return "a directory";
  if (S_ISFIFO(st.st_mode)) return "a FIFO";
  if (S_ISSOCK(st.st_mode)) return "a socket";
  return "a device";
}

bool OpenPendingFile(PendingFile& f, const std::string& target, bool replace) {
  DiscardPendingFile(f);
  f.target = target;
  f.replace = replace;
  f.writeError = 0;
  f.written = 0;
  f.committed = false;
  if (target.empty() || target.back() == '/') {
    errno = EINVAL;
    return false;
  }
  // A replaced file's readers keep their access; the special bits would
  // hand a design file rights nobody asked for.
  struct stat st {};
  const bool keepMode = replace && ::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  const mode_t mode = keepMode ? (st.st_mode & 0777) : 0666;

  uint64_t state =
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      (static_cast<uint64_t>(::getpid()) << 32) ^ reinterpret_cast<uintptr_t>(&f);
  // ".name.XXXXXX" beside "name": hidden, and clearly belonging to it.
  const PathParts parts = SplitPath(target);
  const std::string prefix =
      std::string(parts.dir) + "." + std::string(parts.base) + std::string(parts.ext) + ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = prefix + RandomSuffix(state);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    // The umask applies to a new name only; a replaced file's bits come over as they were.
    if (keepMode) ::fchmod(fd, mode);
    f.fd = fd;
    f.tempPath = path;
    f.cleanupSlot = RegisterTempPath(path.c_str());
    cookie_io_functions_t io{};
    io.write = WriteToDescriptor;
    io.close = CloseDescriptor;
    f.stream = ::fopencookie(&f, "w", io);
    if (f.stream == nullptr) {
      const int saved = errno;
      DiscardPendingFile(f);
      errno = saved;
      return false;
    }
    Hook(PendingStep::kOpened, f);
    return true;
  }
  errno = EEXIST;
  return false;
}

bool CommitPendingFile(PendingFile& f, std::string* why) {
  auto fail = [&](const char* what) {
    const int saved = errno;
    if (why != nullptr) *why = std::string(what) + ": " + std::strerror(saved);
    DiscardPendingFile(f);
    errno = saved;
    return false;
  };
  if (f.stream == nullptr) {
    errno = EBADF;
    return fail("no file");
  }
  errno = 0;
  if (std::fflush(f.stream) != 0 || std::ferror(f.stream) != 0) {
    errno = f.writeError != 0 ? f.writeError : (errno != 0 ? errno : EIO);
    return fail("write");
  }
  if (::fsync(f.fd) != 0 && errno != EINVAL) return fail("sync");
  struct stat written {};
  if (::fstat(f.fd, &written) != 0) return fail("sync");
  std::FILE* stream = f.stream;
  f.stream = nullptr;
  if (std::fclose(stream) != 0) return fail("close");
  // Someone who may write the directory could have put something else under
  // the temporary name; that must not take the target's place.
  struct stat named {};
  if (::lstat(f.tempPath.c_str(), &named) != 0 || named.st_dev != written.st_dev ||
      named.st_ino != written.st_ino) {
    errno = ESTALE;
    return fail("rename");
  }
  if (f.replace) {
    const int injected = Hook(PendingStep::kPlace, f);
    if (const char* kind = UnreplaceableKind(f.target)) {
      if (why != nullptr) *why = "<" + f.target + "> is " + kind + ", not a regular file";
      DiscardPendingFile(f);
      errno = EEXIST;
      return false;
    }
    if (injected != 0) {
      errno = injected;
      return fail("rename");
    }
    if (::rename(f.tempPath.c_str(), f.target.c_str()) != 0) return fail("rename");
  } else if (!PlaceWithoutReplacing(f)) {
    return fail("rename");
  }
  UnregisterTempPath(f.cleanupSlot);
  f.cleanupSlot = -1;
  f.tempPath.clear();
  f.committed = true;
  return true;
}

void DiscardPendingFile(PendingFile& f) {
  if (f.stream != nullptr) {
    std::fclose(f.stream);
    f.stream = nullptr;
  }
  if (f.fd >= 0) {
    ::close(f.fd);
    f.fd = -1;
  }
  if (!f.tempPath.empty()) {
    ::unlink(f.tempPath.c_str());
    f.tempPath.clear();
  }
  UnregisterTempPath(f.cleanupSlot);
  f.cleanupSlot = -1;
}

} // namespace kovra
