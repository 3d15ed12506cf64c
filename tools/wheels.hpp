// Designs whose coverage is known by construction, for the prover's tests and
// benchmarks: disjoint tickets, groups whose t-subsets are all covered inside
// the group, and projective planes.
//
// - Tickets: n disjoint tickets of k points cover every m-set in t points
//   exactly when m > n(t - 1) (pigeonhole; t - 1 points from each ticket
//   loses). With l > 1 an m-set may take l - 1 tickets whole: it loses
//   exactly when m <= (l - 1)k + (n - l + 1)(t - 1).
// - Groups: the points split into g groups and every t-subset inside a group
//   lies in a block inside it; then every m-set with m > g(t - 1) is
//   covered, and t - 1 points from each group lose.
// - PG(2, q), q prime: q^2 + q + 1 points and as many lines of q + 1. Every
//   pair lies on a line (t = 2 holds for m = 2); with t = 3 a losing m-set
//   is an arc (no three points on a line), and the largest arcs have q + 1
//   points for odd q (Bose): m = q + 1 fails, m = q + 2 holds.
#pragma once

#include "verify/pointset.hpp"

#include <algorithm>
#include <array>
#include <vector>

namespace kovra::wheels {

inline std::vector<PointSet> Tickets(unsigned tickets, unsigned k) {
  std::vector<PointSet> out(tickets);
  for (unsigned i = 0; i < tickets; ++i) out[i] = PointsBetween(i * k + 1, i * k + k);
  return out;
}

// Every t-subset of each group (consecutive points, sizes as given) in some
// block of k points inside the group, chosen greedily (the block covering
// most t-subsets not yet covered, the first in order on a tie).
inline std::vector<PointSet> Groups(const std::vector<unsigned>& sizes, unsigned k, unsigned t) {
  std::vector<PointSet> out;
  unsigned start = 1;
  const auto subsets = [](unsigned n, unsigned r) { // r-subsets of 0..n-1 as bit masks
    std::vector<unsigned> all;
    for (unsigned mask = 0; mask < (1u << n); ++mask)
      if (static_cast<unsigned>(__builtin_popcount(mask)) == r) all.push_back(mask);
    return all;
  };
  for (const unsigned n : sizes) {
    std::vector<unsigned> open = subsets(n, t);
    const std::vector<unsigned> candidates = subsets(n, std::min(k, n));
    while (!open.empty()) {
      unsigned best = 0;
      long most = -1;
      for (const unsigned c : candidates) {
        const long held =
            std::count_if(open.begin(), open.end(), [c](unsigned s) { return (s & c) == s; });
        if (held > most) {
          most = held;
          best = c;
        }
      }
      std::erase_if(open, [best](unsigned s) { return (s & best) == s; });
      PointSet b;
      for (unsigned i = 0; i < n; ++i)
        if ((best >> i) & 1u) AddPoint(b, start + i);
      out.push_back(b);
    }
    start += n;
  }
  return out;
}

// The lines of PG(2, q) for a prime q, points numbered 1..q^2+q+1.
inline std::vector<PointSet> ProjectivePlane(unsigned q) {
  std::vector<std::array<unsigned, 3>> pts; // normalised: first nonzero coordinate 1
  for (unsigned a = 0; a < q; ++a)
    for (unsigned b = 0; b < q; ++b) pts.push_back({1, a, b});
  for (unsigned b = 0; b < q; ++b) pts.push_back({0, 1, b});
  pts.push_back({0, 0, 1});
  std::vector<PointSet> lines;
  for (const auto& l : pts) { // the line of the points orthogonal to l
    PointSet line;
    for (unsigned i = 0; i < pts.size(); ++i)
      if ((l[0] * pts[i][0] + l[1] * pts[i][1] + l[2] * pts[i][2]) % q == 0) AddPoint(line, i + 1);
    lines.push_back(line);
  }
  return lines;
}

} // namespace kovra::wheels
