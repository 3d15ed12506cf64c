// Temporary files.
#include "base/tempfile.hpp"

#include "base/shutdown.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace kovra {

TempFile::~TempFile() { Remove(); }

bool TempFile::Create(const std::string& dir, const char* suffix, int* fd) {
  Remove();
  std::string where = dir;
  // The platform's temporary directory, as its own temporary-name service
  // uses it; the program reads no environment variables.
  if (where.empty()) where = P_tmpdir;
  if (where.back() != '/') where += '/';
  const std::string tail = suffix != nullptr ? suffix : "";
  std::string name = where + "kovraXXXXXX" + tail;
  std::vector<char> buf(name.begin(), name.end());
  buf.push_back('\0');
  const int made = mkstemps(buf.data(), static_cast<int>(tail.size()));
  if (made < 0) return false;
  if (fd != nullptr)
    *fd = made;
  else
    close(made);
  path_ = buf.data();
  cleanupSlot_ = RegisterTempPath(path_.c_str());
  return true;
}

void TempFile::Remove() {
  if (!path_.empty()) unlink(path_.c_str());
  Release();
}

void TempFile::Release() {
  UnregisterTempPath(cleanupSlot_);
  cleanupSlot_ = -1;
  path_.clear();
}

} // namespace kovra
