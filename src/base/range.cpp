// The range check.
#include "base/range.hpp"

#include "base/console.hpp"
#include "base/fatal.hpp"

namespace kovra {

void CheckRange(int64_t value, int64_t low, int64_t high, const char* label) {
  // Settings are unsigned, but the check has always compared them as signed
  // 32-bit values, so a huge unsigned value shows up as negative.
  const auto v = static_cast<int32_t>(static_cast<uint32_t>(value));
  const auto lo = static_cast<int32_t>(static_cast<uint32_t>(low));
  const auto hi = static_cast<int32_t>(static_cast<uint32_t>(high));
  if (v >= lo && v <= hi) return;
  DualPrint("Error: Wrong value (%ld) for %s !\n", static_cast<long>(v), label);
  DualPrint("       It should be between %ld and %ld. Confer the internal limits (-i).\n",
            static_cast<long>(lo), static_cast<long>(hi));
  ErrExit(1);
}

} // namespace kovra
