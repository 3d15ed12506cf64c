// The search for a losing m-set as a SAT problem, and its witnesses checked.
#include "verify/prover.hpp"

#include "design/combinatorics.hpp"
#include "verify/meetwalk.hpp"
#include "verify/satsolver.hpp"

#include <algorithm>
#include <bit>
#include <chrono>
#include <functional>
#include <initializer_list>

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
template <unsigned W>
std::vector<int> GrowOrder(const std::vector<PointSet<W>>& blocks, unsigned v) {
  std::vector<int> order;
  std::vector<char> live(blocks.size(), 1);
  PointSet<W> placed;
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
      const long score = static_cast<long>(CountCommon(blocks[i], placed)) * 256 + fresh;
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

using Clock = std::chrono::steady_clock;

// Where a search stands after its turn.
enum class Turn : uint8_t {
  kGoingOn, // its work budget ran out: it goes on at its next turn
  kDone,    // it decided (or found as many witnesses as asked)
  kGaveUp,  // the stop flag, the time limit, or no answer to be had from it
};

// What both searches share: the query, the deadline and the progress ticks.
struct Race {
  const ProofQuery& q;
  Clock::time_point deadline;
  Clock::time_point nextTick = Clock::now() + std::chrono::seconds(1);

  bool OutOfTime() const {
    return (q.stop != nullptr && q.stop->load(std::memory_order_relaxed)) ||
           Clock::now() >= deadline;
  }
  void MaybeTick() {
    if (q.tick == nullptr) return;
    const auto now = Clock::now();
    if (now < nextTick) return;
    nextTick = now + std::chrono::seconds(1);
    q.tick(q.tickContext);
  }
};

// The SAT search, kept between its turns: the solver keeps what it learned.
template <unsigned W>
struct SatSearch {
  SatSessionPtr session;
  bool built = false;
  std::vector<PointSet<W>> found;
  ProofVerdict verdict = ProofVerdict::kFailed; // once done or given up
  bool allFound = false;
};

// The clauses of the query (see prover.hpp); false (and the verdict set)
// when they would pass the memory bound or the solver fails to take them.
template <unsigned W>
bool BuildSat(SatSearch<W>& st, const ProofQuery& q) {
  // Copies of a block are one block that counts as often: one variable for
  // "hit" instead of interchangeable ones the solver would try in turn.
  std::vector<PointSet<W>> distinct = q.blocks->Sets<W>();
  std::sort(distinct.begin(), distinct.end(), LexLess<W>);
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
    if (q.memoryBound == 0 || f.lits.size() * 4 * sizeof(int) <= q.memoryBound) return false;
    st.verdict = ProofVerdict::kTooLarge;
    return true;
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
    if (tooLarge()) return false;
  }
  if (hitCopies.size() >= q.l) {
    const std::vector<int> out = CountUp(f, hitCopies, 0, hitCopies.size(), q.l);
    f.Clause({-out[q.l - 1]});
  }
  const std::vector<int> order = GrowOrder(distinct, q.v);
  const std::vector<int> atLeast = CountDown(f, order, 0, order.size(), q.m);
  f.Clause({atLeast[q.m - 1]});
  if (tooLarge()) return false;
  st.session = NewSatSession();
  return st.session && AddClauses(*st.session, f.lits);
}

template <unsigned W>
Turn SatTurn(SatSearch<W>& st, Race& race, int64_t conflicts) {
  const ProofQuery& q = race.q;
  if (!st.built) {
    st.built = true;
    if (!BuildSat(st, q)) return Turn::kGaveUp;
  }
  SatLimits limits;
  limits.deadline = race.deadline;
  limits.stop = q.stop;
  limits.conflicts = conflicts;
  limits.tick = q.tick;
  limits.tickContext = q.tickContext;
  for (;;) {
    const SatAnswer answer = SolveSat(*st.session, limits);
    if (answer == SatAnswer::kBudget) return Turn::kGoingOn;
    if (answer == SatAnswer::kUnsatisfiable) {
      st.verdict = st.found.empty() ? ProofVerdict::kCovered : ProofVerdict::kLosing;
      st.allFound = !st.found.empty();
      return Turn::kDone;
    }
    if (answer != SatAnswer::kSatisfiable) {
      st.verdict = answer == SatAnswer::kFailed ? ProofVerdict::kFailed : ProofVerdict::kStopped;
      return Turn::kGaveUp;
    }
    // The m lowest points chosen (any m of them lose as all of them do).
    PointSet<W> w;
    unsigned taken = 0;
    for (unsigned p = 1; p <= q.v && taken < q.m; ++p)
      if (ModelValue(*st.session, static_cast<int>(p))) {
        AddPoint(w, p);
        ++taken;
      }
    st.found.push_back(w);
    st.verdict = ProofVerdict::kLosing;
    if (st.found.size() >= q.maxWitnesses) return Turn::kDone;
    // Every other losing m-set still has a model: one not holding all of w.
    std::vector<int> other;
    ForEachPoint(w, [&](unsigned p) { other.push_back(-static_cast<int>(p)); });
    other.push_back(0);
    if (!AddClauses(*st.session, other)) return Turn::kDone; // what was found still decides
  }
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
template <unsigned W>
struct DepthFirst {
  MeetWalk w;
  unsigned d = 0;              // points in the prefix
  PointSet<W> cand[MAX_M + 1]; // cand[d]: the places still to try for point d + 1
  std::vector<PointSet<W>> found;
  std::vector<unsigned> extra; // scratch of Bound
};

// At most how many of the open points an m-set grown from the prefix can take.
template <unsigned W>
unsigned Bound(DepthFirst<W>& s, PointSet<W> open) {
  const MeetWalk& w = s.w;
  const MeetIndex& ix = *w.index;
  const std::vector<PointSet<W>>& blocks = ix.blocks.Sets<W>();
  unsigned total = 0;
  s.extra.clear();
  while (!IsEmpty(open)) {
    const unsigned p = LowestPoint(open);
    // The block through p that takes the fewest more points.
    unsigned best = UINT32_MAX, cap = 0;
    for (uint32_t i = ix.first[p]; i < ix.first[p + 1]; ++i) {
      const uint32_t b = ix.holders[i];
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
    const unsigned held = CountCommon(blocks[best], open);
    total += std::min(cap, held);
    if (w.l > 1 && held > cap) s.extra.push_back(held - cap);
    open &= ~blocks[best];
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

template <unsigned W>
void StartDepthFirst(DepthFirst<W>& s, const ProofQuery& q) {
  InitMeetWalk(s.w, *q.blocks, q.v, q.m, q.t, q.l);
  s.d = 0;
  s.cand[0] =
      PrefixCovered(s.w) ? PointSet<W>{} : ~CoveringPoints<W>(s.w) & PointsBetween<W>(1, q.v);
}

// Extends at most `nodes` prefixes, then returns to let the other search work.
template <unsigned W>
Turn DepthFirstTurn(DepthFirst<W>& s, Race& race, uint64_t nodes) {
  MeetWalk& w = s.w;
  const unsigned n = w.n, v = w.v;
  for (;;) {
    unsigned& d = s.d;
    if (!IsEmpty(s.cand[d]) && d + Bound(s, s.cand[d]) < n) s.cand[d] = PointSet<W>{};
    if (IsEmpty(s.cand[d])) {
      if (d == 0) return Turn::kDone;
      PopPoint(w);
      --d;
      continue;
    }
    const unsigned y = LowestPoint(s.cand[d]);
    RemoveLowest(s.cand[d]);
    if (d + 1 == n) { // every open point ends a losing m-set
      PointSet<W> lose;
      for (unsigned i = 1; i <= d; ++i) AddPoint(lose, w.S[i]);
      AddPoint(lose, y);
      s.found.push_back(lose);
      if (s.found.size() >= race.q.maxWitnesses) return Turn::kDone;
      continue;
    }
    if (nodes-- == 0) {
      s.cand[d] |= PointsBetween<W>(y, y); // taken up again at the next turn
      return Turn::kGoingOn;
    }
    if ((nodes & 1023) == 0) {
      race.MaybeTick();
      if (race.OutOfTime()) return Turn::kGaveUp;
    }
    PushPoint<W>(w, y);
    ++d;
    s.cand[d] = ~CoveringPoints<W>(w) & PointsBetween<W>(y + 1, v);
  }
}

template <unsigned W>
uint32_t BlocksMeetingOf(const std::vector<PointSet<W>>& blocks, const PointSet<W>& s, unsigned t) {
  uint32_t count = 0;
  for (const PointSet<W>& b : blocks) count += CountCommon(b, s) >= t ? 1 : 0;
  return count;
}

template <unsigned W>
bool WitnessesLoseOf(const ProofQuery& q, const std::vector<PointSet<W>>& witnesses) {
  for (const PointSet<W>& w : witnesses)
    if (CountPoints(w) != q.m || BlocksMeetingOf(q.blocks->Sets<W>(), w, q.t) >= q.l) return false;
  return true;
}

template <unsigned W>
ProofResult ProveCoverageOf(const ProofQuery& q) {
  ProofResult res;
  res.witnesses = PointSetList(0, W);
  std::vector<PointSet<W>> witnesses;
  if (q.m > q.v || q.m == 0) { // no m-set to lose
    res.verdict = ProofVerdict::kCovered;
    return res;
  }
  Race race{q, q.timeLimitSeconds > 0
                   ? Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(q.timeLimitSeconds))
                   : Clock::time_point::max()};
  // The two searches take turns, each with twice the work of its turn
  // before (up to about a second's worth), until one decides: the SAT
  // search settles designs built from structure (disjoint tickets, groups)
  // in milliseconds where the depth-first one would run for ages, and the
  // depth-first search settles irregular designs near their threshold many
  // times faster than the SAT search. Counting work, not time, keeps the
  // answer, and so the log, the same on every machine and every run.
  DepthFirst<W> depth;
  SatSearch<W> sat;
  bool depthOn = q.useDepthFirst, satOn = q.useSat;
  if (depthOn) StartDepthFirst(depth, q);
  uint64_t nodes = 1u << 10;
  int64_t conflicts = 1 << 6;
  Turn turn = Turn::kGaveUp;
  while (depthOn || satOn) {
    if (depthOn) {
      turn = DepthFirstTurn(depth, race, satOn ? nodes : UINT64_MAX);
      if (turn == Turn::kDone) {
        res.method = ProofMethod::kDepthFirst;
        witnesses = std::move(depth.found);
        res.verdict = witnesses.empty() ? ProofVerdict::kCovered : ProofVerdict::kLosing;
        res.allFound = !witnesses.empty() && witnesses.size() < q.maxWitnesses;
        break;
      }
      if (turn == Turn::kGaveUp) break;
    }
    if (satOn) {
      turn = SatTurn(sat, race, depthOn ? conflicts : -1);
      if (turn == Turn::kDone) {
        res.method = ProofMethod::kSat;
        witnesses = std::move(sat.found);
        res.verdict = sat.verdict;
        res.allFound = sat.allFound;
        break;
      }
      // A problem too large for the solver leaves the depth-first search.
      if (turn == Turn::kGaveUp && (sat.verdict == ProofVerdict::kStopped || !depthOn)) break;
      if (turn == Turn::kGaveUp) satOn = false;
    }
    nodes = std::min<uint64_t>(nodes * 2, 1u << 20);
    conflicts = std::min<int64_t>(conflicts * 2, 1 << 14);
    race.MaybeTick();
  }
  if (turn == Turn::kGaveUp) {
    // A witness found before still decides; else nothing is decided.
    std::vector<PointSet<W>>& some = !depth.found.empty() ? depth.found : sat.found;
    if (!some.empty()) {
      res.method = !depth.found.empty() ? ProofMethod::kDepthFirst : ProofMethod::kSat;
      witnesses = std::move(some);
      res.verdict = ProofVerdict::kLosing;
    } else if (race.OutOfTime()) {
      res.verdict =
          q.stop != nullptr && q.stop->load() ? ProofVerdict::kStopped : ProofVerdict::kTimedOut;
    } else {
      res.verdict =
          sat.verdict == ProofVerdict::kTooLarge ? ProofVerdict::kTooLarge : ProofVerdict::kFailed;
    }
  }
  // Every witness is checked here by a count of its own, so that a fault of
  // either search can never pass for a losing m-set.
  if (!WitnessesLoseOf(q, witnesses)) {
    res.verdict = ProofVerdict::kFailed;
    witnesses.clear();
  }
  std::sort(witnesses.begin(), witnesses.end(), LexLess<W>);
  res.witnesses.Sets<W>() = std::move(witnesses);
  return res;
}

} // namespace

uint32_t BlocksMeeting(const PointSetList& blocks, PointSetView s, unsigned t) {
  uint32_t count = 0;
  for (const PointSetView b : blocks) {
    unsigned common = 0;
    for (unsigned i = 0; i < b.words && i < s.words; ++i)
      common += static_cast<unsigned>(std::popcount(b.w[i] & s.w[i]));
    count += common >= t ? 1 : 0;
  }
  return count;
}

std::string ProofMethodName(ProofMethod method) {
  if (method == ProofMethod::kDepthFirst) return "the depth-first search with block bounds";
  return "the SAT search (" + SatSolverName() + ")";
}

bool WitnessesLose(const ProofQuery& q, const PointSetList& witnesses) {
  for (const PointSetView w : witnesses)
    if (CountPoints(w) != q.m || BlocksMeeting(*q.blocks, w, q.t) >= q.l) return false;
  return true;
}

ProofResult ProveCoverage(const ProofQuery& q) {
  return WithWords(q.blocks->Words(), [&](auto width) { return ProveCoverageOf<width()>(q); });
}

} // namespace kovra
