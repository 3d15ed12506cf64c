// Helpers shared by the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kovra_fuzz {

// A file holding the fuzz input, removed when the object goes.
class TempInput {
public:
  TempInput(const uint8_t* data, size_t size);
  ~TempInput();
  TempInput(const TempInput&) = delete;
  TempInput& operator=(const TempInput&) = delete;
  const char* path() const { return path_.c_str(); }

private:
  std::string path_;
};

} // namespace kovra_fuzz
