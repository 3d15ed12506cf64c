// The walk over m-sets that counts how each block meets the prefix.
#include "verify/meetwalk.hpp"

#include <algorithm>
#include <bit>
#include <cassert>

namespace kovra {
namespace {

// The walks below are built twice, for processors with a popcount
// instruction and without: a walk counts the points of a set at every
// prefix, and without the instruction every count is a call. The first walk
// asks which one this processor runs (the classic walk does the same,
// coverwalk.cpp).
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KOVRA_WALK_INLINE __attribute__((always_inline)) inline
#define KOVRA_WITH_POPCNT __attribute__((target("popcnt")))
bool HasPopcnt() {
  static const bool has = __builtin_cpu_supports("popcnt") != 0;
  return has;
}
#else
#define KOVRA_WALK_INLINE inline
#define KOVRA_WITH_POPCNT
bool HasPopcnt() { return false; }
#endif

template <unsigned W>
PointSet<W>* NearAt(MeetWalk& w, unsigned depth) {
  return w.near.Sets<W>().data() + size_t{depth} * w.planes;
}
template <unsigned W>
const PointSet<W>* NearAt(const MeetWalk& w, unsigned depth) {
  return w.near.Sets<W>().data() + size_t{depth} * w.planes;
}

// Adds the set to the counts held in bit planes (a ripple carry per point).
template <unsigned W>
void AddToPlanes(PointSet<W>* planes, unsigned count, PointSet<W> carry) {
  for (unsigned j = 0; j < count && !IsEmpty(carry); ++j) {
    const PointSet<W> next = planes[j] & carry;
    planes[j] ^= carry;
    carry = next;
  }
}

template <unsigned W>
void SubtractFromPlanes(PointSet<W>* planes, unsigned count, PointSet<W> borrow) {
  for (unsigned j = 0; j < count && !IsEmpty(borrow); ++j) {
    const PointSet<W> next = ~planes[j] & borrow;
    planes[j] ^= borrow;
    borrow = next;
  }
}

// The points whose count is at least `need` (>= 1).
template <unsigned W>
PointSet<W> AtLeast(const PointSet<W>* planes, unsigned count, unsigned need) {
  if (count < 32 && need >= (1u << count)) return PointSet<W>{};
  // From the highest bit down: `equal` holds the points whose count agrees
  // with need so far, `greater` those already above it.
  PointSet<W> equal = ~PointSet<W>{};
  PointSet<W> greater;
  for (unsigned j = count; j-- > 0;) {
    if (((need >> j) & 1u) != 0) {
      equal &= planes[j];
    } else {
      greater |= equal & planes[j];
      equal &= ~planes[j];
    }
  }
  return greater | equal;
}

template <unsigned W>
bool IsMSetCoveredOf(MeetWalk& w, const Point* comb) {
  unsigned same = 0;
  while (same < w.depth && w.S[same + 1] == comb[same + 1]) ++same;
  while (w.depth > same) PopPoint(w);
  while (w.depth < w.n) {
    if (PrefixCovered(w)) return true;
    // The last point needs no state of its own: the covering points say.
    if (w.depth + 1 == w.n) return HasPoint(CoveringPoints<W>(w), comb[w.n]);
    PushPoint<W>(w, comb[w.depth + 1]);
  }
  return PrefixCovered(w);
}

template <unsigned W>
KOVRA_WALK_INLINE uint64_t WalkLosing(MeetWalk& w, bool countAll, MSetFn onLosing, void* context) {
  const unsigned n = w.n, v = w.v;
  const unsigned base = w.depth; // the walk returns to this prefix
  if (n == 0 || n > v || base >= n || PrefixCovered(w)) return 0;
  uint64_t count = 0;
  bool calling = true;
  uint32_t sinceTick = 0;
  PointSet<W> cand[MAX_M + 1];
  // The prefix holds d points; cand[d] are the places for point d + 1.
  unsigned d = base;
  const unsigned from = base == 0 ? 1 : w.S[base] + 1u;
  cand[d] = ~CoveringPoints<W>(w) & PointsBetween<W>(from, v - n + d + 1);
  for (;;) {
    if (d + 1 == n) {
      // Every uncovering point ends a losing m-set.
      if (calling) {
        for (; !IsEmpty(cand[d]) && calling; RemoveLowest(cand[d])) {
          w.S[n] = static_cast<Point>(LowestPoint(cand[d]));
          ++count;
          calling = onLosing(context, w.S);
        }
        if (!calling && !countAll) {
          while (w.depth > base) PopPoint(w);
          return count;
        }
      }
      count += CountPoints(cand[d]);
      cand[d] = PointSet<W>{};
    }
    if (IsEmpty(cand[d])) {
      if (d == base) return count;
      PopPoint(w);
      --d;
      continue;
    }
    const unsigned y = LowestPoint(cand[d]);
    RemoveLowest(cand[d]);
    PushPoint<W>(w, y);
    if (++sinceTick == (1u << 18)) {
      sinceTick = 0;
      if (w.tick != nullptr) w.tick(w.tickContext, w);
      if (w.deadline != nullptr) CheckDeadline(*w.deadline);
    }
    const PointSet<W> open = ~CoveringPoints<W>(w) & PointsBetween<W>(y + 1, v);
    if (CountPoints(open) < n - d - 1) {
      PopPoint(w);
      continue;
    }
    ++d;
    cand[d] = open & PointsBetween<W>(y + 1, v - n + d + 1);
  }
}

template <unsigned W>
KOVRA_WALK_INLINE MeetingAnswer FindLosingMeetingOf(MeetWalk& w, const PointSet<W>& block,
                                                    const Point* prefix, unsigned len,
                                                    uint64_t budget,
                                                    const std::atomic<bool>* stop) {
  while (w.depth > 0) PopPoint(w);
  const unsigned n = w.n, v = w.v, t = w.t;
  if (n == 0 || n > v || PrefixCovered(w) || CountPoints(block) < t) return MeetingAnswer::kNone;
  // Depths below len take the prefix's point alone.
  const auto only = [&](unsigned d) {
    return d < len ? PointsBetween<W>(prefix[d + 1], prefix[d + 1]) : ~PointSet<W>{};
  };
  // top[j]: the j-th largest point of the block (top[1] its largest).
  unsigned top[MAX_K + 2] = {};
  unsigned size = 0;
  for (unsigned p = v; p >= 1 && size <= MAX_K; --p)
    if (HasPoint(block, p)) top[++size] = p;
  // The places for the next point at depth d, given `met` points of the
  // block so far: the points that leave enough places and block points
  // above them for the t - met still missing.
  const auto allowed = [&](unsigned d, unsigned met) {
    const unsigned missing = met >= t ? 0 : t - met;
    const unsigned placesAfter = n - d - 1;
    if (missing == 0) return ~PointSet<W>{};
    if (missing > placesAfter + 1 || missing > size) return PointSet<W>{};
    // A block point y needs missing - 1 block points above it, any other
    // point missing of them.
    const PointSet<W> blockPoints =
        missing - 1 == 0 ? block : block & PointsBetween<W>(1, top[missing - 1] - 1);
    const PointSet<W> others =
        missing > placesAfter ? PointSet<W>{} : ~block & PointsBetween<W>(1, top[missing] - 1);
    return blockPoints | others;
  };
  PointSet<W> cand[MAX_M + 1];
  unsigned met[MAX_M + 2] = {};
  unsigned d = 0;
  uint32_t sinceCheck = 0;
  const auto unwind = [&](MeetingAnswer answer) {
    while (w.depth > 0) PopPoint(w);
    return answer;
  };
  cand[0] = ~CoveringPoints<W>(w) & PointsBetween<W>(1, v - n + 1) & allowed(0, 0) & only(0);
  for (;;) {
    if (d + 1 == n && !IsEmpty(cand[d])) return unwind(MeetingAnswer::kLosing);
    if (IsEmpty(cand[d])) {
      if (d == 0) return MeetingAnswer::kNone;
      PopPoint(w);
      --d;
      continue;
    }
    if (budget-- == 0) return unwind(MeetingAnswer::kUnfinished);
    const unsigned y = LowestPoint(cand[d]);
    RemoveLowest(cand[d]);
    PushPoint<W>(w, y);
    met[d + 1] = met[d] + (HasPoint(block, y) ? 1 : 0);
    if ((++sinceCheck & 1023) == 0) {
      if (stop != nullptr && stop->load(std::memory_order_relaxed))
        return unwind(MeetingAnswer::kUnfinished);
      if (sinceCheck == (1u << 18)) {
        sinceCheck = 0;
        if (w.deadline != nullptr) CheckDeadline(*w.deadline);
      }
    }
    const PointSet<W> open = ~CoveringPoints<W>(w) & PointsBetween<W>(y + 1, v);
    if (CountPoints(open) < n - d - 1) {
      PopPoint(w);
      continue;
    }
    ++d;
    cand[d] = open & PointsBetween<W>(y + 1, v - n + d + 1) & allowed(d, met[d]) & only(d);
  }
}

// The two builds of each walk.
template <unsigned W>
KOVRA_WITH_POPCNT uint64_t WalkLosingWithPopcnt(MeetWalk& w, bool countAll, MSetFn onLosing,
                                                void* context) {
  return WalkLosing<W>(w, countAll, onLosing, context);
}
template <unsigned W>
uint64_t WalkLosingWithoutPopcnt(MeetWalk& w, bool countAll, MSetFn onLosing, void* context) {
  return WalkLosing<W>(w, countAll, onLosing, context);
}
template <unsigned W>
KOVRA_WITH_POPCNT MeetingAnswer FindWithPopcnt(MeetWalk& w, const PointSet<W>& block,
                                               const Point* prefix, unsigned len, uint64_t budget,
                                               const std::atomic<bool>* stop) {
  return FindLosingMeetingOf<W>(w, block, prefix, len, budget, stop);
}
template <unsigned W>
MeetingAnswer FindWithoutPopcnt(MeetWalk& w, const PointSet<W>& block, const Point* prefix,
                                unsigned len, uint64_t budget, const std::atomic<bool>* stop) {
  return FindLosingMeetingOf<W>(w, block, prefix, len, budget, stop);
}

} // namespace

void InitMeetWalk(MeetWalk& w, const PointSetList& blocks, unsigned v, unsigned n, unsigned t,
                  unsigned l) {
  assert(v <= MAX_V && n <= MAX_M && t >= 1 && l >= 1 && "parameters of a wide design");
  auto index = std::make_shared<MeetIndex>();
  MeetIndex& ix = *index;
  ix.v = v;
  ix.n = n;
  ix.t = t;
  ix.l = l;
  ix.blocks = blocks;

  // The blocks holding each point, in block order.
  std::vector<uint32_t> count(v + 2, 0);
  for (const PointSetView b : blocks) ForEachPoint(b, [&](unsigned p) { ++count[p]; });
  ix.first.assign(v + 2, 0);
  uint32_t most = 0;
  for (unsigned p = 1; p <= v; ++p) {
    ix.first[p + 1] = ix.first[p] + count[p];
    most = std::max(most, count[p]);
  }
  ix.holders.assign(ix.first[v + 1], 0);
  std::vector<uint32_t> fill(ix.first.begin(), ix.first.end());
  for (uint32_t i = 0; i < blocks.size(); ++i)
    ForEachPoint(blocks[i], [&](unsigned p) { ix.holders[fill[p]++] = i; });
  ix.planes = l == 1 ? 1 : std::max(1u, static_cast<unsigned>(std::bit_width(most)));
  MeetWalk fresh;
  fresh.index = std::move(index);
  CopyMeetWalk(w, fresh);
}

void CopyMeetWalk(MeetWalk& to, const MeetWalk& from) {
  const MeetIndex& ix = *from.index;
  const Deadline* deadline = from.deadline;
  to = MeetWalk{};
  to.index = from.index;
  to.deadline = deadline;
  to.v = ix.v;
  to.n = ix.n;
  to.t = ix.t;
  to.l = ix.l;
  to.words = ix.blocks.Words();
  to.planes = ix.planes;
  to.meet.assign(ix.blocks.size(), 0);
  WithWords(to.words, [&](auto width) {
    constexpr unsigned W = width();
    to.near = PointSetList(0, W);
    to.near.Sets<W>().assign(size_t{ix.n + 1} * ix.planes, PointSet<W>{});
    // With t = 1 every block is near before any point is chosen.
    if (ix.t == 1) {
      PointSet<W>* near = NearAt<W>(to, 0);
      for (const PointSet<W>& b : ix.blocks.Sets<W>()) {
        if (ix.l == 1)
          near[0] |= b;
        else
          AddToPlanes(near, to.planes, b);
      }
    }
  });
}

namespace {

// A left-out block's count starts here: a prefix of n points brings it to
// 128 + n at most, never to t - 1 or t.
constexpr uint8_t kLeftOut = 128;
static_assert(MAX_M + MAX_T < kLeftOut, "a left-out count stays away from t");

// With t = 1 every block is near before any point is chosen: the near sets
// of the empty prefix are made anew from the blocks left in.
void NearOfEmptyPrefix(MeetWalk& w) {
  const MeetIndex& ix = *w.index;
  if (ix.t != 1) return;
  WithWords(w.words, [&](auto width) {
    constexpr unsigned W = width();
    PointSet<W>* near = NearAt<W>(w, 0);
    std::fill(near, near + w.planes, PointSet<W>{});
    const std::vector<PointSet<W>>& blocks = ix.blocks.Sets<W>();
    for (size_t i = 0; i < blocks.size(); ++i) {
      if (w.meet[i] >= kLeftOut) continue;
      if (ix.l == 1)
        near[0] |= blocks[i];
      else
        AddToPlanes(near, w.planes, blocks[i]);
    }
  });
}

} // namespace

void LeaveOut(MeetWalk& w, const std::vector<char>& out) {
  assert(w.depth == 0 && "at the empty prefix");
  for (size_t i = 0; i < w.meet.size() && i < out.size(); ++i)
    if (out[i] != 0) w.meet[i] = kLeftOut;
  NearOfEmptyPrefix(w);
}

void LeaveOut(MeetWalk& w, size_t block, bool out) {
  assert(w.depth == 0 && "at the empty prefix");
  w.meet[block] = out ? kLeftOut : 0;
  NearOfEmptyPrefix(w);
}

template <unsigned W>
void PushPoint(MeetWalk& w, unsigned y) {
  const unsigned d = w.depth;
  assert(d < w.n && "the prefix is full");
  const PointSet<W>* from = NearAt<W>(w, d);
  PointSet<W>* to = NearAt<W>(w, d + 1);
  std::copy(from, from + w.planes, to);
  uint32_t done = w.done[d];
  const unsigned t = w.t;
  const MeetIndex& ix = *w.index;
  const PointSet<W>* blocks = ix.blocks.Sets<W>().data();
  const uint32_t* h = ix.holders.data() + ix.first[y];
  const uint32_t* end = ix.holders.data() + ix.first[y + 1];
  if (w.l == 1) {
    for (; h != end; ++h) {
      const unsigned c = ++w.meet[*h];
      if (c + 1 == t)
        to[0] |= blocks[*h];
      else if (c == t)
        ++done;
    }
  } else {
    for (; h != end; ++h) {
      const unsigned c = ++w.meet[*h];
      if (c + 1 == t) {
        AddToPlanes(to, w.planes, blocks[*h]);
      } else if (c == t) {
        ++done;
        SubtractFromPlanes(to, w.planes, blocks[*h]);
      }
    }
  }
  w.depth = d + 1;
  w.S[d + 1] = static_cast<Point>(y);
  w.done[d + 1] = done;
}

void PushPoint(MeetWalk& w, unsigned y) {
  WithWords(w.words, [&](auto width) { PushPoint<width()>(w, y); });
}

void PopPoint(MeetWalk& w) {
  assert(w.depth > 0 && "the prefix is empty");
  const unsigned y = w.S[w.depth];
  const MeetIndex& ix = *w.index;
  for (uint32_t i = ix.first[y]; i < ix.first[y + 1]; ++i) --w.meet[ix.holders[i]];
  --w.depth;
}

template <unsigned W>
PointSet<W> CoveringPoints(const MeetWalk& w) {
  const uint32_t done = w.done[w.depth];
  if (done >= w.l) return ~PointSet<W>{};
  const PointSet<W>* near = NearAt<W>(w, w.depth);
  if (w.l == 1) return near[0];
  return AtLeast(near, w.planes, w.l - done);
}

bool IsMSetCovered(MeetWalk& w, const Point* comb) {
  return WithWords(w.words, [&](auto width) { return IsMSetCoveredOf<width()>(w, comb); });
}

uint64_t WalkLosingMSetsWith(MeetWalk& w, bool countAll, MSetFn onLosing, void* context) {
  return WithWords(w.words, [&](auto width) {
    return HasPopcnt() ? WalkLosingWithPopcnt<width()>(w, countAll, onLosing, context)
                       : WalkLosingWithoutPopcnt<width()>(w, countAll, onLosing, context);
  });
}

MeetingAnswer FindLosingMeeting(MeetWalk& w, PointSetView block, const Point* prefix, unsigned len,
                                uint64_t budget, const std::atomic<bool>* stop) {
  return WithWords(w.words, [&](auto width) {
    constexpr unsigned W = width();
    PointSet<W> b;
    ForEachPoint(block, [&](unsigned p) {
      if (p <= 64 * W) AddPoint(b, p);
    });
    return HasPopcnt() ? FindWithPopcnt<W>(w, b, prefix, len, budget, stop)
                       : FindWithoutPopcnt<W>(w, b, prefix, len, budget, stop);
  });
}

template void PushPoint<1>(MeetWalk&, unsigned);
template void PushPoint<2>(MeetWalk&, unsigned);
template void PushPoint<4>(MeetWalk&, unsigned);
template void PushPoint<8>(MeetWalk&, unsigned);
template void PushPoint<16>(MeetWalk&, unsigned);
template PointSet<1> CoveringPoints<1>(const MeetWalk&);
template PointSet<2> CoveringPoints<2>(const MeetWalk&);
template PointSet<4> CoveringPoints<4>(const MeetWalk&);
template PointSet<8> CoveringPoints<8>(const MeetWalk&);
template PointSet<16> CoveringPoints<16>(const MeetWalk&);

} // namespace kovra
