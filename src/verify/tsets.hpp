// The t-subsets of a block and their counter indices, and the counters of the
// t-subsets taken one range of ranks at a time.
#pragma once

#include "base/deadline.hpp"
#include "design/combinatorics.hpp"
#include "verify/pointset.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kovra {

// Calls fn(index, pos) with the counter index (rank - 1 among the t-subsets
// of 1..table.n) of every t-subset of the ascending points pts[0..n-1] whose
// first member is at a position in [from, to) (all of them by default), in
// lexicographic order, and the positions pos[0..t-1] of its members in pts;
// stops early when fn returns false, and returns false then. The rank is a
// sum of one table term per member, so the partial sum of a prefix serves
// every subset that starts with it.
template <typename Fn>
bool ForEachTSet(const RankTable& rt, const Point* pts, unsigned n, Fn&& fn, unsigned from = 0,
                 unsigned to = MAX_V) {
  const unsigned t = rt.t;
  if (n < t || t == 0 || from >= to || from > n - t) return true;
  // The rows at hand: nothing fn writes can move them.
  const uint64_t* term[MAX_RANK_T];
  std::copy(rt.term, rt.term + t, term);
  unsigned pos[MAX_RANK_T + 1];
  uint64_t part[MAX_RANK_T + 1]; // part[j]: total - 1 less the terms of the first j members
  part[0] = rt.total - 1;
  pos[0] = from;
  unsigned j = 0;
  for (;;) {
    part[j + 1] = part[j] - term[j][pts[pos[j]]];
    if (j + 1 < t) {
      pos[j + 1] = pos[j] + 1;
      ++j;
      continue;
    }
    if (!fn(part[t], static_cast<const unsigned*>(pos))) return false;
    while (++pos[j] > n - t + j || (j == 0 && pos[0] >= to)) {
      if (j == 0) return true;
      --j;
    }
  }
}

// The same with fn(index) alone, over every t-subset.
template <typename Fn>
bool ForEachTSetIndex(const RankTable& rt, const Point* pts, unsigned n, Fn&& fn) {
  return ForEachTSet(rt, pts, n, [&](uint64_t index, const unsigned*) { return fn(index); });
}

// The points of a set in increasing order; returns their number.
template <typename Set>
unsigned PointsOf(const Set& s, Point* out) {
  unsigned n = 0;
  ForEachPoint(s, [&](unsigned p) { out[n++] = static_cast<Point>(p); });
  return n;
}

// The counters of the t-subsets of 1..v whose ranks lie in [lo, hi), from
// the given blocks: one byte per t-subset, saturating at 255. The ranges are
// whole prefixes: every t-subset that starts with one of the L-subsets
// `firstUnit`..`lastUnit` (in lexicographic order) and no other.
struct TSetChunk {
  uint64_t lo = 0, hi = 0; // counter indices (rank - 1)
  uint64_t firstUnit = 0, lastUnit = 0;
};

struct TSetChunkPlan {
  unsigned v = 0, t = 0;
  unsigned L = 0; // prefix length of the units
  std::vector<TSetChunk> chunks;
};

// Splits the C(v,t) counters into ranges of at most `capacity` counters, each
// made of whole prefixes of the shortest length whose largest unit fits.
// False when not even one t-subset per prefix of length t - 1 would fit.
bool PlanTSetChunks(TSetChunkPlan& plan, unsigned v, unsigned t, uint64_t capacity);

// Fills counts[0 .. chunk.hi - chunk.lo) from the blocks; gives up with
// TimeLimitReached once the deadline (when given) has passed.
void CountTSetChunk(const TSetChunkPlan& plan, const TSetChunk& chunk, const PointSetList& blocks,
                    uint8_t* counts, const Deadline* deadline = nullptr);

// hist[c]: the t-subsets of 1..v that lie in exactly c of the blocks (c
// saturating at 255), up to the largest c met. False, and nothing counted,
// when one byte per t-subset would pass `bound` bytes.
bool TSetHistogram(const PointSetList& blocks, unsigned v, unsigned t, uint64_t bound,
                   std::vector<uint64_t>& hist);

// The fewest and the most blocks that hold an s-subset of 1..v, over all
// C(v,s) of them, for s = 0, 1, ..., t: for a t-design both are its
// lambda_s. Counted exactly (4 bytes per s-subset); the list stops before
// the first s whose counters would pass `bound` bytes.
struct SubsetLambda {
  uint64_t min = 0, max = 0;
};
std::vector<SubsetLambda> SubsetLambdas(const PointSetList& blocks, unsigned v, unsigned t,
                                        uint64_t bound);

} // namespace kovra
