// The stepping of a sampled pass (skipper s >= 1) through the m-sets.
#pragma once

#include "base/limits.hpp"

#include <cstdint>

namespace kovra {

// Moves S[1..n] (points of 1..v) on by s + 1 steps: each step increases
// S[p], carrying to the left when it passes its last value; after a carry
// the remaining steps of the advance increase S at the position the carry
// reached, so that whole runs of m-sets sharing a prefix are skipped.
// onCarry(S) is called after each carry (with the later positions set).
// Returns false when the order is exhausted.
template <typename OnCarry>
bool AdvanceSkipper(Point* S, unsigned n, unsigned v, int s, OnCarry&& onCarry) {
  unsigned p = n;
  for (int step = 0; step <= s; ++step) {
    // Steps of the last position that stay within 1..v carry nothing: all
    // of those left at once.
    if (p == n && S[n] + static_cast<unsigned>(s + 1 - step) <= v) {
      S[n] = static_cast<Point>(S[n] + (s + 1 - step));
      return true;
    }
    ++S[p];
    while (S[p] > v - (n - p)) {
      if (--p == 0) return false;
      ++S[p];
    }
    if (p < n) {
      for (unsigned q = p + 1; q <= n; ++q) S[q] = static_cast<Point>(S[q - 1] + 1);
      onCarry(static_cast<const Point*>(S));
    }
  }
  return true;
}

} // namespace kovra
