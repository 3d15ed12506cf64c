// The moment a run gives up on its test.
#include "base/deadline.hpp"

#include <algorithm>

namespace kovra {

double Deadline::SecondsLeft() const {
  if (!Set()) return 1e18;
  const double left = std::chrono::duration<double>(at - std::chrono::steady_clock::now()).count();
  return std::max(left, 0.0);
}

Deadline DeadlineAfter(double seconds) {
  Deadline d;
  if (seconds > 0)
    d.at = std::chrono::steady_clock::now() +
           std::chrono::duration_cast<std::chrono::steady_clock::duration>(
               std::chrono::duration<double>(seconds));
  return d;
}

} // namespace kovra
