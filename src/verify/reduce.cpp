// Exact reduction.
#include "verify/reduce.hpp"

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

// By walks: a block may go exactly when no m-set it covers loses without it
// (the design holds, so only m-sets it covers can lose), which a walk over
// the other blocks restricted to those m-sets tells at the first losing
// one; the walk passes over prefixes the others cover whole. All walks run
// on one index of every block, each leaving out its own block and the
// blocks gone.
//
// On threads. A needed block is told at once (its losing m-set comes
// early), a free one only by a walk to its end, and a block that goes
// changes what the later ones are tried against. Coverage only falls as
// blocks go: a block needed among some blocks is needed among fewer, and one
// free among some blocks is free among more. A round takes the next blocks
// whose answer is not known and
// - tries each briefly, all at once, among the blocks left at the round's
//   start: most needed blocks show it there, and that answer holds whatever
//   goes next; a block found free goes if none went before it this round;
// - tries those the brief try did not settle whole, all at once, one job per
//   first point, each without every block before it in the round that goes
//   or may go: a free answer holds whatever stays, a needed one only when
//   all those blocks did go;
// - takes the answers in order, trying again on this thread the blocks found
//   free briefly after another went (a short walk); the first answer that
//   does not hold ends the round, and the next round tries that block again.
ReduceResult ReduceByWalks(const PointSetList& blocks, unsigned v, unsigned m, unsigned t,
                           unsigned l, unsigned threads, const Deadline& deadline,
                           uint64_t briefPrefixes) {
  ReduceResult r;
  r.byCounts = false;
  MeetWalk all;
  InitMeetWalk(all, blocks, v, m, t, l);
  // A walk over the others, restricted to the m-sets a block covers, is
  // never longer than the walk of the whole design.
  if (EstimateMeetWalk(all, 0.05).seconds * static_cast<double>(blocks.size()) / threads >
      WALK_BEYOND_REACH_SECONDS) {
    r.stopped = true;
    return r;
  }
  all.deadline = &deadline;
  const size_t b = blocks.size();
  std::vector<char> gone(b, 0);
  MeetWalk left = all; // the walk without the blocks gone
  // A try of block i on a walk that leaves out what it should: the block
  // too, for the try's length.
  const auto tryBlock = [&](MeetWalk& w, size_t i, uint64_t budget) {
    LeaveOut(w, i, true);
    const MeetingAnswer answer = FindLosingMeeting(w, blocks[i], nullptr, 0, budget, nullptr);
    LeaveOut(w, i, false);
    return answer;
  };
  const auto remove = [&](size_t i) {
    gone[i] = 1;
    LeaveOut(left, i, true);
    r.removed.push_back(static_cast<uint32_t>(i));
  };
  if (threads <= 1) {
    for (size_t i = b; i-- > 0;) {
      CheckDeadline(deadline);
      if (tryBlock(left, i, UINT64_MAX) == MeetingAnswer::kNone) remove(i);
    }
    return r;
  }
  ThreadTeam team(threads);
  // How far a round looks ahead, and how long its brief tries are: a round
  // that ended early looks half as far the next time, one that took all it
  // tried twice as far; whole tries that mostly find their block needed
  // make the brief tries four times longer. (The answers are the same
  // whatever these are: only the work changes.)
  size_t window = size_t{64} * threads;
  uint64_t budget = briefPrefixes;
  // What is known of block b - 1 - j for good: needed, or free (it goes at
  // its turn: it was found free without every block before it that could
  // go, so without fewer it is free too).
  enum : char { kUnknown, kNeeded, kFree };
  std::vector<char> known(b, kUnknown);
  // What a round does with a block not known: it goes (free briefly with
  // none gone before it), it is tried again at its turn, or it is tried whole.
  enum : char { kNotPlanned, kGoes, kAgain, kWhole };
  struct Whole {
    size_t j = 0; // the block is b - 1 - j
    std::vector<char> without;
    MeetWalk proto;
    std::vector<MeetWalk> walks; // per thread
    std::atomic<bool> losing{false};
  };
  const std::vector<std::array<Point, 3>> firsts = PrefixJobs(v, std::min(m, 2u));
  std::vector<size_t> tried;
  std::vector<MeetingAnswer> brief;
  std::vector<MeetWalk> briefWalks(team.Size()); // per thread, without the blocks gone
  std::vector<size_t> briefRound(team.Size(), SIZE_MAX);
  size_t round = 0;
  std::vector<char> plan(b, kNotPlanned);
  std::vector<size_t> mayGoBefore(b, 0); // of a whole try: the blocks before it that may go
  for (size_t next = 0; next < b;) {     // blocks b - 1 - next and below are left to try
    CheckDeadline(deadline);
    tried.clear();
    size_t end = next;
    for (; end < b && tried.size() < window; ++end)
      if (known[end] == kUnknown) tried.push_back(end);
    brief.assign(tried.size(), MeetingAnswer::kUnfinished);
    ++round;
    team.Run(tried.size(), [&](size_t n, unsigned thread) {
      if (briefRound[thread] != round) {
        briefWalks[thread] = left;
        briefRound[thread] = round;
      }
      brief[n] = tryBlock(briefWalks[thread], b - 1 - tried[n], budget);
    });
    std::vector<char> without = gone; // the blocks gone or that may go, as the plan goes
    std::vector<std::unique_ptr<Whole>> wholes;
    bool anyGoes = false;
    size_t mayGo = 0;
    for (size_t n = 0; n < tried.size(); ++n) {
      const size_t j = tried[n];
      if (brief[n] == MeetingAnswer::kLosing) {
        known[j] = kNeeded;
        continue;
      }
      // The blocks known free before it in the round go too.
      for (size_t x = n == 0 ? next : tried[n - 1] + 1; x < j; ++x)
        if (known[x] == kFree) {
          without[b - 1 - x] = 1;
          anyGoes = true;
        }
      if (brief[n] == MeetingAnswer::kNone) {
        plan[j] = anyGoes ? kAgain : kGoes;
        mayGo += anyGoes ? 1 : 0;
      } else {
        plan[j] = kWhole;
        mayGoBefore[j] = mayGo++;
        auto w = std::make_unique<Whole>();
        w->j = j;
        w->without = without;
        w->walks.resize(team.Size());
        wholes.push_back(std::move(w));
      }
      without[b - 1 - j] = 1;
      anyGoes = true;
    }
    team.Run(wholes.size(), [&](size_t k) {
      Whole& w = *wholes[k];
      w.without[b - 1 - w.j] = 1;
      w.proto = all;
      LeaveOut(w.proto, w.without);
    });
    team.Run(wholes.size() * firsts.size(), [&](size_t job, unsigned thread) {
      Whole& w = *wholes[job / firsts.size()];
      if (w.losing.load(std::memory_order_relaxed)) return;
      MeetWalk& walk = w.walks[thread];
      if (!walk.index) walk = w.proto; // with the blocks it leaves out
      const std::array<Point, 3>& first = firsts[job % firsts.size()];
      if (FindLosingMeeting(walk, blocks[b - 1 - w.j], first.data(), first[0], UINT64_MAX,
                            &w.losing) == MeetingAnswer::kLosing)
        w.losing.store(true, std::memory_order_relaxed);
    });
    size_t losing = 0;
    for (const auto& w : wholes) {
      if (!w->losing.load()) known[w->j] = kFree;
      losing += w->losing.load() ? 1 : 0;
    }
    if (2 * losing > wholes.size()) budget = std::min(budget * 4, uint64_t{1} << 20);
    // The answers in order.
    size_t went = 0; // of the blocks that may go, those that went
    for (; next < end; ++next) {
      const size_t i = b - 1 - next;
      if (known[next] == kNeeded) continue;
      if (known[next] == kFree) { // known before, or found by its whole try
        remove(i);
        went += plan[next] == kWhole ? 1 : 0;
        continue;
      }
      if (plan[next] == kGoes) { // free briefly, nothing gone before it this round
        remove(i);
        continue;
      }
      if (plan[next] == kAgain) { // free briefly among more blocks: among these?
        const MeetingAnswer answer = tryBlock(left, i, budget);
        if (answer == MeetingAnswer::kNone) {
          remove(i);
          ++went;
        } else if (answer == MeetingAnswer::kLosing) {
          known[next] = kNeeded;
        } else {
          break; // a long walk: whole, in the next round
        }
        continue;
      }
      // Whole, needed without the blocks before it that may go: that holds
      // when they all went.
      if (went != mayGoBefore[next]) break;
      known[next] = kNeeded;
    }
    for (const size_t j : tried) plan[j] = kNotPlanned;
    window = next < end ? std::max<size_t>(threads, window / 2)
                        : std::min<size_t>(size_t{256} * threads, window * 2);
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
