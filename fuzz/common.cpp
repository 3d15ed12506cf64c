// Helpers shared by the fuzz targets.
#include "common.hpp"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace kovra_fuzz {

TempInput::TempInput(const uint8_t* data, size_t size) {
  char name[] = "/tmp/kovra-fuzz-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) std::abort();
  path_ = name;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  close(fd);
}

TempInput::~TempInput() { unlink(path_.c_str()); }

} // namespace kovra_fuzz
