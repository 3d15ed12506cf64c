// A set of points 1..128 as two 64-bit words: point p is bit p - 1.
//
// Blocks and prefixes of the wide walks are held this way; meeting a block
// is an AND and a popcount, whatever k is.
#pragma once

#include "base/limits.hpp"

#include <bit>
#include <cstdint>

namespace kovra {

static_assert(MAX_V <= 128, "a point set holds 128 points");

struct PointSet {
  uint64_t w[2] = {0, 0};
  bool operator==(const PointSet&) const = default;
};

inline void AddPoint(PointSet& s, unsigned p) {
  s.w[(p - 1) >> 6] |= uint64_t{1} << ((p - 1) & 63);
}
inline bool HasPoint(const PointSet& s, unsigned p) {
  return ((s.w[(p - 1) >> 6] >> ((p - 1) & 63)) & 1u) != 0;
}
inline PointSet operator&(const PointSet& a, const PointSet& b) {
  return {{a.w[0] & b.w[0], a.w[1] & b.w[1]}};
}
inline PointSet operator|(const PointSet& a, const PointSet& b) {
  return {{a.w[0] | b.w[0], a.w[1] | b.w[1]}};
}
inline PointSet operator^(const PointSet& a, const PointSet& b) {
  return {{a.w[0] ^ b.w[0], a.w[1] ^ b.w[1]}};
}
inline PointSet operator~(const PointSet& a) { return {{~a.w[0], ~a.w[1]}}; }
inline PointSet& operator|=(PointSet& a, const PointSet& b) { return a = a | b; }
inline PointSet& operator&=(PointSet& a, const PointSet& b) { return a = a & b; }
inline PointSet& operator^=(PointSet& a, const PointSet& b) { return a = a ^ b; }

inline bool IsEmpty(const PointSet& s) { return (s.w[0] | s.w[1]) == 0; }
inline unsigned CountPoints(const PointSet& s) {
  return static_cast<unsigned>(std::popcount(s.w[0]) + std::popcount(s.w[1]));
}

// Points lo..hi (empty when lo > hi); 1 <= lo, hi <= 128.
inline PointSet PointsBetween(unsigned lo, unsigned hi) {
  PointSet s;
  if (lo > hi) return s;
  const auto word = [](unsigned from, unsigned to) { // bits from..to of one word, to < 64
    const uint64_t upTo = to >= 63 ? ~uint64_t{0} : (uint64_t{1} << (to + 1)) - 1;
    return upTo & ~((uint64_t{1} << from) - 1);
  };
  const unsigned a = lo - 1, b = hi - 1;
  if (a < 64) s.w[0] = word(a, b < 64 ? b : 63);
  if (b >= 64) s.w[1] = word(a < 64 ? 0 : a - 64, b - 64);
  return s;
}

// The smallest point of a set that is not empty.
inline unsigned LowestPoint(const PointSet& s) {
  return s.w[0] != 0 ? static_cast<unsigned>(std::countr_zero(s.w[0])) + 1
                     : static_cast<unsigned>(std::countr_zero(s.w[1])) + 65;
}
inline void RemoveLowest(PointSet& s) {
  if (s.w[0] != 0)
    s.w[0] &= s.w[0] - 1;
  else
    s.w[1] &= s.w[1] - 1;
}

// Calls fn(p) for every point of the set in increasing order.
template <typename Fn>
void ForEachPoint(PointSet s, Fn&& fn) {
  for (; !IsEmpty(s); RemoveLowest(s)) fn(LowestPoint(s));
}

} // namespace kovra
