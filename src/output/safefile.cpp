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

PendingStreamHook gStreamHook = nullptr;

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

// fsync of a file already closed: reopened read-only, which Linux allows.
// Special files (a test's /dev/full) cannot be synced and report EINVAL.
bool SyncPath(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return ok;
}

} // namespace

void SetPendingStreamHookForTest(PendingStreamHook hook) { gStreamHook = hook; }

PendingFile::~PendingFile() {
  if (!committed) DiscardPendingFile(*this);
}

bool OpenPendingFile(PendingFile& f, const std::string& target) {
  DiscardPendingFile(f);
  f.target = target;
  f.committed = false;
  if (target.empty() || target.back() == '/') {
    errno = EINVAL;
    return false;
  }
  mode_t mode = 0666;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) mode = st.st_mode & 07777;

  uint64_t state =
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      (static_cast<uint64_t>(::getpid()) << 32) ^ reinterpret_cast<uintptr_t>(&f);
  // ".name.XXXXXX" beside "name": hidden, and clearly belonging to it.
  const PathParts parts = SplitPath(target);
  const std::string prefix =
      std::string(parts.dir) + "." + std::string(parts.base) + std::string(parts.ext) + ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = prefix + RandomSuffix(state);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    // The umask already applied to a new name; an existing target's mode is
    // carried over as it is, so -O does not change who may read the file.
    if (mode != 0666) ::fchmod(fd, mode);
    f.tempPath = path;
    f.cleanupSlot = RegisterTempPath(path.c_str());
    if (gStreamHook != nullptr) {
      ::close(fd);
      f.stream = gStreamHook(path.c_str());
    } else {
      f.stream = ::fdopen(fd, "w");
      if (f.stream == nullptr) ::close(fd);
    }
    if (f.stream == nullptr) {
      const int saved = errno;
      DiscardPendingFile(f);
      errno = saved;
      return false;
    }
    return true;
  }
  errno = EEXIST;
  return false;
}

bool ClosePendingStream(PendingFile& f) {
  if (f.stream == nullptr) return true;
  const bool failed = std::ferror(f.stream) != 0;
  const int rc = std::fclose(f.stream);
  f.stream = nullptr;
  if (failed && rc == 0) errno = EIO;
  return !failed && rc == 0;
}

bool CommitPendingFile(PendingFile& f, std::string* why) {
  auto fail = [&](const char* what) {
    const int saved = errno;
    if (why != nullptr) *why = std::string(what) + ": " + std::strerror(saved);
    DiscardPendingFile(f);
    errno = saved;
    return false;
  };
  if (f.tempPath.empty()) {
    errno = EBADF;
    return fail("no file");
  }
  if (f.stream != nullptr) {
    errno = 0;
    if (std::fflush(f.stream) != 0 || std::ferror(f.stream) != 0) {
      if (errno == 0) errno = EIO;
      return fail("write");
    }
    // A stream without a descriptor (a test's) has nothing to sync.
    const int fd = ::fileno(f.stream);
    if (fd >= 0 && ::fsync(fd) != 0 && errno != EINVAL) return fail("sync");
    if (!ClosePendingStream(f)) return fail("close");
  } else if (!SyncPath(f.tempPath)) {
    return fail("sync");
  }
  if (::rename(f.tempPath.c_str(), f.target.c_str()) != 0) return fail("rename");
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
  if (!f.tempPath.empty()) {
    ::unlink(f.tempPath.c_str());
    f.tempPath.clear();
  }
  UnregisterTempPath(f.cleanupSlot);
  f.cleanupSlot = -1;
}

} // namespace kovra
