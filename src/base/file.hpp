// An open C stream owned like any other resource: closed when its owner goes.
#pragma once

#include <cstdio>
#include <memory>

namespace kovra {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Reading streams; a writer that must know whether its close succeeded calls
// std::fclose(file.release()) itself.
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

} // namespace kovra
