// Temporary files created safely (unique name, created exclusively) and
// removed when their owner goes, whatever the path out.
#pragma once

#include <string>

namespace kovra {

class TempFile {
public:
  TempFile() = default;
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Creates an empty file named <dir>/kovraXXXXXX<suffix> (dir empty: the
  // system's temporary directory). False when no file could be made. With
  // `fd` the descriptor of the exclusive creation is handed to the caller,
  // who writes through it (never reopening the file by name) and closes it.
  bool Create(const std::string& dir, const char* suffix, int* fd = nullptr);

  const std::string& path() const { return path_; }
  bool exists() const { return !path_.empty(); }

  // Deletes the file now.
  void Remove();
  // Keeps the file (it was renamed into place or handed over).
  void Release();

private:
  std::string path_;
  int cleanupSlot_ = -1; // registered for removal when a signal ends the run
};

} // namespace kovra
