// The memory bound.
#include "base/memory.hpp"

#include <cstdio>
#include <unistd.h>

namespace kovra {

uint64_t DefaultMemoryBound() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return uint64_t{1} << 30;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 4;
}

bool ParseMemorySize(std::string_view text, uint64_t& bytes) {
  uint64_t value = 0;
  size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const auto digit = static_cast<uint64_t>(text[i] - '0');
    if (value > (UINT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
  }
  if (i == 0) return false;
  unsigned shift = 0;
  if (i < text.size()) {
    switch (text[i]) {
    case 'k':
    case 'K': shift = 10; break;
    case 'm':
    case 'M': shift = 20; break;
    case 'g':
    case 'G': shift = 30; break;
    case 't':
    case 'T': shift = 40; break;
    default: return false;
    }
    ++i;
    // "MiB", "MB" and the like read as the letter alone.
    if (i < text.size() && (text[i] == 'i' || text[i] == 'I')) ++i;
    if (i < text.size() && (text[i] == 'b' || text[i] == 'B')) ++i;
  }
  if (i != text.size() || value == 0 || value > (UINT64_MAX >> shift)) return false;
  bytes = value << shift;
  return true;
}

void MemorySizeText(uint64_t bytes, char* out, unsigned size) {
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (bytes < 1024) {
    std::snprintf(out, size, "%llu bytes", static_cast<unsigned long long>(bytes));
    return;
  }
  double value = static_cast<double>(bytes) / 1024.0;
  unsigned unit = 0;
  while (value >= 1024.0 && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
    value /= 1024.0;
    ++unit;
  }
  std::snprintf(out, size, "%.*f %s", value < 10.0 ? 1 : 0, value, kUnits[unit]);
}

} // namespace kovra
