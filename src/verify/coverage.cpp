// The coverage test: the head, the counter scan, the skipper passes and the verdict.
#include "base/clock.hpp"
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "base/jobs.hpp"
#include "verify/coverwalk.hpp"
#include "verify/engine.hpp"
#include "verify/estimate.hpp"
#include "verify/meetwalk.hpp"
#include "verify/shares.hpp"
#include "verify/skipper.hpp"
#include "verify/tsets.hpp"
#include "verify/verdict.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace kovra {
namespace {

// A losing combination of the walk: members in base 1, named as printed.
void PrintLosingComb(const Point* members, unsigned n, PointNames names) {
  unsigned named[MAX_M];
  for (unsigned i = 0; i < n; ++i) named[i] = names(members[i]);
  PrintLosingLine(named, n);
}

// Width of the combination column.
int CombColumnWidth(unsigned size) { return size < 5 ? 13 : static_cast<int>(3 * size); }

// The progress points of a pass, as the plain walk meets them: after a carry
// (every combination whose last member follows its predecessor directly,
// except the first combination) the walk ranks the combination while the
// estimate is at least 4 seconds, and prints a line at the first one ranked
// above the threshold.
struct ProgressPoints {
  const RankTable* rank = nullptr; // (v, n)
  unsigned v = 0, n = 0;
  uint64_t combs = 0;
  uint64_t interval = 0;
  uint64_t threshold = 0;
  bool have = false;
  Point next[MAX_M + 1] = {}; // next[1..n]
  uint64_t nextRank = 0;
};

void FindProgressPoint(ProgressPoints& pp) {
  pp.have = false;
  if (pp.threshold >= pp.combs) return;
  Point* c = pp.next + 1;
  UnrankComb(pp.threshold + 1, pp.v, pp.n, c);
  if (c[pp.n - 1] != c[pp.n - 2] + 1) {
    // Not reached by a carry: the next one that is starts the next prefix.
    c[pp.n - 1] = static_cast<Point>(pp.v);
    if (!NextComb(c, pp.n, 1, pp.v)) return;
  }
  pp.nextRank = RankFast(*pp.rank, c);
  pp.have = true;
}

// Prints the progress lines the plain walk prints before it reaches `upTo`
// (S[1..n]; all that remain when upTo is null).
void EmitProgressBefore(TestContext& ctx, ProgressPoints& pp, const Point* upTo) {
  while (pp.have && ctx.usEstimate >= 4 &&
         (upTo == nullptr || !std::lexicographical_compare(upTo + 1, upTo + 1 + pp.n, pp.next + 1,
                                                           pp.next + 1 + pp.n))) {
    PrintProgress(ctx, pp.nextRank, pp.combs, pp.next + 1, 0);
    pp.threshold = pp.nextRank + pp.interval;
    FindProgressPoint(pp);
  }
}

// How many losing combinations may still be printed (-o counts them over
// all passes of a test).
struct PrintBudget {
  uint64_t printed = 0;
  uint64_t most = 1;
  bool Left() const { return printed < most; }
};

struct PassResult {
  uint64_t losing = 0; // found by the pass (every one for the complete pass)
};

// The m-sets a pass asks about, answered by one of the two walks: the
// classic masks built from the counters (l = 1), or the meet walk on the
// blocks themselves. Both answer the same calls (IsMSetCovered,
// WalkLosingMSetsFrom), so a pass is written once over either (With).
struct MSetWalk {
  PrefixWalk* masks = nullptr;
  MeetWalk* meet = nullptr;
  const CoverMasks* coverMasks = nullptr; // what further mask walks read
  unsigned n = 0;

  // fn(walk) on the walk in use.
  template <typename Fn>
  decltype(auto) With(Fn&& fn) const {
    return masks != nullptr ? fn(*masks) : fn(*meet);
  }
  bool Covered(const Point* S) const {
    return With([&](auto& w) { return IsMSetCovered(w, S); });
  }
  // Calls onLosing(S) for the losing m-sets in lexicographic order while it
  // returns true, then counts the rest (or stops, unless countAll); returns
  // the count of those met.
  template <typename Fn>
  uint64_t CountLosing(bool countAll, Fn&& onLosing) const {
    return With([&](auto& w) { return WalkLosingMSetsFrom(w, nullptr, 0, countAll, onLosing); });
  }
  // A walk of the thread's own in `own`, alike to this one; the MSetWalk
  // that reads it.
  MSetWalk CopyInto(PrefixWalk& ownMasks, MeetWalk& ownMeet, const Deadline* deadline) const {
    MSetWalk copy = *this;
    if (masks != nullptr) {
      InitPrefixWalk(ownMasks, *coverMasks, n);
      ownMasks.deadline = deadline;
      copy.masks = &ownMasks;
    } else {
      CopyMeetWalk(ownMeet, *meet);
      copy.meet = &ownMeet;
    }
    return copy;
  }
};

void PrepareMeetWalk(TestContext& ctx);

// The jobs of this run's share (--part=I/N): consecutive prefixes of about
// an N-th of the estimated work (see shares.hpp), recorded in ctx.result.cut.
std::vector<std::array<Point, 3>> ShareOfPrefixJobs(TestContext& ctx,
                                                    const std::vector<std::array<Point, 3>>& jobs) {
  PrepareMeetWalk(ctx);
  MeetWalk& w = *ctx.meet;
  while (w.depth > 0) PopPoint(w);
  std::vector<double> work(jobs.size(), 0);
  for (size_t i = 0; i < jobs.size(); ++i) {
    for (unsigned d = 1; d <= jobs[i][0] && !PrefixCovered(w); ++d) PushPoint(w, jobs[i][d]);
    work[i] = EstimateBelowPrefix(w, 8, i) + 1;
    while (w.depth > 0) PopPoint(w);
  }
  const std::vector<size_t> bounds = ShareBounds(work, ctx.options.partCount);
  ctx.result.cut = ShareCut{CutUnit::kPrefixes, bounds[ctx.options.partIndex - 1],
                            bounds[ctx.options.partIndex], jobs.size()};
  return {jobs.begin() + static_cast<ptrdiff_t>(ctx.result.cut.from),
          jobs.begin() + static_cast<ptrdiff_t>(ctx.result.cut.to)};
}

// Below this many m-sets (classic) or this estimate (the meet walk) a
// complete pass is over before threads would pay for themselves.
constexpr uint64_t kThreadedCombs = uint64_t{1} << 22;
constexpr double kThreadedSeconds = 0.02;

bool UseThreads(const TestContext& ctx, const MSetWalk& walk) {
  if (ctx.options.threads <= 1) return false;
  if (walk.masks != nullptr) return Binomial(ctx.v, walk.n) >= kThreadedCombs;
  return ctx.result.walkSeconds >= kThreadedSeconds;
}

struct ProgressTicker;
void TickAt(ProgressTicker& pt, const Point* first);

// What one prefix of the complete pass found: how many losing m-sets, and
// the first of them in order (n points each), as many as could be printed.
struct LosingChunk {
  uint64_t count = 0;
  std::vector<Point> sets;
};

// The complete pass over the prefixes on ctx.options.threads threads, each with a
// walk of its own; `take` sees the losing m-sets in the order one walk
// would meet them, and `reached(S)` the first m-set of the next prefix
// (S[1..n]) once every one before it was taken, so that the progress keeps
// up with the walk. Returns the count.
template <typename Take, typename Reached>
uint64_t CompletePassOnThreads(TestContext& ctx, const MSetWalk& walk, bool countAll, Take& take,
                               Reached&& reached) {
  const unsigned n = walk.n;
  std::vector<std::array<Point, 3>> jobs = PrefixJobs(ctx.v, n);
  if (ctx.options.partCount > 0) jobs = ShareOfPrefixJobs(ctx, jobs);
  const uint64_t keep = ctx.options.ulMaxLosing;
  struct State {
    PrefixWalk masks;
    MeetWalk meet;
    MSetWalk walk; // reads one of the two
  };
  uint64_t count = 0;
  bool wanted = true;
  RunJobsInOrder<LosingChunk>(
      ctx.options.threads, jobs.size(),
      [&] {
        auto s = std::make_unique<State>();
        s->walk = walk.CopyInto(s->masks, s->meet, &ctx.options.deadline);
        return s;
      },
      [&](std::unique_ptr<State>& s, size_t i) {
        CheckDeadline(ctx.options.deadline);
        LosingChunk chunk;
        const auto collect = [&](const Point* S) {
          chunk.sets.insert(chunk.sets.end(), S + 1, S + 1 + n);
          return chunk.sets.size() / n < keep;
        };
        const Point prefix[3] = {0, jobs[i][1], jobs[i][2]};
        const unsigned len = jobs[i][0];
        chunk.count = s->walk.With(
            [&](auto& w) { return WalkLosingMSetsFrom(w, prefix, len, countAll, collect); });
        return chunk;
      },
      [&](size_t i, LosingChunk&& chunk) {
        count += chunk.count;
        for (size_t j = 0; wanted && j < chunk.sets.size(); j += n) {
          Point S[MAX_M + 1];
          std::copy_n(chunk.sets.data() + j, n, S + 1);
          wanted = take(static_cast<const Point*>(S));
        }
        if (i + 1 < jobs.size() && jobs[i + 1][0] > 0) {
          Point next[MAX_M + 1] = {};
          for (unsigned d = 1; d <= n; ++d)
            next[d] = d <= jobs[i + 1][0] ? jobs[i + 1][d] : static_cast<Point>(next[d - 1] + 1);
          reached(static_cast<const Point*>(next));
        }
        return wanted || countAll;
      });
  return count;
}

// The complete pass: only prefixes that can still lose are walked, and the
// losing combinations come out in lexicographic order, so the output is
// that of the plain walk over all C(v, n) combinations. Every losing one is
// counted; they are printed while the budget lasts.
PassResult CompletePass(TestContext& ctx, const MSetWalk& walk, const RankTable& combRank,
                        uint64_t combs, uint64_t interval, PrintBudget& budget,
                        ProgressTicker* ticker) {
  PassResult res;
  ProgressPoints pp;
  pp.rank = &combRank;
  pp.v = ctx.v;
  pp.n = walk.n;
  pp.combs = combs;
  pp.interval = interval;
  pp.threshold = interval;
  FindProgressPoint(pp);
  // Beyond 64 bits (a count saturated at 2^64 - 1) ranks do not fit: no rows.
  if (combs == UINT64_MAX) pp.have = false;
  ctx.result.firstLosing.clear();
  const bool countAll = ctx.options.fCountAll != 0 || !budget.Left();
  // One losing m-set, in lexicographic order: kept for the certificate,
  // printed while the budget lasts. False once neither wants more.
  const uint64_t keep = ctx.options.fKeepLosing != 0 ? ctx.options.ulMaxLosing : 0;
  const auto take = [&](const Point* s) {
    if (ctx.result.firstLosing.size() < keep)
      ctx.result.firstLosing.emplace_back(s + 1, s + 1 + walk.n);
    if (budget.Left()) {
      EmitProgressBefore(ctx, pp, s);
      PrintLosingComb(s + 1, walk.n, NamesOf(ctx));
      ++budget.printed;
    }
    return budget.Left() || ctx.result.firstLosing.size() < keep;
  };
  // A share of the walk has no progress points of its own.
  if (ctx.options.partCount > 0) pp.have = false;
  // On threads the prefixes come back in order: the progress lines the walk
  // has passed are printed as it passes them (the rows a single walk prints
  // at its losing m-sets and its end, the same rows in the same order), and
  // a terminal sees how far it is, as a single walk shows it.
  const auto reached = [&](const Point* next) {
    if (budget.Left() || ctx.options.fCountAll != 0) EmitProgressBefore(ctx, pp, next);
    if (ticker != nullptr) TickAt(*ticker, next);
  };
  if (UseThreads(ctx, walk) || ctx.options.partCount > 0)
    res.losing = CompletePassOnThreads(ctx, walk, countAll, take, reached);
  else
    res.losing = walk.CountLosing(countAll, take);
  if (budget.Left() || ctx.options.fCountAll != 0) EmitProgressBefore(ctx, pp, nullptr);
  return res;
}

// A pass with skipper s >= 1: s + 1 steps between two tests, and a carry
// leaves the stepping position where it moved to, so the rest of the advance
// skips whole runs of combinations that share a prefix. It stops when the
// printing budget runs out.
PassResult SkipperPass(TestContext& ctx, const MSetWalk& walk, const RankTable& combRank,
                       uint64_t combs, uint64_t interval, int s, PrintBudget& budget) {
  PassResult res;
  const unsigned n = walk.n, v = ctx.v;
  // With more members than points there is no combination to test; the
  // stepping below would start from points beyond v and never carry out.
  if (n > v) return res;
  uint64_t threshold = interval;
  Point S[MAX_M + 1] = {};
  for (unsigned i = 1; i <= n; ++i) S[i] = static_cast<Point>(i);
  for (uint32_t sinceCheck = 0;; ++sinceCheck) {
    if ((sinceCheck & 0xFFFFu) == 0) CheckDeadline(ctx.options.deadline);
    if (!walk.Covered(S)) {
      ++res.losing;
      if (ctx.options.fKeepLosing != 0) ctx.result.firstLosing.emplace_back(S + 1, S + 1 + n);
      PrintLosingComb(S + 1, n, NamesOf(ctx));
      ++budget.printed;
      if (!budget.Left()) return res;
    }
    const bool more = AdvanceSkipper(S, n, v, s, [&](const Point* at) {
      if (s > 7 || combs == UINT64_MAX) return; // no rows where ranks pass 64 bits
      const uint64_t r = ctx.usEstimate >= 4 ? RankFast(combRank, at + 1) : 0;
      if (r > threshold) {
        PrintProgress(ctx, r, combs, at + 1, static_cast<int16_t>(s));
        threshold = r + interval;
      }
    });
    if (!more) return res;
  }
}

// The losing t-subsets of an m = t test, reported by counter index in
// rank order: all are counted, the first ulMaxLosing printed.
struct LosingTSets {
  unsigned v, t;
  uint64_t most;
  PointNames names;
  std::vector<std::vector<Point>>* first;
  uint64_t found = 0;
  void Add(uint64_t index) {
    if (found++ >= most) return;
    Point tset[MAX_T];
    UnrankComb(index + 1, v, t, tset);
    PrintLosingComb(tset, t, names);
    if (first != nullptr) first->emplace_back(tset, tset + t);
  }
};

// The losing t-subsets with counter indices in [lo, hi), in order, for an
// m = t test: emit(index) for each, while it returns true. One function per
// way of keeping the counters; `counters` holds the counter of index
// `origin` first.
template <typename Emit>
void LosingInBytes(const uint8_t* counters, uint64_t origin, uint8_t need, uint64_t lo, uint64_t hi,
                   Emit&& emit) {
  constexpr uint64_t kRun = 64;
  for (uint64_t base = lo; base < hi; base += kRun) {
    const uint64_t end = std::min(base + kRun, hi);
    // Most runs of a covering hold no losing t-subset; a minimum over the
    // run finds that without a branch per counter.
    uint8_t low = 255;
    for (uint64_t i = base; i < end; ++i) low = std::min(low, counters[i - origin]);
    if (low >= need) continue;
    for (uint64_t i = base; i < end; ++i)
      if (counters[i - origin] < need && !emit(i)) return;
  }
}

template <typename Emit>
void LosingInBits(const uint64_t* words, uint64_t lo, uint64_t hi, Emit&& emit) {
  for (uint64_t w = lo / 64; w * 64 < hi; ++w) {
    uint64_t clear = ~words[w];
    if (w * 64 < lo) clear &= ~uint64_t{0} << (lo - w * 64);
    if (hi - w * 64 < 64) clear &= (uint64_t{1} << (hi - w * 64)) - 1;
    for (; clear != 0; clear &= clear - 1)
      if (!emit(w * 64 + static_cast<unsigned>(__builtin_ctzll(clear)))) return;
  }
}

// What one range of an m = t scan found: how many losing t-subsets, and the
// first of them, as many as could be printed.
struct IndexChunk {
  uint64_t count = 0;
  std::vector<uint64_t> first;
};

// The m = t scan of every counter, in ranges on ctx.options.threads threads where
// the counters are many; the losing t-subsets reach `losing` in rank order.
// Without whole counters (kSplit) each range is a range of the counting
// plan, counted from the blocks by the thread that scans it. A share scans
// the indices of its cut (shares.hpp) alone; how the ranges inside it are
// counted (by memory and threads) changes nothing it finds.
void ScanLosingTSets(TestContext& ctx, LosingTSets& losing) {
  const uint64_t total = Binomial(ctx.v, ctx.t);
  const uint8_t need = ctx.bNeeded;
  const unsigned threads = total >= (uint64_t{1} << 24) ? ctx.options.threads : 1;
  uint64_t first = 0, end = total;
  if (ctx.options.partCount > 0) {
    first = ShareStart(total, ctx.options.partIndex - 1, ctx.options.partCount);
    end = ShareStart(total, ctx.options.partIndex, ctx.options.partCount);
    ctx.result.cut = ShareCut{CutUnit::kTSets, first, end, total};
  }
  TSetChunkPlan plan;
  struct Range {
    uint64_t lo, hi;
    size_t chunk; // of the plan, under kSplit
  };
  std::vector<Range> ranges;
  if (ctx.mode == CounterMode::kSplit) {
    // Every thread counts a range of its own, all within the bound; a
    // share's ranges are cut finer than the share, so that little is
    // counted beyond its ends. (Not below the t-subsets of one first point:
    // ranges of first points are counted the fastest.)
    uint64_t capacity = std::max<uint64_t>(ctx.options.memoryBound / threads, 1u << 16);
    if (ctx.options.partCount > 0)
      capacity = std::min(capacity, std::max({(end - first) / 4, Binomial(ctx.v - 1, ctx.t - 1),
                                              uint64_t{1} << 16}));
    PlanTSetChunks(plan, ctx.v, ctx.t, capacity);
    for (size_t i = 0; i < plan.chunks.size(); ++i) {
      const TSetChunk& c = plan.chunks[i];
      if (c.hi > first && c.lo < end)
        ranges.push_back(Range{std::max(c.lo, first), std::min(c.hi, end), i});
    }
  } else {
    const uint64_t step = threads > 1 ? uint64_t{1} << 16 : total;
    for (uint64_t lo = first; lo < end; lo += step)
      ranges.push_back(Range{lo, std::min(lo + step, end), 0});
  }
  const uint64_t keep = ctx.options.ulMaxLosing;
  RunJobsInOrder<IndexChunk>(
      threads, ranges.size(), [] { return std::vector<uint8_t>(); },
      [&](std::vector<uint8_t>& counts, size_t i) {
        CheckDeadline(ctx.options.deadline);
        IndexChunk chunk;
        const auto [lo, hi, c] = ranges[i];
        const auto emit = [&](uint64_t index) {
          if (chunk.first.size() < keep) chunk.first.push_back(index);
          ++chunk.count;
          return true;
        };
        switch (ctx.mode) {
        case CounterMode::kBytes:
          LosingInBytes(ctx.tally.counters.get(), 0, need, lo, hi, emit);
          break;
        case CounterMode::kBits: LosingInBits(ctx.tally.bitCounters.get(), lo, hi, emit); break;
        case CounterMode::kSplit: {
          const TSetChunk& whole = plan.chunks[c];
          counts.resize(whole.hi - whole.lo);
          CountTSetChunk(plan, whole, ctx.accepted, counts.data(), &ctx.options.deadline);
          LosingInBytes(counts.data(), whole.lo, need, lo, hi, emit);
          break;
        }
        }
        return chunk;
      },
      [&](size_t, IndexChunk&& chunk) {
        for (const uint64_t index : chunk.first) losing.Add(index);
        losing.found += chunk.count - chunk.first.size();
        return true;
      });
}

// The classic masks decide an m-set from one t-subset's counter, which is
// exact for l = 1 only; every other case walks the blocks.
bool UsesMasks(const TestContext& ctx) {
  return !ctx.fWide && ctx.l == 1 && ctx.tally.counters != nullptr;
}

void PrepareMeetWalk(TestContext& ctx) {
  if (ctx.meet) return;
  ctx.meet = std::make_unique<MeetWalk>();
  InitMeetWalk(*ctx.meet, ctx.accepted, ctx.v, ctx.usTestSize, ctx.t, ctx.l);
  ctx.meet->deadline = &ctx.options.deadline;
}

// A line on a terminal's standard error, at most once a second, telling how
// far a long complete pass has come: the share of the m-sets in
// lexicographic order before the prefix it works on.
struct ProgressTicker {
  const TestContext* ctx;
  const RankTable* combRank;
  uint64_t combs;
  std::time_t last;
  bool shown = false;
};

// The line, at most once a second, for the walk standing at the m-set
// first[1..n].
void TickAt(ProgressTicker& pt, const Point* first) {
  const std::time_t now = NowSeconds();
  if (now == pt.last || pt.combs == 0 || pt.combs == UINT64_MAX) return;
  pt.last = now;
  const double share =
      static_cast<double>(RankFast(*pt.combRank, first + 1) - 1) / static_cast<double>(pt.combs);
  if (pt.ctx->options.progress) {
    pt.ctx->options.progress(share);
    return;
  }
  StderrPrint("%5.1f%% of the m-sets walked \r", 100.0 * share);
  pt.shown = true;
}

void TickProgress(void* context, const MeetWalk& w) {
  auto& pt = *static_cast<ProgressTicker*>(context);
  Point first[MAX_M + 1];
  for (unsigned i = 1; i <= w.n; ++i) first[i] = i <= w.depth ? w.S[i] : first[i - 1] + 1;
  TickAt(pt, first);
}

// Before the test of a design that walks the blocks: how long the complete
// pass will take, when that is long enough to say; false when it is beyond
// reach and the proof search is to decide instead.
bool EstimateBeforeTest(TestContext& ctx) {
  // m = t with t-subsets beyond 64 bits (a count saturated at 2^64 - 1):
  // no scan gets through them, nor could it rank them.
  if (ctx.m == ctx.t && Binomial(ctx.v, ctx.t) == UINT64_MAX) {
    char text[64];
    DurationText(BinomialReal(ctx.v, ctx.t) * 1e-9, text, sizeof text);
    DualPrint("\nBeyond reach of a walk: the test would take about %s; proving instead.\n", text);
    return false;
  }
  if (ctx.m == ctx.t || UsesMasks(ctx) || ctx.usTestSize > ctx.v) return true;
  PrepareMeetWalk(ctx);
  const WalkEstimate est = EstimateMeetWalk(*ctx.meet, 0.1);
  ctx.result.walkSeconds = est.seconds;
  const auto high = static_cast<int16_t>(ctx.options.skippers.ulSkipperHigh);
  const auto low = std::max<int16_t>(static_cast<int16_t>(ctx.options.skippers.ulSkipperLow), 0);
  // The complete pass runs on the threads (and a share is a share of it);
  // the sampled passes run on one.
  double seconds = low == 0 ? est.seconds / ctx.options.threads : 0;
  if (ctx.options.partCount > 0) seconds /= ctx.options.partCount;
  for (int s = high; s >= std::max<int>(low, 1); --s)
    seconds += EstimateSkipperPass(*ctx.meet, s, 1u << 14);
  if (seconds <= WALK_ESTIMATE_SHOWN_SECONDS) return true;
  char text[64];
  DurationText(seconds, text, sizeof text);
  // A share walks whatever it takes: sharing the walk is what it is for.
  if (seconds <= WALK_PROVE_INSTEAD_SECONDS || ctx.options.partCount > 0) {
    // The parameter search's tries stop at their first losing m-set, long
    // before a complete pass would end: their estimate would only mislead.
    if (ctx.options.fCandidate == 0) DualPrint("\nEstimated time of the test: about %s.\n", text);
    return true;
  }
  DualPrint("\nBeyond reach of a walk: the test would take about %s; proving instead.\n", text);
  return false;
}

} // namespace

void PrintProgress(TestContext& ctx, uint64_t rank, uint64_t combinations, const Point* comb,
                   int16_t skipper) {
  ctx.tNow = NowSeconds();
  long elapsed = static_cast<long>(ctx.tNow - ctx.tStart);
  if (elapsed < 1) elapsed = 1;
  const bool finished = rank >= combinations;
  const uint64_t c = finished ? combinations : rank;
  // Counts saturated at 2^64 - 1 (beyond 64 bits) must not wrap the divisor.
  const uint64_t speed = c / static_cast<uint64_t>(elapsed);
  const uint64_t left = (combinations - c) / (speed < UINT64_MAX ? speed + 1 : speed);
  const int divisor = skipper >= 0 ? skipper + 1 : 1;
  auto estimate = static_cast<uint16_t>(static_cast<uint16_t>(left) / divisor);
  if (estimate == 0) estimate = 1;
  ctx.usEstimate = estimate;
  const unsigned n = ctx.usTestSize;
  if (!finished) {
    char line[32 + 6 * MAX_M];
    int len = 0;
    for (unsigned i = 0; i < n; ++i)
      len += std::snprintf(line + len, sizeof line - static_cast<size_t>(len), "%2hu ",
                           static_cast<unsigned short>(NamesOf(ctx)(comb[i])));
    const int pad = 13 - 3 * static_cast<int>(n);
    DualPrint("%s%*s", line, pad > 0 ? pad : 0, "");
  } else {
    ctx.usEstimate = 0;
    const int w = CombColumnWidth(n);
    DualPrint("%*.*s", w, w, "Finished");
  }
  // A count of 10 digits or more gets a blank before it, in every row
  // alike, so that it neither runs into "Finished" nor leaves the column.
  // All m-sets, where they pass 64 bits (a count saturated at 2^64 - 1):
  // their number in words, and no speed.
  if (combinations == UINT64_MAX) {
    char all[48];
    BinomialText(ctx.v, n, all, sizeof all);
    DualPrint(" %s %4d:%02d %8s  %4d:%02d\n", all, static_cast<int>(elapsed / 60),
              static_cast<int>(elapsed % 60), "-", ctx.usEstimate / 60, ctx.usEstimate % 60);
    ConsoleFlush();
    return;
  }
  if (c < 1000000000)
    DualPrint("%10llu", static_cast<unsigned long long>(c));
  else
    DualPrint(" %llu", static_cast<unsigned long long>(c));
  DualPrint(" %4d:%02d %8llu  %4d:%02d\n", static_cast<int>(elapsed / 60),
            static_cast<int>(elapsed % 60), static_cast<unsigned long long>(speed),
            ctx.usEstimate / 60, ctx.usEstimate % 60);
  // Someone following the log (tail -f) sees each progress line when it is made.
  ConsoleFlush();
}

bool MultiPassTest(TestContext& ctx, uint64_t* combinations, uint64_t* losing) {
  const unsigned n = ctx.usTestSize;
  const uint64_t combs = Binomial(ctx.v, n);
  *combinations = combs;
  *losing = 0;
  const uint64_t interval =
      combs / (ctx.options.ulMaxReport != 0 ? ctx.options.ulMaxReport : 1) + 1;
  const std::time_t remembered = ctx.tStart;
  const auto high = static_cast<int16_t>(ctx.options.skippers.ulSkipperHigh);
  auto low = static_cast<int16_t>(ctx.options.skippers.ulSkipperLow);
  // A pass with a negative skipper would never move on; 0 is the complete pass.
  if (low < 0) low = 0;

  const bool useMasks = UsesMasks(ctx);
  CoverMasks masks;
  PrefixWalk prefix;
  RankTable combRank;
  if (high >= low) {
    if (useMasks)
      BuildCoverMasks(masks, ctx.v, ctx.t, ctx.tally.counters.get(), ctx.bNeeded);
    else
      PrepareMeetWalk(ctx);
    InitRankTable(combRank, ctx.v, n);
  }
  ProgressTicker ticker{&ctx, &combRank, combs, NowSeconds()};
  const bool ticking = StderrIsConsole() || ctx.options.progress;
  if (!useMasks && ctx.meet && ticking) {
    ctx.meet->tick = &TickProgress;
    ctx.meet->tickContext = &ticker;
  }
  MSetWalk walk;
  walk.n = n;
  // A losing combination found by any pass is losing, whatever a later pass
  // with other steps sees: the verdict counts every pass. The complete pass
  // counts every losing combination; it runs even when the sampled passes
  // have printed all -o allows (the rest of them is skipped), so that the
  // count is exact whenever the last pass is 0. A sampled last pass leaves
  // only a lower bound: the most one pass found.
  PrintBudget budget;
  budget.most = ctx.options.ulMaxLosing;
  uint64_t mostLosing = 0;
  bool exact = false;
  for (int s = high; s >= low; --s) {
    // A share of the test is a share of the complete pass alone.
    if (ctx.options.partCount > 0 && s != 0) continue;
    if (!budget.Left() && (s != 0 || ctx.options.fCountAll == 0)) {
      if (low == 0 && ctx.options.fCountAll != 0) continue;
      break;
    }
    if (ctx.options.fInternalOptions)
      DualPrint("--- skipper=%hd/%lu ---\n", static_cast<short>(s),
                static_cast<unsigned long>(ctx.options.skippers.ulSkipperLow));
    else
      DualPrint("--- (%hd/%lu) ---\n", static_cast<short>(s),
                static_cast<unsigned long>(ctx.options.skippers.ulSkipperLow));
    ctx.tStart = NowSeconds();
    ctx.usEstimate = 5;
    if (useMasks) {
      InitPrefixWalk(prefix, masks, n);
      prefix.deadline = &ctx.options.deadline;
      walk.masks = &prefix;
      walk.coverMasks = &masks;
    } else {
      walk.meet = ctx.meet.get();
    }
    const PassResult res = s == 0 ? CompletePass(ctx, walk, combRank, combs, interval, budget,
                                                 ticking ? &ticker : nullptr)
                                  : SkipperPass(ctx, walk, combRank, combs, interval, s, budget);
    if (s == 0 && (ctx.options.fCountAll != 0 || budget.Left())) {
      exact = true;
      mostLosing = res.losing;
    } else {
      mostLosing = std::max(mostLosing, res.losing);
    }
  }
  *losing = mostLosing;
  ctx.result.fCountExact = exact || high < low ? 1 : 0;
  if (!exact) {
    // Only sampled passes ran: what they found, in order, once each.
    // (A plain loop: g++ 12 warns about the bounds of the memcmp that the
    // library's own comparison of byte vectors uses.)
    std::sort(ctx.result.firstLosing.begin(), ctx.result.firstLosing.end(),
              [](const std::vector<Point>& a, const std::vector<Point>& b) {
                for (size_t i = 0; i < a.size() && i < b.size(); ++i)
                  if (a[i] != b[i]) return a[i] < b[i];
                return a.size() < b.size();
              });
    ctx.result.firstLosing.erase(
        std::unique(ctx.result.firstLosing.begin(), ctx.result.firstLosing.end()),
        ctx.result.firstLosing.end());
    if (ctx.result.firstLosing.size() > ctx.options.ulMaxLosing)
      ctx.result.firstLosing.resize(ctx.options.ulMaxLosing);
  }
  if (ctx.meet) ctx.meet->tick = nullptr;
  if (ticker.shown) StderrPrint("%*s\r", 40, "");
  ctx.tStart = remembered;
  return mostLosing == 0;
}

bool TestDesign(TestContext& ctx, const char* fileName) {
  ctx.result.fUndecided = 0;
  ctx.result.fProved = 0;
  ctx.result.cut = ShareCut{};
  ctx.result.fSampledLastPass = ctx.options.skippers.ulSkipperLow != 0 ? 1 : 0;
  if (ctx.options.fProve != 0 || !EstimateBeforeTest(ctx)) return ProveDesign(ctx, fileName);
  const unsigned n = ctx.usTestSize;
  const uint64_t combs = Binomial(ctx.v, n);
  char combsText[48];
  BinomialText(ctx.v, n, combsText, sizeof combsText);
  ctx.tStart = NowSeconds();
  DualPrint("\nTesting started : %s\n", DateText(ctx.tStart).c_str());
  DualPrint("\n");
  DualPrint("MaxReport: %lu \nCn(%hu,%hu) : %s \n\n",
            static_cast<unsigned long>(ctx.options.ulMaxReport), ctx.v,
            static_cast<unsigned short>(n), combsText);
  const int w = CombColumnWidth(n);
  DualPrint("%*.*s   Covered  Elapsed   Speed  EstRemain\n", w, w, "Combination");
  ConsoleFlush();

  uint64_t losing = 0;
  bool ok = false;
  ctx.result.fCountExact = 1;
  ctx.result.firstLosing.clear();
  if (ctx.m == ctx.t) {
    // m = t: every t-subset whose counter is below bNeeded loses; all are
    // counted, the first ulMaxLosing printed.
    LosingTSets found{ctx.v, ctx.t, ctx.options.ulMaxLosing, NamesOf(ctx),
                      ctx.options.fKeepLosing != 0 ? &ctx.result.firstLosing : nullptr};
    ScanLosingTSets(ctx, found);
    losing = found.found;
    ok = losing == 0;
  } else {
    uint64_t walked = 0;
    ok = MultiPassTest(ctx, &walked, &losing);
  }
  ctx.tNow = NowSeconds();
  const Point none[MAX_M] = {};
  PrintProgress(ctx, combs, combs, none, 0);
  ctx.result.losingCount = losing;
  if (ctx.result.fCountExact != 0)
    PrintCombCount("\nLosing", losing, combs);
  else
    PrintCombCountAtLeast("\nLosing", losing, combs);
  DualPrint("\nTesting finished: %s\n", DateText(ctx.tNow).c_str());
  DualPrint("Time       : %ld seconds\n", static_cast<long>(ctx.tNow - ctx.tStart));
  PrintVerdictLine(
      ok ? TestVerdict::kOk : TestVerdict::kFail, fileName,
      VerdictOf{ctx.options.partIndex, ctx.options.partCount, ctx.options.fCandidate != 0});
  return ok;
}

} // namespace kovra
