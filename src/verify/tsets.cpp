// Counters of the t-subsets one range of ranks at a time.
#include "verify/tsets.hpp"

#include <algorithm>
#include <memory>
#include <new>

namespace kovra {
namespace {

// Adds one to counts[index - base] for every t-subset of pts[0..n-1] that
// starts with the members at positions chosen[0..L-1] (the partial index
// `part` already holds their terms), completed from positions above the
// last chosen one.
void CountCompletions(const RankTable& rt, const Point* pts, unsigned n, unsigned from, unsigned j,
                      uint64_t part, uint64_t base, uint8_t* counts) {
  if (j == rt.t) {
    uint8_t& c = counts[part - base];
    if (c < 255) ++c;
    return;
  }
  for (unsigned i = from; i + (rt.t - j) <= n; ++i)
    CountCompletions(rt, pts, n, i + 1, j + 1, part - rt.term[j][pts[i]], base, counts);
}

// Walks the L-subsets of pts (by positions) whose unit index lies in
// [chunk.firstUnit, chunk.lastUnit] and counts their completions.
void CountUnits(const RankTable& unitRank, const RankTable& rt, const Point* pts, unsigned n,
                unsigned from, unsigned j, uint64_t unitPart, uint64_t part, const TSetChunk& chunk,
                uint8_t* counts) {
  if (j == unitRank.t) {
    if (unitPart >= chunk.firstUnit && unitPart <= chunk.lastUnit)
      CountCompletions(rt, pts, n, from, j, part, chunk.lo, counts);
    return;
  }
  for (unsigned i = from; i + (rt.t - j) <= n; ++i)
    CountUnits(unitRank, rt, pts, n, i + 1, j + 1, unitPart - unitRank.term[j][pts[i]],
               part - rt.term[j][pts[i]], chunk, counts);
}

} // namespace

bool PlanTSetChunks(TSetChunkPlan& plan, unsigned v, unsigned t, uint64_t capacity) {
  plan = TSetChunkPlan{};
  plan.v = v;
  plan.t = t;
  const uint64_t total = Binomial(v, t);
  if (total <= capacity) {
    plan.chunks.push_back(TSetChunk{0, total, 0, 0});
    return true;
  }
  unsigned L = 1;
  while (L < t && Binomial(v - L, t - L) > capacity) ++L;
  if (L >= t) return false;
  plan.L = L;
  // The units in lexicographic order, each covering the t-subsets that start
  // with it: C(v - last, t - L) of them.
  Point unit[MAX_RANK_T];
  FirstComb(unit, L, 1, L);
  uint64_t index = 0, rank = 0;
  TSetChunk open{0, 0, 0, 0};
  bool any = false;
  do {
    const unsigned last = unit[L - 1];
    const uint64_t size = last <= v ? Binomial(v - last, t - L) : 0;
    if (any && open.hi - open.lo + size > capacity) {
      plan.chunks.push_back(open);
      open = TSetChunk{rank, rank, index, index};
      any = false;
    }
    if (!any) open = TSetChunk{rank, rank, index, index};
    any = true;
    open.hi += size;
    open.lastUnit = index;
    rank += size;
    ++index;
  } while (NextComb(unit, L, 1, v));
  if (any && open.hi > open.lo) plan.chunks.push_back(open);
  return true;
}

void CountTSetChunk(const TSetChunkPlan& plan, const TSetChunk& chunk, const PointSetList& blocks,
                    uint8_t* counts, const Deadline* deadline) {
  std::fill(counts, counts + (chunk.hi - chunk.lo), uint8_t{0});
  RankTable rt;
  InitRankTable(rt, plan.v, plan.t);
  RankTable unitRank;
  if (plan.L > 0) InitRankTable(unitRank, plan.v, plan.L);
  Point pts[MAX_V];
  for (const PointSetView b : blocks) {
    if (deadline != nullptr) CheckDeadline(*deadline);
    const unsigned n = PointsOf(b, pts);
    if (plan.L <= 1) {
      // Whole, or units of one point: the t-subsets whose first point lies
      // in the chunk's run of points, one after another.
      unsigned from = 0, to = n;
      if (plan.L == 1) {
        from = static_cast<unsigned>(std::lower_bound(pts, pts + n, chunk.firstUnit + 1) - pts);
        to = static_cast<unsigned>(std::upper_bound(pts, pts + n, chunk.lastUnit + 1) - pts);
      }
      ForEachTSet(
          rt, pts, n,
          [&](uint64_t i, const unsigned*) {
            uint8_t& c = counts[i - chunk.lo];
            if (c < 255) ++c;
            return true;
          },
          from, to);
    } else {
      CountUnits(unitRank, rt, pts, n, 0, 0, unitRank.total - 1, rt.total - 1, chunk, counts);
    }
  }
}

bool TSetHistogram(const PointSetList& blocks, unsigned v, unsigned t, uint64_t bound,
                   std::vector<uint64_t>& hist) {
  const uint64_t total = Binomial(v, t);
  hist.clear();
  if (total == UINT64_MAX || total > bound) return false;
  std::unique_ptr<uint8_t[]> counts(new (std::nothrow) uint8_t[total]);
  if (!counts) return false;
  TSetChunkPlan plan;
  PlanTSetChunks(plan, v, t, total);
  CountTSetChunk(plan, plan.chunks.front(), blocks, counts.get());
  uint64_t byCount[256] = {};
  for (uint64_t i = 0; i < total; ++i) ++byCount[counts[i]];
  unsigned top = 0;
  for (unsigned c = 0; c < 256; ++c)
    if (byCount[c] != 0) top = c;
  hist.assign(byCount, byCount + top + 1);
  return true;
}

std::vector<SubsetLambda> SubsetLambdas(const PointSetList& blocks, unsigned v, unsigned t,
                                        uint64_t bound) {
  std::vector<SubsetLambda> out{{blocks.size(), blocks.size()}};
  Point pts[MAX_V];
  for (unsigned s = 1; s <= t && s <= v; ++s) {
    const uint64_t total = Binomial(v, s);
    if (total == UINT64_MAX || total > bound / sizeof(uint32_t)) break;
    std::unique_ptr<uint32_t[]> counts(new (std::nothrow) uint32_t[total]());
    if (!counts) break;
    RankTable rt;
    InitRankTable(rt, v, s);
    for (const PointSetView b : blocks)
      ForEachTSetIndex(rt, pts, PointsOf(b, pts), [&](uint64_t i) {
        ++counts[i];
        return true;
      });
    const auto [lo, hi] = std::minmax_element(counts.get(), counts.get() + total);
    out.push_back({*lo, *hi});
  }
  return out;
}

} // namespace kovra
