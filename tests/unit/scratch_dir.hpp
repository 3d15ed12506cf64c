// A scratch directory for tests that create files: a fresh directory under
// the system's temporary directory with a "work" subdirectory that becomes
// the current directory, so "../system" lies inside the scratch directory.
// The previous current directory comes back and everything is removed when
// the object goes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <unistd.h>

namespace kovra::test {

class ScratchDir {
public:
  ScratchDir() : previous_(std::filesystem::current_path()) {
    std::string templ = (std::filesystem::temp_directory_path() / "kovra_test_XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = templ;
    std::filesystem::create_directories(root_ / "work");
    std::filesystem::current_path(root_ / "work");
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(root_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& root() const { return root_; }

private:
  std::filesystem::path previous_;
  std::filesystem::path root_;
};

inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& p, const std::string& text) {
  std::filesystem::create_directories(p.parent_path().empty() ? "." : p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

// The names in a directory (files and directories, hidden ones included).
inline std::set<std::string> Listing(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.insert(e.path().filename().string());
  return names;
}

} // namespace kovra::test
