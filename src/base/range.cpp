// The range check.
#include "base/range.hpp"

#include "base/console.hpp"
#include "base/fatal.hpp"

namespace kovra {

void CheckRange(int64_t value, int64_t low, int64_t high, const char* label) {
  // Compared and shown as written: a number cut to the width of its setting
  // would pass as another one (-g258 as 2).
  if (value >= low && value <= high) return;
  DualPrint("Err: %s = %lld is outside its range %lld..%lld.\n", label,
            static_cast<long long>(value), static_cast<long long>(low),
            static_cast<long long>(high));
  ErrExit(1);
}

} // namespace kovra
