// Exact reduction.
#include "verify/reduce.hpp"

#include "base/jobs.hpp"
#include "base/threadteam.hpp"
#include "design/combinatorics.hpp"
#include "verify/estimate.hpp"
#include "verify/meetwalk.hpp"
#include "verify/shares.hpp"

#include <algorithm>
#include <array>
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
  // Three short pieces of work per block: a team started once.
  ThreadTeam team(threads);
  const auto inJobs = [&](auto&& each) {
    team.Run(jobs, [&](size_t j) { each(cut[j], cut[j + 1]); });
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

// The blocks other than `skip` that have not gone, in order.
PointSetList Others(const PointSetList& blocks, size_t skip, const std::vector<char>& gone) {
  PointSetList others(0, blocks.Words());
  WithWords(blocks.Words(), [&](auto width) {
    const auto& all = blocks.Sets<width()>();
    auto& kept = others.Sets<width()>();
    kept.reserve(all.size());
    for (size_t j = 0; j < all.size(); ++j)
      if (j != skip && gone[j] == 0) kept.push_back(all[j]);
  });
  return others;
}

// By walks: a block may go exactly when no m-set it covers loses without it
// (the design holds, so only m-sets it covers can lose), which a walk over
// the other blocks restricted to those m-sets tells at the first losing
// one; the walk passes over prefixes the others cover whole.
//
// On threads. A needed block is told at once (its losing m-set comes
// early), a free one only by a walk to its end, and a block that goes
// changes what the later ones are tried against. Coverage only falls as
// blocks go, so a block needed against some blocks is needed against fewer,
// and one free against some blocks is free against more. A round takes the
// next blocks whose answer is not known and
// - tries each briefly against the blocks left at the round's start: most
//   needed blocks show it there, and that answer holds whatever goes next;
// - tries the others whole, all of them at once, one job per first point:
//   each against the blocks left less every block before it in the round
//   that is to go or may go (those found free briefly before any other
//   went, and these). A free answer holds whatever stays (it was found
//   against fewer blocks), a needed one only when all those did go;
// - takes the answers in order; the first one that does not hold ends the
//   round, and the next round tries it again.
ReduceResult ReduceByWalks(const PointSetList& blocks, unsigned v, unsigned m, unsigned t,
                           unsigned l, unsigned threads, const Deadline& deadline,
                           uint64_t briefPrefixes) {
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
  const size_t b = blocks.size();
  std::vector<char> gone(b, 0);
  const auto walkWithout = [&](size_t i, const std::vector<char>& without) {
    MeetWalk w;
    InitMeetWalk(w, Others(blocks, i, without), v, m, t, l);
    w.deadline = &deadline;
    return w;
  };
  const auto remove = [&](size_t i) {
    gone[i] = 1;
    r.removed.push_back(static_cast<uint32_t>(i));
  };
  if (threads <= 1) {
    for (size_t i = b; i-- > 0;) {
      CheckDeadline(deadline);
      MeetWalk w = walkWithout(i, gone);
      if (!HasLosingMeeting(w, blocks[i])) remove(i);
    }
    return r;
  }
  ThreadTeam team(threads);
  const size_t window = size_t{64} * threads;
  // A whole try of a round: the block, the walk without the blocks that go
  // or may go before it, whether all of those must go for its answer to
  // hold, and the answer.
  struct Whole {
    size_t i = 0;
    std::vector<char> without; // the blocks its walk leaves out
    MeetWalk proto;
    std::vector<MeetWalk> walks; // per thread
    size_t mayGo = 0;            // the round's blocks before it that may go
    std::atomic<bool> losing{false};
  };
  const std::vector<std::array<Point, 3>> firsts = PrefixJobs(v, std::min(m, 2u));
  std::vector<size_t> batch;
  std::vector<MeetingAnswer> brief;
  for (size_t next = 0; next < b;) { // blocks b - 1 - next and below are left to try
    CheckDeadline(deadline);
    batch.clear();
    for (size_t j = next; j < b && batch.size() < window; ++j) batch.push_back(b - 1 - j);
    brief.assign(batch.size(), MeetingAnswer::kUnfinished);
    team.Run(batch.size(), [&](size_t n) {
      MeetWalk w = walkWithout(batch[n], gone);
      brief[n] = FindLosingMeeting(w, blocks[batch[n]], nullptr, 0, briefPrefixes, nullptr);
    });
    // The whole tries, each without the blocks before it that go or may go.
    std::vector<char> without = gone;
    std::vector<std::unique_ptr<Whole>> wholes;
    std::vector<size_t> wholeAt(batch.size(), SIZE_MAX);
    size_t mayGo = 0;
    bool anyGoes = false;
    for (size_t n = 0; n < batch.size(); ++n) {
      const size_t i = batch[n];
      if (brief[n] == MeetingAnswer::kLosing) continue;
      if (brief[n] == MeetingAnswer::kNone && !anyGoes) {
        without[i] = 1; // goes: found free against the very blocks it leaves
        anyGoes = true;
        continue;
      }
      anyGoes = true;
      auto w = std::make_unique<Whole>();
      w->i = i;
      w->without = without;
      w->walks.resize(team.Size());
      w->mayGo = mayGo++;
      without[i] = 1;
      wholeAt[n] = wholes.size();
      wholes.push_back(std::move(w));
    }
    team.Run(wholes.size(), [&](size_t k) { wholes[k]->proto = walkWithout(wholes[k]->i, wholes[k]->without); });
    team.Run(wholes.size() * firsts.size(), [&](size_t job, unsigned thread) {
      Whole& w = *wholes[job / firsts.size()];
      if (w.losing.load(std::memory_order_relaxed)) return;
      MeetWalk& walk = w.walks[thread];
      if (!walk.index) CopyMeetWalk(walk, w.proto);
      const std::array<Point, 3>& first = firsts[job % firsts.size()];
      if (FindLosingMeeting(walk, blocks[w.i], first.data(), first[0], UINT64_MAX, &w.losing) ==
          MeetingAnswer::kLosing)
        w.losing.store(true, std::memory_order_relaxed);
    });
    // The answers in order.
    size_t went = 0; // of the blocks that may go, those that went
    for (size_t n = 0; n < batch.size(); ++n, ++next) {
      const size_t i = batch[n];
      if (brief[n] == MeetingAnswer::kLosing) continue;
      if (wholeAt[n] == SIZE_MAX) {
        remove(i);
        continue;
      }
      const Whole& w = *wholes[wholeAt[n]];
      if (!w.losing.load()) {
        remove(i);
        ++went;
        continue;
      }
      if (went != w.mayGo) break; // needed without blocks that stayed: tried again
    }
  }
  return r;
}

} // namespace

ReduceResult ReduceExactly(const PointSetList& blocks, unsigned v, unsigned m, unsigned t,
                           unsigned l, uint64_t memoryBound, unsigned threads,
                           const Deadline& deadline, uint64_t brief) {
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
  // A brief try of 512 prefixes: the needed blocks of the 168-ticket sample
  // show it within 140, a free one takes a hundred thousand.
  return ReduceByWalks(blocks, v, m, t, l, threads, deadline, brief);
}

} // namespace kovra
