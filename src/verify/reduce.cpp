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
bool ForEachCoveredMSet(const RankTable& rt, PointSetView block, unsigned t, unsigned from,
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
ReduceResult ReduceByCounts(const PointSetList& blocks, unsigned v, unsigned m, unsigned t,
                            unsigned l, unsigned threads, const Deadline& deadline) {
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
  for (const PointSetView b : blocks) {
    CheckDeadline(deadline);
    inJobs([&](unsigned from, unsigned to) {
      ForEachCoveredMSet(rt, b, t, from, to, [&](uint64_t i) {
        ++count[i];
        return true;
      });
      return true;
    });
  }
  ReduceResult r;
  for (size_t i = blocks.size(); i-- > 0;) {
    CheckDeadline(deadline);
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

// By walks: a block may go exactly when no m-set it covers loses without it
// (the design holds, so only m-sets it covers can lose), which a walk over
// the other blocks restricted to those m-sets tells at the first losing
// one; the walk passes over prefixes the others cover whole. On threads,
// several blocks are tried at once against the blocks left so far: a block
// found needed stays needed whatever goes after (counts only fall), and one
// found free is tried again if another went in the meantime.
ReduceResult ReduceByWalks(const PointSetList& blocks, unsigned v, unsigned m, unsigned t,
                           unsigned l, unsigned threads, const Deadline& deadline) {
  ReduceResult r;
  r.byCounts = false;
  // A walk over the others, restricted to the m-sets a block covers, is
  // never longer than the walk of the whole design.
  {
    MeetWalk whole;
    InitMeetWalk(whole, blocks, v, m, t, l);
    if (EstimateMeetWalk(whole, 0.05).seconds * static_cast<double>(blocks.size()) / threads >
        WALK_BEYOND_REACH_SECONDS) {
      r.stopped = true;
      return r;
    }
  }
  std::vector<bool> gone(blocks.size(), false);
  const auto needed = [&](size_t i) {
    PointSetList others(v, blocks.Words());
    for (size_t j = 0; j < blocks.size(); ++j)
      if (j != i && !gone[j]) others.AddFrom(blocks, j);
    MeetWalk w;
    InitMeetWalk(w, others, v, m, t, l);
    w.deadline = &deadline;
    return HasLosingMeeting(w, blocks[i]);
  };
  const size_t batch = threads > 1 ? size_t{threads} * 2 : 1;
  for (size_t end = blocks.size(); end > 0;) {
    CheckDeadline(deadline);
    const size_t begin = end > batch ? end - batch : 0;
    std::vector<char> found(end - begin, 0); // block end-1-j needed?
    RunJobsInOrder<bool>(
        threads, end - begin, [] { return 0; }, [&](int&, size_t j) { return needed(end - 1 - j); },
        [&](size_t j, bool isNeeded) {
          found[j] = isNeeded ? 1 : 0;
          return true;
        });
    bool wentSince = false; // a block went after the snapshot the batch was tried on
    for (size_t j = 0; j < end - begin; ++j) {
      const size_t i = end - 1 - j;
      if (found[j] != 0 || (wentSince && needed(i))) continue;
      gone[i] = true;
      wentSince = true;
      r.removed.push_back(static_cast<uint32_t>(i));
    }
    end = begin;
  }
  return r;
}

} // namespace

ReduceResult ReduceExactly(const PointSetList& blocks, unsigned v, unsigned m, unsigned t,
                           unsigned l, uint64_t memoryBound, unsigned threads,
                           const Deadline& deadline) {
  const uint64_t total = Binomial(v, m);
  const size_t b = blocks.size();
  const uint64_t width = b < 255 ? 1 : b < 65535 ? 2 : 4;
  threads = std::max(1u, threads);
  // Where m > t, a block covers far more m-sets than the walks restricted
  // to them visit (the 168-ticket 6/49 sample: 260,624 m-sets a block, 44
  // million counts in all, against walks that pass over covered prefixes
  // whole, about 150 times faster); where m = t, a block covers only its own
  // t-subsets and the counts are the faster.
  if (m == t && total != UINT64_MAX && total <= memoryBound / width && m <= v) {
    if (width == 1) return ReduceByCounts<uint8_t>(blocks, v, m, t, l, threads, deadline);
    if (width == 2) return ReduceByCounts<uint16_t>(blocks, v, m, t, l, threads, deadline);
    return ReduceByCounts<uint32_t>(blocks, v, m, t, l, threads, deadline);
  }
  return ReduceByWalks(blocks, v, m, t, l, threads, deadline);
}

} // namespace kovra
