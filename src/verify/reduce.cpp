// Exact reduction.
#include "verify/reduce.hpp"

#include "base/jobs.hpp"
#include "design/combinatorics.hpp"
#include "verify/estimate.hpp"
#include "verify/meetwalk.hpp"

#include <algorithm>
#include <atomic>
#include <memory>

namespace kovra {
namespace {

// The m-sets of 1..v that meet the block in t or more points and start with
// a point in [from, to), as counter indices (rank - 1) in lexicographic
// order: fn(index) for each while it returns true. False when stopped.
struct CoveredMSets {
  const RankTable* rt = nullptr;
  unsigned v = 0, m = 0, t = 0;
  bool in[MAX_V + 2] = {};
  unsigned after[MAX_V + 2] = {}; // points of the block above p
};

template <typename Fn>
bool Descend(const CoveredMSets& c, unsigned d, unsigned y, unsigned met, uint64_t part,
             unsigned from, unsigned to, Fn& fn) {
  const unsigned m = c.m;
  if (d == m) return fn(part);
  const unsigned lo = d == 0 ? std::max(from, 1u) : y + 1;
  const unsigned hi = d == 0 ? std::min(to - 1, c.v - m + 1) : c.v - (m - d) + 1;
  for (unsigned p = lo; p <= hi; ++p) {
    const unsigned nowMet = met + (c.in[p] ? 1 : 0);
    const unsigned missing = nowMet >= c.t ? 0 : c.t - nowMet;
    // Enough places left, and enough points of the block above p for them.
    if (missing > m - d - 1 || missing > c.after[p]) {
      // Past a point outside the block, the block's points above only thin.
      if (!c.in[p] && missing > c.after[p]) break;
      continue;
    }
    if (!Descend(c, d + 1, p, nowMet, part - c.rt->term[d][p], from, to, fn)) return false;
  }
  return true;
}

template <typename Fn>
bool ForEachCoveredMSet(const RankTable& rt, const PointSet& block, unsigned t, unsigned from,
                        unsigned to, Fn&& fn) {
  CoveredMSets c;
  c.rt = &rt;
  c.v = rt.n;
  c.m = rt.t;
  c.t = t;
  for (unsigned p = c.v; p >= 1; --p) {
    c.in[p] = HasPoint(block, p);
    c.after[p] = c.after[p + 1] + (p + 1 <= c.v && c.in[p + 1] ? 1 : 0);
  }
  return Descend(c, 0, 0, 0, rt.total - 1, from, to, fn);
}

// One count per m-set of the remaining blocks that cover it, in the width
// the number of blocks needs (it cannot pass the count of blocks).
template <typename Count>
ReduceResult ReduceByCounts(const std::vector<PointSet>& blocks, unsigned v, unsigned m, unsigned t,
                            unsigned l, unsigned threads) {
  RankTable rt;
  InitRankTable(rt, v, m);
  const uint64_t total = rt.total;
  std::unique_ptr<Count[]> count(new Count[total]());
  // The counters of the m-sets that start with point p form one range, so
  // jobs by first points write apart.
  std::vector<unsigned> cut;
  for (unsigned i = 0; i <= threads * 4; ++i) cut.push_back(1 + (v - m + 1) * i / (threads * 4));
  cut.back() = v - m + 2;
  const size_t jobs = cut.size() - 1;
  const auto inJobs = [&](auto&& each) {
    RunJobsInOrder<bool>(
        threads, jobs, [] { return 0; }, [&](int&, size_t j) { return each(cut[j], cut[j + 1]); },
        [](size_t, bool ok) { return ok; });
  };
  for (const PointSet& b : blocks)
    inJobs([&](unsigned from, unsigned to) {
      ForEachCoveredMSet(rt, b, t, from, to, [&](uint64_t i) {
        ++count[i];
        return true;
      });
      return true;
    });
  ReduceResult r;
  for (size_t i = blocks.size(); i-- > 0;) {
    std::atomic<bool> removable{true};
    inJobs([&](unsigned from, unsigned to) {
      const bool all =
          ForEachCoveredMSet(rt, blocks[i], t, from, to, [&](uint64_t j) { return count[j] > l; });
      if (!all) removable.store(false);
      return all;
    });
    if (!removable.load()) continue;
    inJobs([&](unsigned from, unsigned to) {
      ForEachCoveredMSet(rt, blocks[i], t, from, to, [&](uint64_t j) {
        --count[j];
        return true;
      });
      return true;
    });
    r.removed.push_back(static_cast<uint32_t>(i));
  }
  return r;
}

// Without counts: a block may go exactly when the design without it still
// holds (the design holds, so an m-set that loses without it is one it
// covered), which the walk over the m-sets tells at its first losing one.
ReduceResult ReduceByWalks(const std::vector<PointSet>& blocks, unsigned v, unsigned m, unsigned t,
                           unsigned l) {
  ReduceResult r;
  r.byCounts = false;
  std::vector<bool> gone(blocks.size(), false);
  for (size_t i = blocks.size(); i-- > 0;) {
    std::vector<PointSet> others;
    for (size_t j = 0; j < blocks.size(); ++j)
      if (j != i && !gone[j]) others.push_back(blocks[j]);
    MeetWalk w;
    InitMeetWalk(w, others, v, m, t, l);
    if (EstimateMeetWalk(w, 0.05).seconds > WALK_BEYOND_REACH_SECONDS) {
      r.stopped = true;
      return r;
    }
    const uint64_t losing = WalkLosingMSets(w, false, [](const uint8_t*) { return false; });
    if (losing != 0) continue;
    gone[i] = true;
    r.removed.push_back(static_cast<uint32_t>(i));
  }
  return r;
}

} // namespace

ReduceResult ReduceExactly(const std::vector<PointSet>& blocks, unsigned v, unsigned m, unsigned t,
                           unsigned l, uint64_t memoryBound, unsigned threads) {
  const uint64_t total = Binomial(v, m);
  const size_t b = blocks.size();
  const uint64_t width = b < 255 ? 1 : b < 65535 ? 2 : 4;
  threads = std::max(1u, threads);
  if (total != UINT64_MAX && total <= memoryBound / width && m <= v) {
    if (width == 1) return ReduceByCounts<uint8_t>(blocks, v, m, t, l, threads);
    if (width == 2) return ReduceByCounts<uint16_t>(blocks, v, m, t, l, threads);
    return ReduceByCounts<uint32_t>(blocks, v, m, t, l, threads);
  }
  return ReduceByWalks(blocks, v, m, t, l);
}

} // namespace kovra
