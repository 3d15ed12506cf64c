// The verification engine: context setup, redundancy analysis, t-set report.
#include "verify/engine.hpp"

#include "base/clock.hpp"
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "base/jobs.hpp"
#include "base/memory.hpp"
#include "base/range.hpp"
#include "verify/estimate.hpp"
#include "verify/tsets.hpp"
#include "verify/verdict.hpp"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <new>
#include <vector>

namespace kovra {
namespace {

// The block's first k points as a set in ascending order, within 1..v.
// Blocks as loaded are sorted and checked already; anything else (points out
// of range after a renumbering, a repeated point) must not index the counters
// out of bounds or count one t-subset twice, so it is reduced to the set of
// its valid points. Returns the number of points kept.
unsigned BlockPointSet(const Point* block, unsigned k, unsigned v, Point* out) {
  k = std::min<unsigned>(k, MAX_K);
  Point pts[MAX_K];
  bool clean = true;
  for (unsigned i = 0; i < k; ++i) {
    pts[i] = block[i];
    if (pts[i] < 1 || pts[i] > v || (i > 0 && pts[i] <= pts[i - 1])) clean = false;
  }
  if (!clean) std::sort(pts, pts + k);
  unsigned n = 0;
  for (unsigned i = 0; i < k; ++i)
    if (pts[i] >= 1 && pts[i] <= v && (n == 0 || pts[i] != out[n - 1])) out[n++] = pts[i];
  return n;
}

// The counter index of every t-subset of the ascending points pts[0..n-1],
// each ranked once. Returns the count (at most MAX_KT: classic blocks only).
unsigned TSetIndices(const TestContext& ctx, const Point* pts, unsigned n, uint32_t* idx) {
  unsigned count = 0;
  ForEachTSetIndex(ctx.tRank, pts, n, [&](uint64_t i) {
    idx[count++] = static_cast<uint32_t>(i);
    return true;
  });
  return count;
}

// Whether a block is needed, and its count, one representation each. A
// block with no t-subset (fewer than t valid points) adds nothing.
bool NeededClassic(TestContext& ctx, const Point* pts, unsigned n) {
  // Each t-subset is ranked once, for the question whether the block is
  // needed as well as for its count.
  uint32_t idx[MAX_KT];
  const unsigned count = TSetIndices(ctx, pts, n, idx);
  uint8_t* counters = ctx.tally.counters.get();
  if (ctx.options.fNoRedundTesting == 0) {
    uint8_t low = 255;
    for (unsigned i = 0; i < count; ++i) low = std::min(low, counters[idx[i]]);
    if (low >= ctx.bNeeded) return false;
  }
  const uint8_t cap = ctx.bCap;
  for (unsigned i = 0; i < count; ++i)
    if (counters[idx[i]] < cap) ++counters[idx[i]];
  return true;
}

// A wide block's t-subsets in pieces for the threads: the t-subsets whose
// first member is at positions [cut[i], cut[i + 1]) of the block, of about
// equal work, the largest first (the first positions start the most).
// Returns the number of pieces.
unsigned CutByFirstPosition(unsigned n, unsigned t, unsigned pieces, unsigned* cut) {
  const uint64_t total = Binomial(n, t);
  unsigned count = 0;
  cut[0] = 0;
  uint64_t done = 0;
  for (unsigned i = 0; i + t <= n; ++i) {
    done += Binomial(n - 1 - i, t - 1);
    if (done * pieces >= total * (count + 1) || i + t == n) cut[++count] = i + 1;
  }
  return count;
}

// The counter index of the first t-subset of 1..v that starts with point p
// (p = v + 1: the number of t-subsets).
uint64_t FirstIndexOf(const TestContext& ctx, unsigned p) {
  return ctx.tRank.total - Binomial(ctx.v - p + 1, ctx.t);
}

// Sets the bit of every t-subset of the block whose first member is at a
// position in [from, to), and tells whether one of them was clear before:
// then the block is needed (l = 1), and otherwise it set nothing, which is
// why the question and the count are one pass.
bool MarkBits(const TestContext& ctx, const Point* pts, unsigned n, unsigned from, unsigned to) {
  uint64_t* const words = ctx.tally.bitCounters.get();
  uint64_t fresh = 0;
  ForEachTSet(
      ctx.tRank, pts, n,
      [words, &fresh](uint64_t i, const unsigned*) {
        const uint64_t w = i >> 6, bit = uint64_t{1} << (i & 63);
        const uint64_t old = words[w];
        words[w] = old | bit;
        fresh |= bit & ~old;
        return true;
      },
      from, to);
  return fresh != 0;
}

// True when a t-subset of the block (first members at [from, to)) lies in
// fewer than l accepted blocks; gives up early once `stop` is raised.
bool AnyBelowNeed(const TestContext& ctx, const Point* pts, unsigned n, unsigned from, unsigned to,
                  const std::atomic<bool>* stop) {
  const uint8_t* counters = ctx.tally.counters.get();
  const uint8_t need = ctx.bNeeded;
  bool below = false;
  ForEachTSet(
      ctx.tRank, pts, n,
      [&](uint64_t i, const unsigned*) {
        below = counters[i] < need;
        return !below && (stop == nullptr || !stop->load(std::memory_order_relaxed));
      },
      from, to);
  return below;
}

// Counts the t-subsets of the block with first members at [from, to).
void CountBytes(const TestContext& ctx, const Point* pts, unsigned n, unsigned from, unsigned to) {
  uint8_t* const counters = ctx.tally.counters.get();
  const uint8_t cap = ctx.bCap;
  ForEachTSet(
      ctx.tRank, pts, n,
      [counters, cap](uint64_t i, const unsigned*) {
        if (counters[i] < cap) ++counters[i];
        return true;
      },
      from, to);
}

// Blocks with this many t-subsets are worth the threads.
constexpr uint64_t kThreadedTSets = 4096;

// A wide block with whole counters: the question and the count, by pieces
// on the context's team where the block has many t-subsets.
bool NeededWide(TestContext& ctx, const Point* pts, unsigned n) {
  const bool test = ctx.options.fNoRedundTesting == 0;
  const bool bits = ctx.mode == CounterMode::kBits;
  if (n < ctx.t) return !test;
  if (!ctx.team || Binomial(n, ctx.t) < kThreadedTSets) {
    if (bits) return MarkBits(ctx, pts, n, 0, n) || !test;
    if (test && !AnyBelowNeed(ctx, pts, n, 0, n, nullptr)) return false;
    CountBytes(ctx, pts, n, 0, n);
    return true;
  }
  unsigned cut[MAX_K + 1];
  const unsigned pieces = CutByFirstPosition(n, ctx.t, 8 * ctx.team->Size(), cut);
  if (bits) {
    // Two pieces may share the word where the range of indices of the one
    // ends and that of the next begins: the even pieces are marked first,
    // then the odd ones, which leaves a whole piece between any two that
    // run at once. Should one piece not span a word, the block is marked
    // on this thread.
    uint64_t firstWord[MAX_K + 1], lastWord[MAX_K + 1];
    bool apart = true;
    for (unsigned i = 0; i < pieces; ++i) {
      firstWord[i] = FirstIndexOf(ctx, pts[cut[i]]) >> 6;
      lastWord[i] = (FirstIndexOf(ctx, pts[cut[i + 1] - 1] + 1u) - 1) >> 6;
      if (i >= 2 && firstWord[i] <= lastWord[i - 2]) apart = false;
    }
    if (!apart) return MarkBits(ctx, pts, n, 0, n) || !test;
    bool fresh[MAX_K] = {};
    for (unsigned parity = 0; parity < 2; ++parity)
      ctx.team->Run((pieces + 1 - parity) / 2, [&](size_t i) {
        CheckDeadline(ctx.options.deadline);
        const size_t k = 2 * i + parity;
        fresh[k] = MarkBits(ctx, pts, n, cut[k], cut[k + 1]);
      });
    return std::find(fresh, fresh + pieces, true) != fresh + pieces || !test;
  }
  if (test) {
    std::atomic<bool> below{false};
    ctx.team->Run(pieces, [&](size_t i) {
      CheckDeadline(ctx.options.deadline);
      if (AnyBelowNeed(ctx, pts, n, cut[i], cut[i + 1], &below))
        below.store(true, std::memory_order_relaxed);
    });
    if (!below.load()) return false;
  }
  ctx.team->Run(pieces, [&](size_t i) { CountBytes(ctx, pts, n, cut[i], cut[i + 1]); });
  return true;
}

// Without counters: every t-subset of the block lies in l accepted blocks
// exactly when the blocks that meet it in t or more points cover each of its
// t-subsets l times. Those blocks are found through the points they share
// with it, and its t-subsets are counted by their rank among its own.
template <unsigned W>
bool NeededSplit(TestContext& ctx, const Point* pts, unsigned n) {
  if (ctx.options.fNoRedundTesting != 0) return true;
  const unsigned t = ctx.t;
  if (n < t) return false;
  PointSet<W> mine;
  for (unsigned i = 0; i < n; ++i) AddPoint(mine, pts[i]);
  const std::vector<PointSet<W>>& accepted = ctx.accepted.Sets<W>();
  // The accepted blocks that share t or more points with this one.
  std::vector<uint32_t> meeting;
  uint64_t reach = 0; // t-subsets of this block they hold, with repeats
  {
    std::vector<uint32_t> seen;
    for (unsigned i = 0; i < n; ++i)
      for (const uint32_t a : ctx.holders[pts[i]]) seen.push_back(a);
    std::sort(seen.begin(), seen.end());
    seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
    for (const uint32_t a : seen) {
      const unsigned shared = CountCommon(accepted[a], mine);
      if (shared < t) continue;
      meeting.push_back(a);
      reach += Binomial(shared, t);
    }
  }
  const uint64_t own = Binomial(n, t);
  if (reach < own * ctx.bNeeded) return true; // too few to cover each t-subset l times
  thread_local RankTable local;
  if (local.n != n || local.t != t) InitRankTable(local, n, t);
  ctx.localCounts.assign(own, 0);
  Point positions[MAX_K];
  for (const uint32_t a : meeting) {
    unsigned shared = 0;
    for (unsigned i = 0; i < n; ++i)
      if (HasPoint(accepted[a], pts[i])) positions[shared++] = static_cast<Point>(i + 1);
    ForEachTSetIndex(local, positions, shared, [&](uint64_t i) {
      uint8_t& c = ctx.localCounts[i];
      if (c < 255) ++c;
      return true;
    });
  }
  return std::any_of(ctx.localCounts.begin(), ctx.localCounts.end(),
                     [&](uint8_t c) { return c < ctx.bNeeded; });
}

// "Redundant block: #%ld (", each point as "%2hu" followed by " " or ")",
// and the line end; the points in the numbers of the file (the array is in
// base 1 by now), as the losing combinations are printed.
void PrintRedundantBlock(uint32_t seen, const Point* block, unsigned k, PointNames names) {
  static constexpr char kHead[] = "Redundant block: #";
  char line[64 + 6 * MAX_K];
  char* end = std::copy(kHead, kHead + sizeof kHead - 1, line);
  end = PutUnsigned(end, seen, 0);
  *end++ = ' ';
  *end++ = '(';
  for (unsigned i = 0; i < k && i < MAX_K; ++i) {
    end = PutUnsigned(end, names(block[i]), 2);
    *end++ = i + 1 < k ? ' ' : ')';
  }
  *end++ = '\n';
  DualWrite(line, static_cast<size_t>(end - line));
}

void PrintDuplicate(const TestContext& ctx, const Point* tset, uint8_t c) {
  // The list has always shown the points in base 1; under -z, by the file's numbers.
  const PointNames names{1, ctx.options.fileNumbers};
  char line[80];
  int len = std::snprintf(line, sizeof line, "  ");
  for (unsigned i = 0; i < ctx.t; ++i)
    len += std::snprintf(line + len, sizeof line - static_cast<size_t>(len), "%2hu%s",
                         static_cast<unsigned short>(names(tset[i])), i + 1 < ctx.t ? " " : "");
  DualPrint("%s  : %5hd times\n", line, static_cast<short>(c));
}

// What one range of counters holds: t-subsets per counter value, and the
// t-subsets above l (index, count) when -x lists them.
struct RangeTally {
  uint64_t histogram[256] = {};
  std::vector<std::pair<uint64_t, uint8_t>> duplicates;
};

// The counters of indices lo..hi-1 (`counters` holding the one of index
// `origin` first). The histogram is taken straight from the counters.
RangeTally TallyRange(const TestContext& ctx, const uint8_t* counters, uint64_t origin, uint64_t lo,
                      uint64_t hi) {
  RangeTally r;
  // Four partial histograms keep consecutive increments independent.
  uint64_t part[4][256] = {};
  uint64_t i = lo;
  for (; i + 4 <= hi; i += 4)
    for (unsigned j = 0; j < 4; ++j) ++part[j][counters[i + j - origin]];
  for (; i < hi; ++i) ++part[0][counters[i - origin]];
  for (unsigned c = 0; c < 256; ++c)
    r.histogram[c] = part[0][c] + part[1][c] + part[2][c] + part[3][c];
  if (ctx.options.fShowDupeTSets != 0 && ctx.l < 255)
    for (i = lo; i < hi; ++i)
      if (counters[i - origin] > ctx.l) r.duplicates.emplace_back(i, counters[i - origin]);
  return r;
}

// Adds a range's tally to the summary and lists its duplicates (ranges come
// in rank order, which is lexicographic order).
void AddTally(TestContext& ctx, const RangeTally& r) {
  for (unsigned c = 0; c < 256; ++c) {
    const uint64_t n = r.histogram[c];
    if (n == 0) continue;
    ctx.tally.histogram[c] += n;
    if (static_cast<int>(c) > ctx.tally.sMaxCount) ctx.tally.sMaxCount = static_cast<int16_t>(c);
    if (static_cast<int>(c) < ctx.tally.sMinCount) ctx.tally.sMinCount = static_cast<int16_t>(c);
    if (c < ctx.l) ctx.tally.ulUncovered += n;
  }
  Point tset[MAX_T] = {};
  for (const auto& [index, count] : r.duplicates) {
    UnrankComb(index + 1, ctx.v, ctx.t, tset);
    PrintDuplicate(ctx, tset, count);
  }
}

// Every counter, in ranges on the context's threads: from the whole array,
// or counted from the blocks one range of the plan at a time (each thread
// a range of its own, all of them within the bound).
void TallyAllTSets(TestContext& ctx) {
  const uint64_t total = Binomial(ctx.v, ctx.t);
  const unsigned threads = total >= (uint64_t{1} << 24) ? ctx.options.threads : 1;
  TSetChunkPlan plan;
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  if (ctx.mode == CounterMode::kBytes) {
    const uint64_t step = threads > 1 ? uint64_t{1} << 20 : total;
    for (uint64_t lo = 0; lo < total; lo += step)
      ranges.emplace_back(lo, std::min(lo + step, total));
  } else {
    PlanTSetChunks(plan, ctx.v, ctx.t,
                   std::max<uint64_t>(ctx.options.memoryBound / threads, 1u << 16));
    for (const TSetChunk& c : plan.chunks) ranges.emplace_back(c.lo, c.hi);
  }
  RunJobsInOrder<RangeTally>(
      threads, ranges.size(), [] { return std::vector<uint8_t>(); },
      [&](std::vector<uint8_t>& counts, size_t i) {
        CheckDeadline(ctx.options.deadline);
        const auto [lo, hi] = ranges[i];
        if (ctx.mode == CounterMode::kBytes)
          return TallyRange(ctx, ctx.tally.counters.get(), 0, lo, hi);
        counts.resize(hi - lo);
        CountTSetChunk(plan, plan.chunks[i], ctx.accepted, counts.data(), &ctx.options.deadline);
        return TallyRange(ctx, counts.data(), lo, lo, hi);
      },
      [&](size_t, RangeTally&& r) {
        AddTally(ctx, r);
        return true;
      });
}

// Which counters the design gets: see the representations in engine.hpp.
CounterMode ChooseCounters(const TestContext& ctx) {
  const uint64_t count = Binomial(ctx.v, ctx.t);
  if (!ctx.fWide) return CounterMode::kBytes;
  const bool bitsEnough = ctx.l == 1 && ctx.options.fShowDupeTSets == 0;
  const uint64_t bytes = bitsEnough ? count / 8 + 8 : count;
  if (count == UINT64_MAX || bytes > ctx.options.memoryBound) return CounterMode::kSplit;
  return bitsEnough ? CounterMode::kBits : CounterMode::kBytes;
}

// Fresh zero counters for C(v, t) t-subsets, cleared summary and timing fields.
void ResetCounters(TestContext& ctx) {
  ctx.bNeeded = ctx.l > 254 ? 255 : static_cast<uint8_t>(ctx.l);
  ctx.bCap = 255;
  const uint64_t count = Binomial(ctx.v, ctx.t);
  ctx.tally.counters.reset();
  ctx.tally.bitCounters.reset();
  // A share of the test counts only the t-subsets of its share, from the
  // blocks, when its test needs them (see AnalysisOptions::partCount).
  ctx.mode = ctx.options.partCount > 0 ? CounterMode::kSplit : ChooseCounters(ctx);
  if (ctx.mode == CounterMode::kBytes) {
    ctx.tally.counters.reset(new (std::nothrow) uint8_t[count]());
    if (!ctx.tally.counters) ErrExit(13, "Mem Alloc Err!");
  } else if (ctx.mode == CounterMode::kBits) {
    ctx.tally.bitCounters.reset(new (std::nothrow) uint64_t[count / 64 + 1]());
    if (!ctx.tally.bitCounters) ErrExit(13, "Mem Alloc Err!");
  }
  ctx.accepted = PointSetList(ctx.v, ctx.options.words);
  ctx.holders.assign(ctx.mode == CounterMode::kSplit ? ctx.v + 1u : 0u, {});
  // Marking a block's t-subsets is the bulk of the analysis where blocks
  // hold many: the threads take pieces of each such block.
  ctx.team.reset();
  if (ctx.fWide && ctx.mode != CounterMode::kSplit && ctx.options.threads > 1 &&
      Binomial(ctx.k, ctx.t) >= kThreadedTSets)
    ctx.team = std::make_unique<ThreadTeam>(ctx.options.threads);
  std::fill(std::begin(ctx.tally.histogram), std::end(ctx.tally.histogram), uint64_t{0});
  ctx.tally.sMinCount = 256;
  ctx.tally.sMaxCount = -1;
  ctx.tally.ulUncovered = 0;
  ctx.usEstimate = 5;
  ctx.tally.ulSeen = 0;
  ctx.tStart = ctx.tNow = NowSeconds();
}

// The parameters, settings, skippers and tables of a setup, without the
// counters.
void SetupParams(TestContext& ctx, const DesignParams& p, const AnalysisOptions& opt) {
  ParamsOf(ctx) = p;
  const unsigned v = p.v, k = p.k, t = p.t, m = p.m;
  ctx.usTestSize = std::max(p.k, p.m);
  ctx.fKLessM = k < m;
  ctx.options = opt;
  ctx.options.threads = std::max(1u, opt.threads);
  ctx.options.memoryBound = opt.memoryBound != 0 ? opt.memoryBound : DefaultMemoryBound();

  CheckRange(t, 1, MAX_T, "t");
  CheckRange(k, t, MAX_K, "k");
  CheckRange(v, k, MAX_V, "v");
  CheckRange(m, t, MAX_M, "m");
  CheckRange(p.l, 1, MAX_L, "l");
  ctx.fWide = opt.representation == Representation::kWide ||
              (opt.representation == Representation::kAuto && !FitsClassic(p));
  ctx.options.words = std::max(WordsFor(v), std::min(opt.words, MAX_WORDS));

  // The last pass is the one given by -q (0, the complete pass, unless the
  // user asked otherwise) whatever the size of the design: a sampled last
  // pass can call a design that does not cover OK, and the complete pass
  // costs little more than the sampled ones. The settled values live in the
  // context only, so every design of a batch or search starts again from what
  // the user gave.
  uint32_t low = opt.skippers.ulSkipperLow;
  uint32_t high = ctx.fWide && !opt.skippers.highGiven ? low : opt.skippers.ulSkipperHigh;
  if (low > high) low = high;
  if (low != 0 && high - low < 3) high = low + 3;
  if (opt.fInternalOptions)
    DualPrint("gulSkipperHi=%lu, gulSkipperLo=%lu\n", static_cast<unsigned long>(high),
              static_cast<unsigned long>(low));
  ctx.options.skippers.ulSkipperHigh = high;
  ctx.options.skippers.ulSkipperLow = low;

  InitRankTable(ctx.tRank, v, t);
}

} // namespace

bool FitsClassic(const DesignParams& p) {
  return p.v <= CLASSIC_MAX_V && p.k <= CLASSIC_MAX_K && p.t <= CLASSIC_MAX_T &&
         p.m <= CLASSIC_MAX_M;
}

void SetupAnalysis(TestContext& ctx, const DesignParams& p, const AnalysisOptions& opt) {
  SetupParams(ctx, p, opt);
  ResetCounters(ctx);
}

void SetupDerivedTest(TestContext& ctx, const DesignParams& derived, const AnalysisOptions& opt) {
  const bool wide = ctx.fWide;
  AnalysisOptions same = opt;
  same.representation = wide ? Representation::kWide : Representation::kClassic;
  same.memoryBound = ctx.options.memoryBound;
  same.words = ctx.options.words;
  SetupParams(ctx, derived, same);
}

bool AnalyseBlock(TestContext& ctx, const Point* block) {
  ++ctx.tally.ulSeen;
  Point pts[MAX_K];
  const unsigned n = BlockPointSet(block, ctx.k, ctx.v, pts);
  bool needed = false;
  switch (ctx.mode) {
  case CounterMode::kBytes:
    needed = ctx.fWide ? NeededWide(ctx, pts, n) : NeededClassic(ctx, pts, n);
    break;
  case CounterMode::kBits: needed = NeededWide(ctx, pts, n); break;
  case CounterMode::kSplit:
    needed =
        WithWords(ctx.options.words, [&](auto width) { return NeededSplit<width()>(ctx, pts, n); });
    break;
  }
  if (!needed) {
    if (ctx.options.fShowRedundants)
      PrintRedundantBlock(ctx.tally.ulSeen, block, ctx.k, NamesOf(ctx));
    return false;
  }
  const auto index = static_cast<uint32_t>(ctx.accepted.size());
  if (ctx.mode == CounterMode::kSplit)
    for (unsigned i = 0; i < n; ++i) ctx.holders[pts[i]].push_back(index);
  ctx.accepted.Add(pts, pts + n);
  return true;
}

void PrintTSetReport(TestContext& ctx) {
  char combsText[48];
  BinomialText(ctx.v, ctx.usTestSize, combsText, sizeof combsText);
  if (ctx.options.fShowDupeTSets) {
    DualPrint("List of duplicate t-sets:\n");
    TallyAllTSets(ctx);
    if (ctx.options.fShowSummary) {
      DualPrint("\nOverall %hu-match combination coverage summary:\n", ctx.t);
      for (int i = ctx.tally.sMaxCount; i >= ctx.tally.sMinCount; --i)
        if (ctx.tally.histogram[i] != 0)
          DualPrint("Covered %2hd times : %5llu\n", static_cast<short>(i),
                    static_cast<unsigned long long>(ctx.tally.histogram[i]));
      // The t-subsets that lie in l blocks, out of all of them: the
      // histogram's own units (the m-sets are the test's business).
      const uint64_t tsets = Binomial(ctx.v, ctx.t);
      const uint64_t covered = tsets - ctx.tally.ulUncovered;
      char share[16];
      ShareText(covered, tsets, share, sizeof share);
      DualPrint("Total: %9llu / %5llu (%s)\n", static_cast<unsigned long long>(covered),
                static_cast<unsigned long long>(tsets), share);
    }
  }
  DualPrint("\nTotal combinations Cn(v=%hu,%c=%hu) = %s\n", ctx.v, ctx.fKLessM ? 'm' : 'k',
            ctx.usTestSize, combsText);
}

} // namespace kovra
