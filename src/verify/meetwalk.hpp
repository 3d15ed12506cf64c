// Coverage of m-sets decided from the blocks themselves, for any v, t, m and l.
//
// An m-set S is covered when at least l distinct blocks meet it in at least t
// points. The walk builds S point by point in increasing order and keeps, for
// every block, how many points of the prefix it holds. A block that meets the
// prefix in t points ("done") counts for every m-set the prefix grows into;
// one that meets it in t - 1 points ("near") counts as soon as any further
// point of it is added. So the points whose addition covers the prefix are
// known before they are tried: the points held by at least l - done near
// blocks. For l = 1 that is the union of the near blocks; for larger l the
// near counts are kept per point in bit planes (point sets holding bit j of
// each count), so that one comparison finds them all.
//
// Adding a point never lowers done + (near blocks holding z) for any point z,
// so a point that covers a prefix covers every longer one, and a prefix with
// fewer uncovering points above it than places left holds no losing m-set.
#pragma once

#include "base/deadline.hpp"
#include "base/limits.hpp"
#include "verify/pointset.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

namespace kovra {

// What every walk over one design's m-sets reads and none changes, so that
// walks on several threads share it.
struct MeetIndex {
  unsigned v = 0, n = 0, t = 0, l = 0;
  PointSetList blocks;
  std::vector<uint32_t> first;   // blocks holding point p: holders[first[p] .. first[p + 1])
  std::vector<uint32_t> holders; // block numbers
  unsigned planes = 1;           // bit planes of the near counts
};

// The sets of a walk have the width of the blocks it was made from; the
// functions that take or give a set are templates over that width (W).
struct MeetWalk {
  std::shared_ptr<const MeetIndex> index;
  unsigned v = 0, n = 0, t = 0, l = 0; // the index's, at hand
  unsigned words = 1;                  // the width of the sets
  std::vector<uint8_t> meet;           // per block: points of the prefix it holds
  unsigned planes = 1;
  unsigned depth = 0;            // points in the prefix
  Point S[MAX_M + 2] = {};       // the prefix, S[1..depth]
  uint32_t done[MAX_M + 2] = {}; // per depth: blocks meeting the prefix in t or more points
  PointSetList near;             // per depth, `planes` sets: the near counts (l = 1: their union)
  // Called every few hundred thousand prefixes of a complete walk, with the
  // prefix it has reached, for a progress display.
  void (*tick)(void* context, const MeetWalk& w) = nullptr;
  void* tickContext = nullptr;
  // Asked as often as the tick: a complete walk gives up there with
  // TimeLimitReached. Kept by CopyMeetWalk.
  const Deadline* deadline = nullptr;
};

// Prepares the walk over m-sets of n points of 1..v (n <= MAX_M) for these
// blocks, at the empty prefix; the walk's sets take the blocks' width.
void InitMeetWalk(MeetWalk& w, const PointSetList& blocks, unsigned v, unsigned n, unsigned t,
                  unsigned l);

// A walk of its own over the same index, at the empty prefix (for another
// thread).
void CopyMeetWalk(MeetWalk& to, const MeetWalk& from);

// At the empty prefix: the walk takes no account of the blocks marked in
// `out` (by block number) from now on, as if its index did not hold them:
// their counts start where a prefix of n points cannot bring them to t - 1.
// Trying many sets of blocks on one index this way saves building an index
// for each.
void LeaveOut(MeetWalk& w, const std::vector<char>& out);
// The same for one block, out or back in (one that was in before).
void LeaveOut(MeetWalk& w, size_t block, bool out);

// Adds point y (above the last one) to the prefix, or takes the last one away.
void PushPoint(MeetWalk& w, unsigned y);
template <unsigned W>
void PushPoint(MeetWalk& w, unsigned y);
void PopPoint(MeetWalk& w);

inline bool PrefixCovered(const MeetWalk& w) { return w.done[w.depth] >= w.l; }

// The points whose addition to the current prefix covers it (all points when
// the prefix is covered already).
template <unsigned W>
PointSet<W> CoveringPoints(const MeetWalk& w);

// True when the m-set comb[1..n] is covered. Keeps the state of the prefix
// it shares with the m-set asked before.
bool IsMSetCovered(MeetWalk& w, const Point* comb);

// Visits the losing m-sets in lexicographic order that extend the current
// prefix (from the empty prefix: all of them; the walk comes back to the
// prefix it started from). onLosing(S) (S[1..n]) is called for each while it
// returns true; once it returned false the walk stops, unless `countAll`, in
// which case it goes on counting without calls. Returns the number of losing
// m-sets met (all of them when the walk was not stopped).
template <typename OnLosing>
uint64_t WalkLosingMSets(MeetWalk& w, bool countAll, OnLosing&& onLosing);

// The same over the m-sets that start with prefix[1..len] (len < n), from
// the empty prefix whatever prefix the walk held (a sampled pass leaves one
// behind), back at the empty prefix after: the mask walk's call of that
// name, so that a pass reads the two walks alike.
template <typename OnLosing>
uint64_t WalkLosingMSetsFrom(MeetWalk& w, const Point* prefix, unsigned len, bool countAll,
                             OnLosing&& onLosing);

// Whether some m-set that meets `block` in t or more points loses (from the
// empty prefix; the walk's blocks are the others), over the m-sets that
// start with prefix[1..len] (len <= 2; len = 0: all of them). The walk
// passes over the prefixes that cannot reach t points of the block, besides
// those the others cover already. At most `budget` prefixes are extended,
// giving up soon once `stop` (when given) is raised: kLosing as soon as one
// is found, kNone when there is none, kUnfinished when the budget or the
// stop came first. For trying a block whole, on several threads one prefix
// each, or briefly first. The walk is back at the empty prefix after.
enum class MeetingAnswer : uint8_t { kNone, kLosing, kUnfinished };
MeetingAnswer FindLosingMeeting(MeetWalk& w, PointSetView block, const Point* prefix, unsigned len,
                                uint64_t budget, const std::atomic<bool>* stop);

// The walk with the callback as a plain function (see WalkLosingMSets).
using MSetFn = bool (*)(void* context, const Point* S);
uint64_t WalkLosingMSetsWith(MeetWalk& w, bool countAll, MSetFn onLosing, void* context);

template <typename OnLosing>
uint64_t WalkLosingMSets(MeetWalk& w, bool countAll, OnLosing&& onLosing) {
  using Callback = std::remove_reference_t<OnLosing>;
  return WalkLosingMSetsWith(
      w, countAll,
      [](void* context, const Point* S) -> bool { return (*static_cast<Callback*>(context))(S); },
      const_cast<void*>(static_cast<const void*>(&onLosing)));
}

template <typename OnLosing>
uint64_t WalkLosingMSetsFrom(MeetWalk& w, const Point* prefix, unsigned len, bool countAll,
                             OnLosing&& onLosing) {
  while (w.depth > 0) PopPoint(w);
  for (unsigned d = 1; d <= len && !PrefixCovered(w); ++d) PushPoint(w, prefix[d]);
  const uint64_t count = PrefixCovered(w) ? 0 : WalkLosingMSets(w, countAll, onLosing);
  while (w.depth > 0) PopPoint(w);
  return count;
}

} // namespace kovra
