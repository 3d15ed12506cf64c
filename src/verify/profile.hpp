// The draw profile of a design: for every m-set (a draw), how well the
// blocks (the tickets) match it.
//
// best[j] counts the m-sets whose best block meets them in exactly j points
// ("if 6 are drawn, how often is the best ticket a 4?"); atLeastL[j] counts
// the m-sets that meet at least l blocks in j or more points (atLeastL[t] is
// the number of covered m-sets). Both come from one walk over every m-set,
// which keeps for every block how many points of the prefix it holds; the
// last point of each m-set is decided from the blocks holding it alone.
#pragma once

#include "verify/pointset.hpp"

#include <cstdint>
#include <vector>

namespace kovra {

struct DrawProfile {
  std::vector<uint64_t> best;     // j = 0 .. min(k, m)
  std::vector<uint64_t> atLeastL; // j = 0 .. min(k, m)
};

// Walks every m-set of 1..v (m <= MAX_M) against the blocks, on up to
// `threads` threads.
DrawProfile ComputeDrawProfile(const PointSetList& blocks, unsigned v, unsigned k, unsigned m,
                               unsigned l, unsigned threads = 1);

// Rough seconds the profile of such a design takes: every m-set is visited.
double EstimateDrawProfileSeconds(const PointSetList& blocks, unsigned v, unsigned m);

} // namespace kovra
