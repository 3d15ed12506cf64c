// The search for a losing m-set as a SAT problem, and its witnesses checked.
#include "verify/prover.hpp"

#include "design/combinatorics.hpp"
#include "verify/meetwalk.hpp"
#include "verify/satsolver.hpp"

#include <algorithm>
#include <chrono>
#include <exception>
#include <functional>
#include <initializer_list>
#include <thread>

namespace kovra {
namespace {

// Clauses in the making: DIMACS literals, each clause ended by 0.
struct Cnf {
  int vars = 0;
  std::vector<int> lits;
  int Fresh() { return ++vars; }
  void Clause(std::initializer_list<int> c) {
    for (const int x : c)
      if (x != 0) lits.push_back(x); // 0 stands for "no such literal"
    lits.push_back(0);
  }
};

// Counters over lits[lo, hi) as a tree of totalizers: out[j - 1] stands for
// "at least j of them", for j up to `cap` (more is never asked).
// CountUp forces out[j - 1] true whenever j leaves are true, so asserting
// not out[K] allows at most K; CountDown forces at least j leaves true
// whenever out[j - 1] is, so asserting out[K - 1] asks for K. Each
// direction alone is all that its one use needs.
std::vector<int> CountUp(Cnf& f, const std::vector<int>& lits, size_t lo, size_t hi, size_t cap) {
  if (hi - lo == 1) return {lits[lo]};
  const size_t mid = lo + (hi - lo) / 2;
  const std::vector<int> a = CountUp(f, lits, lo, mid, cap);
  const std::vector<int> b = CountUp(f, lits, mid, hi, cap);
  std::vector<int> out(std::min(a.size() + b.size(), cap));
  for (int& x : out) x = f.Fresh();
  for (size_t i = 0; i <= a.size(); ++i)
    for (size_t j = 0; j <= b.size() && i + j <= out.size(); ++j)
      if (i + j > 0) f.Clause({i > 0 ? -a[i - 1] : 0, j > 0 ? -b[j - 1] : 0, out[i + j - 1]});
  return out;
}

std::vector<int> CountDown(Cnf& f, const std::vector<int>& lits, size_t lo, size_t hi, size_t cap) {
  if (hi - lo == 1) return {lits[lo]};
  const size_t mid = lo + (hi - lo) / 2;
  const std::vector<int> a = CountDown(f, lits, lo, mid, cap);
  const std::vector<int> b = CountDown(f, lits, mid, hi, cap);
  std::vector<int> out(std::min(a.size() + b.size(), cap));
  for (int& x : out) x = f.Fresh();
  // Fewer than i + 1 on the left and fewer than j + 1 on the right leave
  // fewer than i + j + 1. A child cut at `cap` never needs its missing
  // output here: i + j + 1 <= cap keeps i below its length.
  for (size_t i = 0; i <= a.size(); ++i)
    for (size_t j = 0; j <= b.size() && i + j + 1 <= out.size(); ++j)
      f.Clause({i < a.size() ? a[i] : 0, j < b.size() ? b[j] : 0, -out[i + j]});
  return out;
}

// The order of the points under the counter of "at least m": each next
// block is the one sharing most points with those placed, its new points
// next to each other. Disjoint tickets, or groups of points whose blocks stay
// inside the group, then fill whole subtrees, and the solver learns "at most
// so many from this subtree" once per subtree.
std::vector<int> GrowOrder(const std::vector<PointSet>& blocks, unsigned v) {
  std::vector<int> order;
  std::vector<char> live(blocks.size(), 1);
  PointSet placed;
  for (;;) {
    long best = -1;
    size_t pick = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
      if (live[i] == 0) continue;
      const unsigned fresh = CountPoints(blocks[i] & ~placed);
      if (fresh == 0) {
        live[i] = 0;
        continue;
      }
      const long score = static_cast<long>(CountPoints(blocks[i] & placed)) * 256 + fresh;
      if (score > best) {
        best = score;
        pick = i;
      }
    }
    if (best < 0) break;
    ForEachPoint(blocks[pick] & ~placed, [&](unsigned p) { order.push_back(static_cast<int>(p)); });
    placed |= blocks[pick];
  }
  for (unsigned p = 1; p <= v; ++p)
    if (!HasPoint(placed, p)) order.push_back(static_cast<int>(p));
  return order;
}

// Below this many t-subsets a block's "at most t - 1" is one clause per
// t-subset, which propagates best; above it a counter keeps the size down.
constexpr uint64_t kDirectClauses = 64;

// "At most t - 1 of these points, unless `hit`" (hit 0: no exception).
void LimitBlock(Cnf& f, const std::vector<int>& pts, unsigned t, int hit) {
  const size_t k = pts.size();
  if (t == 1) {
    for (const int p : pts) f.Clause({-p, hit});
  } else if (Binomial(static_cast<unsigned>(k), t) <= kDirectClauses) {
    std::vector<size_t> at(t);
    for (size_t i = 0; i < t; ++i) at[i] = i;
    for (;;) {
      for (const size_t i : at) f.lits.push_back(-pts[i]);
      if (hit != 0) f.lits.push_back(hit);
      f.lits.push_back(0);
      size_t i = t;
      while (i > 0 && at[i - 1] == k - t + i - 1) --i;
      if (i == 0) break;
      ++at[i - 1];
      for (size_t j = i; j < t; ++j) at[j] = at[j - 1] + 1;
    }
  } else {
    const std::vector<int> out = CountUp(f, pts, 0, k, t);
    f.Clause({-out[t - 1], hit});
  }
}

// Lexicographic order of sets of equal size: the one holding the lowest
// point where they differ comes first.
bool LexLess(const PointSet& a, const PointSet& b) {
  const PointSet diff = a ^ b;
  return !IsEmpty(diff) && HasPoint(a, LowestPoint(diff));
}

// The SAT search: its answer, or the witnesses it found before giving up.
ProofResult SatSearch(const ProofQuery& q, const std::atomic<bool>& raceOver,
                      std::chrono::steady_clock::time_point deadline) {
  ProofResult res;
  res.method = ProofMethod::kSat;
  const std::vector<PointSet>& blocks = *q.blocks;
  // Copies of a block are one block that counts as often: one variable for
  // "hit" instead of interchangeable ones the solver would try in turn.
  std::vector<PointSet> distinct = blocks;
  std::sort(distinct.begin(), distinct.end(), LexLess);
  std::vector<uint32_t> copies;
  size_t kept = 0;
  for (size_t i = 0; i < distinct.size(); ++i) {
    if (kept > 0 && distinct[kept - 1] == distinct[i]) {
      ++copies.back();
      continue;
    }
    distinct[kept++] = distinct[i];
    copies.push_back(1);
  }
  distinct.resize(kept);

  Cnf f;
  f.vars = static_cast<int>(q.v);
  std::vector<int> hitCopies; // one leaf per copy of each block that may be hit
  const auto tooLarge = [&] {
    return q.memoryBound != 0 && f.lits.size() * 4 * sizeof(int) > q.memoryBound;
  };
  for (size_t i = 0; i < distinct.size(); ++i) {
    std::vector<int> pts;
    ForEachPoint(distinct[i], [&](unsigned p) { pts.push_back(static_cast<int>(p)); });
    if (pts.size() < q.t) continue; // never hit
    int hit = 0;
    // A block with l copies or more must not be hit at all.
    if (q.l > 1 && copies[i] < q.l) {
      hit = f.Fresh();
      hitCopies.insert(hitCopies.end(), copies[i], hit);
    }
    LimitBlock(f, pts, q.t, hit);
    if (tooLarge()) {
      res.verdict = ProofVerdict::kTooLarge;
      return res;
    }
  }
  if (hitCopies.size() >= q.l) {
    const std::vector<int> out = CountUp(f, hitCopies, 0, hitCopies.size(), q.l);
    f.Clause({-out[q.l - 1]});
  }
  const std::vector<int> order = GrowOrder(distinct, q.v);
  const std::vector<int> atLeast = CountDown(f, order, 0, order.size(), q.m);
  f.Clause({atLeast[q.m - 1]});
  if (tooLarge()) {
    res.verdict = ProofVerdict::kTooLarge;
    return res;
  }

  const SatSessionPtr session = NewSatSession();
  if (!session || !AddClauses(*session, f.lits)) return res; // kFailed
  f.lits.clear();
  f.lits.shrink_to_fit();
  SatLimits limits;
  limits.deadline = deadline;
  limits.stop[0] = &raceOver;
  limits.stop[1] = q.stop;
  limits.tick = q.tick;
  limits.tickContext = q.tickContext;
  for (;;) {
    const SatAnswer answer = SolveSat(*session, limits);
    if (answer == SatAnswer::kSatisfiable) {
      // The m lowest points chosen; checked here, by a count of its own, so
      // that a fault of the encoding can never pass for a losing m-set.
      PointSet w;
      unsigned taken = 0;
      for (unsigned p = 1; p <= q.v && taken < q.m; ++p)
        if (ModelValue(*session, static_cast<int>(p))) {
          AddPoint(w, p);
          ++taken;
        }
      if (taken < q.m) return res; // kFailed: the model breaks its own counter
      res.witnesses.push_back(w);
      if (res.witnesses.size() >= q.maxWitnesses) {
        res.verdict = ProofVerdict::kLosing;
        break;
      }
      // Every other losing m-set still has a model: one not holding all of w.
      std::vector<int> other;
      ForEachPoint(w, [&](unsigned p) { other.push_back(-static_cast<int>(p)); });
      other.push_back(0);
      if (AddClauses(*session, other)) continue;
      res.verdict = ProofVerdict::kLosing; // what was found still decides
      break;
    }
    if (answer == SatAnswer::kUnsatisfiable) {
      res.verdict = res.witnesses.empty() ? ProofVerdict::kCovered : ProofVerdict::kLosing;
      res.allFound = !res.witnesses.empty();
      break;
    }
    // Out of time or stopped: a witness found before still decides.
    if (!res.witnesses.empty())
      res.verdict = ProofVerdict::kLosing;
    else if (answer == SatAnswer::kTimedOut)
      res.verdict = ProofVerdict::kTimedOut;
    else if (answer == SatAnswer::kStopped)
      res.verdict = ProofVerdict::kStopped;
    else
      res.verdict = ProofVerdict::kFailed;
    break;
  }
  return res;
}

// The depth-first search: the meet walk (meetwalk.hpp) over the prefixes
// that can still lose, in lexicographic order, each prefix cut as soon as a
// bound shows that its open points cannot complete an m-set: the open
// points are split among blocks not yet met in t points, and each such
// block can take only t - 1 - (points of the prefix in it) more, except the
// few that may still be met (l - 1 less those met already), which take all
// they hold. Its witnesses are the first losing m-sets in lexicographic
// order, those a walk would print, and when it runs to its end their number
// is the exact count.
struct DepthFirst {
  MeetWalk w;
  const std::atomic<bool>* raceOver = nullptr;
  const std::atomic<bool>* stop = nullptr;
  std::chrono::steady_clock::time_point deadline;
  uint32_t most = 1;
  std::vector<PointSet> found;
  uint64_t nodes = 0;
  std::vector<unsigned> extra; // scratch of Bound
};

// At most how many of the open points an m-set grown from the prefix can take.
unsigned Bound(DepthFirst& s, PointSet open) {
  const MeetWalk& w = s.w;
  unsigned total = 0;
  s.extra.clear();
  while (!IsEmpty(open)) {
    const unsigned p = LowestPoint(open);
    // The block through p that takes the fewest more points.
    unsigned best = UINT32_MAX, cap = 0;
    for (uint32_t i = w.first[p]; i < w.first[p + 1]; ++i) {
      const uint32_t b = w.holders[i];
      if (w.meet[b] >= w.t) continue; // met already: takes anything
      const unsigned c = w.t - 1 - w.meet[b];
      if (best == UINT32_MAX || c < cap) {
        best = b;
        cap = c;
      }
    }
    if (best == UINT32_MAX) {
      ++total;
      RemoveLowest(open);
      continue;
    }
    const unsigned held = CountPoints(w.blocks[best] & open);
    total += std::min(cap, held);
    if (w.l > 1 && held > cap) s.extra.push_back(held - cap);
    open &= ~w.blocks[best];
  }
  const uint32_t done = w.done[w.depth];
  if (w.l > 1 && done + 1 < w.l) {
    const size_t more = std::min<size_t>(w.l - 1 - done, s.extra.size());
    std::partial_sort(s.extra.begin(), s.extra.begin() + static_cast<long>(more), s.extra.end(),
                      std::greater<>());
    for (size_t i = 0; i < more; ++i) total += s.extra[i];
  }
  return total;
}

// False when it gave up (the race was over, the stop flag, the time limit);
// true when it ran to its end or found as many witnesses as asked.
bool RunDepthFirst(DepthFirst& s) {
  MeetWalk& w = s.w;
  const unsigned n = w.n, v = w.v;
  PointSet cand[MAX_M + 1];
  unsigned d = 0;
  cand[0] = ~CoveringPoints(w) & PointsBetween(1, v);
  for (;;) {
    if (!IsEmpty(cand[d]) && d + Bound(s, cand[d]) < n) cand[d] = PointSet{};
    if (IsEmpty(cand[d])) {
      if (d == 0) return true;
      PopPoint(w);
      --d;
      continue;
    }
    const unsigned y = LowestPoint(cand[d]);
    RemoveLowest(cand[d]);
    if (d + 1 == n) { // every open point ends a losing m-set
      PointSet lose;
      for (unsigned i = 1; i <= d; ++i) AddPoint(lose, w.S[i]);
      AddPoint(lose, y);
      s.found.push_back(lose);
      if (s.found.size() >= s.most) return true;
      continue;
    }
    if ((++s.nodes & 1023) == 0 &&
        (s.raceOver->load(std::memory_order_relaxed) ||
         (s.stop != nullptr && s.stop->load(std::memory_order_relaxed)) ||
         std::chrono::steady_clock::now() >= s.deadline))
      return false;
    PushPoint(w, y);
    ++d;
    cand[d] = ~CoveringPoints(w) & PointsBetween(y + 1, v);
  }
}

ProofResult DepthFirstSearch(const ProofQuery& q, std::atomic<bool>& raceOver,
                             std::chrono::steady_clock::time_point deadline) {
  ProofResult res;
  res.method = ProofMethod::kDepthFirst;
  DepthFirst s;
  s.raceOver = &raceOver;
  s.stop = q.stop;
  s.deadline = deadline;
  s.most = q.maxWitnesses;
  InitMeetWalk(s.w, *q.blocks, q.v, q.m, q.t, q.l);
  const bool finished = PrefixCovered(s.w) || RunDepthFirst(s);
  res.witnesses = std::move(s.found);
  if (!res.witnesses.empty()) {
    res.verdict = ProofVerdict::kLosing;
    res.allFound = finished && res.witnesses.size() < q.maxWitnesses;
  } else if (finished) {
    res.verdict = ProofVerdict::kCovered;
  } else {
    res.verdict = ProofVerdict::kStopped;
  }
  return res;
}

bool Decided(const ProofResult& r) {
  return r.verdict == ProofVerdict::kCovered || r.verdict == ProofVerdict::kLosing;
}

} // namespace

uint32_t BlocksMeeting(const std::vector<PointSet>& blocks, const PointSet& s, unsigned t) {
  uint32_t count = 0;
  for (const PointSet& b : blocks) count += CountPoints(b & s) >= t ? 1 : 0;
  return count;
}

std::string ProofMethodName(ProofMethod method) {
  if (method == ProofMethod::kDepthFirst) return "the depth-first search with block bounds";
  return "the SAT search (" + SatSolverName() + ")";
}

ProofResult ProveCoverage(const ProofQuery& q) {
  if (q.m > q.v || q.m == 0) { // no m-set to lose
    ProofResult res;
    res.verdict = ProofVerdict::kCovered;
    return res;
  }
  const auto deadline = q.timeLimitSeconds > 0
                            ? std::chrono::steady_clock::now() +
                                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                      std::chrono::duration<double>(q.timeLimitSeconds))
                            : std::chrono::steady_clock::time_point::max();
  // The two searches race, one thread each: the SAT search settles designs
  // built from structure (disjoint tickets, groups) in milliseconds where the
  // depth-first one would run for ages, and the depth-first search settles
  // irregular designs near their threshold many times faster than the SAT
  // search. The first to decide ends the other.
  std::atomic<bool> raceOver{false};
  ProofResult depth;
  depth.verdict = ProofVerdict::kFailed;
  std::thread helper;
  try {
    helper = std::thread([&] {
      try {
        depth = DepthFirstSearch(q, raceOver, deadline);
      } catch (const std::exception&) {
        depth.verdict = ProofVerdict::kFailed;
      }
      if (Decided(depth) || (q.stop != nullptr && q.stop->load())) raceOver = true;
    });
  } catch (const std::exception&) {
    // No thread to be had: the SAT search alone.
  }
  ProofResult sat = SatSearch(q, raceOver, deadline);
  raceOver = true;
  if (helper.joinable()) helper.join();
  ProofResult res;
  // The depth-first answer is preferred when both decided: its witnesses
  // are the first in order, and its count is exact when it ran to its end.
  if (Decided(depth))
    res = std::move(depth);
  else if (Decided(sat) || sat.verdict != ProofVerdict::kStopped)
    res = std::move(sat);
  else
    res = std::move(depth);
  if (res.verdict == ProofVerdict::kStopped && std::chrono::steady_clock::now() >= deadline)
    res.verdict = ProofVerdict::kTimedOut;
  // Every witness is checked here by a count of its own, so that a fault of
  // either search can never pass for a losing m-set.
  for (const PointSet& w : res.witnesses)
    if (CountPoints(w) != q.m || BlocksMeeting(*q.blocks, w, q.t) >= q.l) {
      res.verdict = ProofVerdict::kFailed;
      res.witnesses.clear();
    }
  std::sort(res.witnesses.begin(), res.witnesses.end(), LexLess);
  return res;
}

} // namespace kovra
