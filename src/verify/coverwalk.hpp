// Coverage of combinations decided from the t-subset counters by prefix masks.
//
// A combination S (n > t points) is covered when one of its t-subsets has a
// counter of at least the threshold. For every (t-1)-subset Q of the points
// the mask table holds the points x > max(Q) for which Q + {x} is covered, so
// the points that would cover a prefix's next member are the OR of the masks
// of the prefix's (t-1)-subsets. Adding a member x to a prefix only adds the
// (t-1)-subsets that contain x, so the state of a prefix is built from the
// state of the prefix one shorter.
//
// This is internal to the engine; the coverage test drives it.
#pragma once

#include "base/deadline.hpp"
#include "design/combinatorics.hpp"

#include <cstdint>
#include <memory>
#include <type_traits>

namespace kovra {

struct CoverMasks {
  unsigned v = 0;
  unsigned t = 0;
  uint64_t count = 0;               // C(v, t-1)
  std::unique_ptr<uint64_t[]> mask; // by 0-based rank of the (t-1)-subset; bit x = point x
  RankTable qRank;                  // ranks of (t-1)-subsets of 1..v (t >= 2)
};

// Fills the masks from C(v, t) counters: bit x of mask[Q] is set when the
// counter of Q + {x} is at least `need`. Ends the program with code 13 when
// memory is short. Reads the counters once in order, ranking nothing.
void BuildCoverMasks(CoverMasks& cm, unsigned v, unsigned t, const uint8_t* counters, uint8_t need);

// The state of the prefixes of one combination of size n (t < n <= 7).
// Combinations are 1-based buffers: S[1..n], S[0] unused.
struct PrefixWalk {
  const CoverMasks* cm = nullptr;
  unsigned n = 0;
  unsigned valid = 0;       // depths 1..valid hold the state of S[1..valid]
  Point S[8] = {};          // the prefix the state belongs to
  uint8_t bad[8] = {};      // bad[d]: S[1..d] already holds a covered t-subset
  uint64_t M[8] = {};       // M[d]: points above S[d] that complete a covered t-subset with S[1..d]
  int64_t part[6][36] = {}; // part[L]: rank bases of the L-subsets of the prefix, L <= t-2
  // A walk gives up with TimeLimitReached once this has passed, asked each
  // time it leaves a prefix of two points.
  const Deadline* deadline = nullptr;
};

void InitPrefixWalk(PrefixWalk& w, const CoverMasks& cm, unsigned n);

// True when the combination comb[1..n] is covered. Reuses the state of the
// longest prefix it shares with the combination asked before.
bool IsMSetCovered(PrefixWalk& w, const Point* comb);

// Visits the losing combinations in lexicographic order, depth first over the
// prefixes that hold no covered t-subset, and calls onLosing(S) (S[1..n]) for
// each while it returns true; once it returned false the walk stops, unless
// `countAll`, in which case it goes on counting without calls. Returns the
// number of losing combinations met (all of them when not stopped).
template <typename OnLosing>
uint64_t WalkLosingMSets(PrefixWalk& w, bool countAll, OnLosing&& onLosing);

// The same over the combinations that start with prefix[1..len] (len < n):
// 0 when the prefix holds a covered t-subset itself.
template <typename OnLosing>
uint64_t WalkLosingMSetsFrom(PrefixWalk& w, const Point* prefix, unsigned len, bool countAll,
                             OnLosing&& onLosing);

// Internal: extends the state at depth d-1 by the member y at depth d.
void ExtendPrefix(PrefixWalk& w, unsigned d, unsigned y);

// Points lo..hi as bits (empty when lo > hi); hi < 64.
inline uint64_t PointRange(unsigned lo, unsigned hi) {
  if (lo > hi) return 0;
  const uint64_t upTo = (hi >= 63) ? ~uint64_t{0} : ((uint64_t{1} << (hi + 1)) - 1);
  return upTo & ~((uint64_t{1} << lo) - 1);
}

// The walk itself, with the callback as a plain function: it is compiled
// twice, for processors with and without a popcount instruction, and the
// loader picks the one this processor runs.
using LosingFn = bool (*)(void* context, const Point* S);
uint64_t WalkLosingMSetsWith(PrefixWalk& w, const Point* prefix, unsigned len, bool countAll,
                             LosingFn onLosing, void* context);

template <typename OnLosing>
uint64_t WalkLosingMSetsFrom(PrefixWalk& w, const Point* prefix, unsigned len, bool countAll,
                             OnLosing&& onLosing) {
  using Callback = std::remove_reference_t<OnLosing>;
  return WalkLosingMSetsWith(
      w, prefix, len, countAll,
      [](void* context, const Point* S) -> bool { return (*static_cast<Callback*>(context))(S); },
      const_cast<void*>(static_cast<const void*>(&onLosing)));
}

template <typename OnLosing>
uint64_t WalkLosingMSets(PrefixWalk& w, bool countAll, OnLosing&& onLosing) {
  return WalkLosingMSetsFrom(w, nullptr, 0, countAll, onLosing);
}

} // namespace kovra
