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

#include <algorithm>
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
unsigned BlockPointSet(const Point* block, unsigned k, unsigned v, uint8_t* out) {
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
    if (pts[i] >= 1 && pts[i] <= v && (n == 0 || pts[i] != out[n - 1]))
      out[n++] = static_cast<uint8_t>(pts[i]);
  return n;
}

PointSet SetOf(const uint8_t* pts, unsigned n) {
  PointSet s;
  for (unsigned i = 0; i < n; ++i) AddPoint(s, pts[i]);
  return s;
}

// The counter index of every t-subset of the ascending points pts[0..n-1],
// each ranked once. Returns the count (at most MAX_KT: classic blocks only).
unsigned TSetIndices(const TestContext& ctx, const uint8_t* pts, unsigned n, uint32_t* idx) {
  unsigned count = 0;
  ForEachTSetIndex(ctx.tRank, pts, n, [&](uint64_t i) {
    idx[count++] = static_cast<uint32_t>(i);
    return true;
  });
  return count;
}

bool BitSet(const uint64_t* words, uint64_t i) { return ((words[i >> 6] >> (i & 63)) & 1u) != 0; }

// Whether a block is needed, and its count, one representation each. A
// block with no t-subset (fewer than t valid points) adds nothing.
bool NeededClassic(TestContext& ctx, const uint8_t* pts, unsigned n) {
  // Each t-subset is ranked once, for the question whether the block is
  // needed as well as for its count.
  uint32_t idx[MAX_KT];
  const unsigned count = TSetIndices(ctx, pts, n, idx);
  uint8_t* counters = ctx.counters.get();
  if (ctx.fNoRedundTesting == 0) {
    uint8_t low = 255;
    for (unsigned i = 0; i < count; ++i) low = std::min(low, counters[idx[i]]);
    if (low >= ctx.bNeeded) return false;
  }
  const uint8_t cap = ctx.bCap;
  for (unsigned i = 0; i < count; ++i)
    if (counters[idx[i]] < cap) ++counters[idx[i]];
  return true;
}

// How many of the accepted blocks still waiting to be counted (see
// CountPendingBlocks) hold the t-subset at positions pos of pts, up to `most`.
unsigned PendingHolding(const TestContext& ctx, const uint8_t* pts, const unsigned* pos,
                        unsigned most) {
  if (ctx.pending.empty() || most == 0) return 0;
  PointSet tset;
  for (unsigned j = 0; j < ctx.t; ++j) AddPoint(tset, pts[pos[j]]);
  unsigned holding = 0;
  for (const uint32_t a : ctx.pending)
    if ((ctx.accepted[a] & tset) == tset && ++holding >= most) break;
  return holding;
}

// Counts a block's t-subsets: saturating bytes, or bits.
void CountBlock(TestContext& ctx, const uint8_t* pts, unsigned n) {
  if (ctx.mode == CounterMode::kBits) {
    uint64_t* words = ctx.bitCounters.get();
    ForEachTSetIndex(ctx.tRank, pts, n, [&](uint64_t i) {
      words[i >> 6] |= uint64_t{1} << (i & 63);
      return true;
    });
    return;
  }
  uint8_t* counters = ctx.counters.get();
  const uint8_t cap = ctx.bCap;
  ForEachTSetIndex(ctx.tRank, pts, n, [&](uint64_t i) {
    if (counters[i] < cap) ++counters[i];
    return true;
  });
}

// A wide block may have C(32,8) t-subsets: they are ranked twice rather than
// kept, and the first one below the threshold ends the question. Blocks
// accepted but not yet counted are asked too.
bool NeededBytes(TestContext& ctx, const uint8_t* pts, unsigned n) {
  const uint8_t* counters = ctx.counters.get();
  const uint8_t need = ctx.bNeeded;
  return ctx.fNoRedundTesting != 0 ||
         !ForEachTSet(ctx.tRank, pts, n, [&](uint64_t i, const unsigned* pos) {
           return counters[i] >= need ||
                  counters[i] + PendingHolding(ctx, pts, pos, need - counters[i]) >= need;
         });
}

bool NeededBits(TestContext& ctx, const uint8_t* pts, unsigned n) {
  const uint64_t* words = ctx.bitCounters.get();
  return ctx.fNoRedundTesting != 0 ||
         !ForEachTSet(ctx.tRank, pts, n, [&](uint64_t i, const unsigned* pos) {
           return BitSet(words, i) || PendingHolding(ctx, pts, pos, 1) != 0;
         });
}

// Without counters: every t-subset of the block lies in l accepted blocks
// exactly when the blocks that meet it in t or more points cover each of its
// t-subsets l times. Those blocks are found through the points they share
// with it, and its t-subsets are counted by their rank among its own.
bool NeededSplit(TestContext& ctx, const uint8_t* pts, unsigned n) {
  if (ctx.fNoRedundTesting != 0) return true;
  const unsigned t = ctx.t;
  if (n < t) return false;
  const PointSet mine = SetOf(pts, n);
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
      const unsigned shared = CountPoints(ctx.accepted[a] & mine);
      if (shared < t) continue;
      meeting.push_back(a);
      reach += Binomial(shared, t);
    }
  }
  const uint64_t own = Binomial(n, t);
  if (reach < own * ctx.bNeeded) return true; // too few to cover each t-subset l times
  RankTable local;
  InitRankTable(local, n, t);
  ctx.localCounts.assign(own, 0);
  uint8_t positions[MAX_K];
  for (const uint32_t a : meeting) {
    unsigned shared = 0;
    for (unsigned i = 0; i < n; ++i)
      if (HasPoint(ctx.accepted[a], pts[i])) positions[shared++] = static_cast<uint8_t>(i + 1);
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

void PrintDuplicate(const TestContext& ctx, const uint8_t* tset, uint8_t c) {
  // The list has always shown the points in base 1; under -z, by the file's numbers.
  const PointNames names{1, ctx.fileNumbers};
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
  if (ctx.fShowDupeTSets != 0 && ctx.l < 255)
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
    ctx.histogram[c] += n;
    if (static_cast<int>(c) > ctx.sMaxCount) ctx.sMaxCount = static_cast<int16_t>(c);
    if (static_cast<int>(c) < ctx.sMinCount) ctx.sMinCount = static_cast<int16_t>(c);
    if (c < ctx.l) ctx.ulUncovered += n;
  }
  uint8_t tset[MAX_T] = {};
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
  const unsigned threads = total >= (uint64_t{1} << 24) ? ctx.threads : 1;
  TSetChunkPlan plan;
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  if (ctx.mode == CounterMode::kBytes) {
    const uint64_t step = threads > 1 ? uint64_t{1} << 20 : total;
    for (uint64_t lo = 0; lo < total; lo += step)
      ranges.emplace_back(lo, std::min(lo + step, total));
  } else {
    PlanTSetChunks(plan, ctx.v, ctx.t, std::max<uint64_t>(ctx.memoryBound / threads, 1u << 16));
    for (const TSetChunk& c : plan.chunks) ranges.emplace_back(c.lo, c.hi);
  }
  RunJobsInOrder<RangeTally>(
      threads, ranges.size(), [] { return std::vector<uint8_t>(); },
      [&](std::vector<uint8_t>& counts, size_t i) {
        CheckDeadline(ctx.deadline);
        const auto [lo, hi] = ranges[i];
        if (ctx.mode == CounterMode::kBytes) return TallyRange(ctx, ctx.counters.get(), 0, lo, hi);
        counts.resize(hi - lo);
        CountTSetChunk(plan, plan.chunks[i], ctx.accepted, counts.data(), &ctx.deadline);
        return TallyRange(ctx, counts.data(), lo, lo, hi);
      },
      [&](size_t, RangeTally&& r) {
        AddTally(ctx, r);
        return true;
      });
}

// Accepted blocks wait for their counting in batches of this many, and only
// blocks with this many t-subsets are worth the threads.
constexpr size_t kPendingBlocks = 128;
constexpr uint64_t kThreadedTSets = 4096;

// Which counters the design gets: see the representations in engine.hpp.
CounterMode ChooseCounters(const TestContext& ctx) {
  const uint64_t count = Binomial(ctx.v, ctx.t);
  if (!ctx.fWide) return CounterMode::kBytes;
  const bool bitsEnough = ctx.l == 1 && ctx.fShowDupeTSets == 0;
  const uint64_t bytes = bitsEnough ? count / 8 + 8 : count;
  if (count == UINT64_MAX || bytes > ctx.memoryBound) return CounterMode::kSplit;
  return bitsEnough ? CounterMode::kBits : CounterMode::kBytes;
}

// Fresh zero counters for C(v, t) t-subsets, cleared summary and timing fields.
void ResetCounters(TestContext& ctx) {
  ctx.bNeeded = ctx.l > 254 ? 255 : static_cast<uint8_t>(ctx.l);
  ctx.bCap = 255;
  const uint64_t count = Binomial(ctx.v, ctx.t);
  ctx.counters.reset();
  ctx.bitCounters.reset();
  // A share of the test counts only the t-subsets of its share, from the
  // blocks, when its test needs them (see TestContext::partCount).
  ctx.mode = ctx.partCount > 0 ? CounterMode::kSplit : ChooseCounters(ctx);
  if (ctx.mode == CounterMode::kBytes) {
    ctx.counters.reset(new (std::nothrow) uint8_t[count]());
    if (!ctx.counters) ErrExit(13, "Mem Alloc Err!");
  } else if (ctx.mode == CounterMode::kBits) {
    ctx.bitCounters.reset(new (std::nothrow) uint64_t[count / 64 + 1]());
    if (!ctx.bitCounters) ErrExit(13, "Mem Alloc Err!");
  }
  ctx.accepted.clear();
  ctx.holders.assign(ctx.mode == CounterMode::kSplit ? ctx.v + 1u : 0u, {});
  // Counting a block is the bulk of the analysis where blocks hold many
  // t-subsets; the counts do not depend on the order blocks are added in, so
  // accepted blocks are counted in batches on the threads.
  ctx.pending.clear();
  ctx.deferCounting = ctx.fWide && ctx.mode != CounterMode::kSplit && ctx.threads > 1 &&
                      Binomial(ctx.k, ctx.t) >= kThreadedTSets;
  std::fill(std::begin(ctx.histogram), std::end(ctx.histogram), uint64_t{0});
  ctx.sMinCount = 256;
  ctx.sMaxCount = -1;
  ctx.ulUncovered = 0;
  ctx.usEstimate = 5;
  ctx.ulSeen = 0;
  ctx.tStart = ctx.tNow = NowSeconds();
}

// The parameters, settings, skippers and tables of a setup, without the
// counters.
void SetupParams(TestContext& ctx, const DesignParams& p, const AnalysisOptions& opt) {
  ParamsOf(ctx) = p;
  const unsigned v = p.v, k = p.k, t = p.t, m = p.m;
  ctx.usTestSize = std::max(p.k, p.m);
  ctx.fKLessM = k < m;
  ctx.fShowSummary = opt.fShowSummary;
  ctx.ulMaxReport = opt.ulMaxReport;
  ctx.ulMaxLosing = opt.ulMaxLosing;
  ctx.fShowDupeTSets = opt.fShowDupeTSets;
  ctx.fShowRedundants = opt.fShowRedundants;
  ctx.usPrintBase = opt.usPrintBase;
  ctx.fileNumbers = opt.fileNumbers;
  ctx.fCandidate = opt.fCandidate ? 1 : 0;
  ctx.fInternalOptions = opt.fInternalOptions;
  ctx.fNoRedundTesting = opt.fNoRedundTesting;
  ctx.fCountAll = opt.fCountAll ? 1 : 0;
  ctx.fKeepLosing = opt.fKeepLosing ? 1 : 0;
  ctx.threads = std::max(1u, opt.threads);
  ctx.partIndex = opt.partIndex;
  ctx.partCount = opt.partCount;
  ctx.fProve = opt.fProve ? 1 : 0;
  ctx.proveSeconds = opt.proveSeconds;
  ctx.deadline = opt.deadline;
  ctx.progress = opt.progress;
  ctx.memoryBound = opt.memoryBound != 0 ? opt.memoryBound : DefaultMemoryBound();

  CheckRange(t, 1, MAX_T, "t");
  CheckRange(k, t, MAX_K, "k");
  CheckRange(v, k, MAX_V, "v");
  CheckRange(m, t, MAX_M, "m");
  CheckRange(p.l, 1, MAX_L, "l");
  ctx.fWide = opt.representation == Representation::kWide ||
              (opt.representation == Representation::kAuto && !FitsClassic(p));

  ctx.ulCnVK = Binomial(v, k);
  ctx.ulCnVM = k < m ? Binomial(v, m) : 0;
  ctx.usKT = ctx.fWide ? 0 : static_cast<uint16_t>(Binomial(k, t));
  ctx.usMK = ctx.fWide || k >= m ? 0 : static_cast<uint16_t>(Binomial(m, k));
  if (!ctx.fWide) {
    CheckRange(ctx.usKT, 1, MAX_KT, "MAX_KT wrong in source");
    CheckRange(ctx.usMK, 0, MAX_MK, "MAX_MK wrong in source");
  }

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
  ctx.ulSkipperHigh = high;
  ctx.ulSkipperLow = low;

  // The pattern tables serve the classic walk through k-subsets.
  std::fill(&ctx.tPatterns[0][0], &ctx.tPatterns[0][0] + sizeof ctx.tPatterns, uint8_t{0});
  std::fill(&ctx.kPatterns[0][0], &ctx.kPatterns[0][0] + sizeof ctx.kPatterns, uint8_t{0});
  if (!ctx.fWide) {
    FirstComb(ctx.tPatterns[0], t, 1, 8);
    for (unsigned i = 1; i < ctx.usKT; ++i) {
      std::copy(ctx.tPatterns[i - 1], ctx.tPatterns[i - 1] + 8, ctx.tPatterns[i]);
      NextComb(ctx.tPatterns[i], t, 1, k);
    }
    if (k < m) {
      FirstComb(ctx.kPatterns[0], k, 1, 7);
      for (unsigned i = 1; i < ctx.usMK; ++i) {
        std::copy(ctx.kPatterns[i - 1], ctx.kPatterns[i - 1] + 7, ctx.kPatterns[i]);
        NextComb(ctx.kPatterns[i], k, 1, m);
      }
    }
  }
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
  CountPendingBlocks(ctx);
  const bool wide = ctx.fWide;
  AnalysisOptions same = opt;
  same.representation = wide ? Representation::kWide : Representation::kClassic;
  same.memoryBound = ctx.memoryBound;
  SetupParams(ctx, derived, same);
}

bool AnalyseBlock(TestContext& ctx, const Point* block) {
  ++ctx.ulSeen;
  uint8_t pts[MAX_K];
  const unsigned n = BlockPointSet(block, ctx.k, ctx.v, pts);
  bool needed = false;
  switch (ctx.mode) {
  case CounterMode::kBytes:
    needed = ctx.fWide ? NeededBytes(ctx, pts, n) : NeededClassic(ctx, pts, n);
    break;
  case CounterMode::kBits: needed = NeededBits(ctx, pts, n); break;
  case CounterMode::kSplit: needed = NeededSplit(ctx, pts, n); break;
  }
  if (!needed) {
    if (ctx.fShowRedundants) PrintRedundantBlock(ctx.ulSeen, block, ctx.k, NamesOf(ctx));
    return false;
  }
  const auto index = static_cast<uint32_t>(ctx.accepted.size());
  if (ctx.mode == CounterMode::kSplit)
    for (unsigned i = 0; i < n; ++i) ctx.holders[pts[i]].push_back(index);
  ctx.accepted.push_back(SetOf(pts, n));
  if (ctx.fWide && ctx.mode != CounterMode::kSplit) {
    if (!ctx.deferCounting) {
      CountBlock(ctx, pts, n);
    } else {
      ctx.pending.push_back(index);
      if (ctx.pending.size() >= kPendingBlocks) CountPendingBlocks(ctx);
    }
  }
  return true;
}

void CountPendingBlocks(TestContext& ctx) {
  if (ctx.pending.empty()) return;
  // The counters of the t-subsets that start with point p form one range
  // of indices, so jobs by ranges of first points write apart: no counter
  // is shared, and of the bits only the word at each end of a job's range,
  // which the job hands back for the calling thread to add.
  const unsigned v = ctx.v, t = ctx.t;
  std::vector<std::vector<uint8_t>> rows(ctx.pending.size());
  std::vector<double> work(v + 2, 0);
  for (size_t i = 0; i < rows.size(); ++i) {
    uint8_t pts[MAX_K];
    const unsigned n = PointsOf(ctx.accepted[ctx.pending[i]], pts);
    rows[i].assign(pts, pts + n);
    for (unsigned j = 0; j < n; ++j)
      work[pts[j]] += static_cast<double>(Binomial(n - 1 - j, t - 1));
  }
  // Points 1..v in consecutive runs of about equal work.
  std::vector<double> perPoint(work.begin() + 1, work.begin() + v + 1);
  const std::vector<size_t> cut = ShareBounds(perPoint, 4 * ctx.threads);
  const uint64_t total = Binomial(v, t);
  const auto firstIndex = [&](unsigned p) { return total - Binomial(v - p + 1, t); };
  struct Edges {
    uint64_t lowWord = UINT64_MAX, lowBits = 0, highWord = UINT64_MAX, highBits = 0;
  };
  uint64_t* words = ctx.bitCounters.get();
  uint8_t* counters = ctx.counters.get();
  const uint8_t cap = ctx.bCap;
  RunJobsInOrder<Edges>(
      ctx.threads, cut.size() - 1, [] { return 0; },
      [&](int&, size_t job) {
        const unsigned a = static_cast<unsigned>(cut[job]) + 1,
                       b = static_cast<unsigned>(cut[job + 1]) + 1;
        Edges e;
        if (a >= b) return e;
        // Locals, not fields or captured pointers: a store into the words
        // could otherwise alias them, and every t-subset would reload them.
        const uint64_t lowWord = firstIndex(a) >> 6, highWord = (firstIndex(b) - 1) >> 6;
        uint64_t lowBits = 0, highBits = 0;
        uint64_t* const bits = words;
        uint8_t* const bytes = counters;
        for (const std::vector<uint8_t>& row : rows) {
          CheckDeadline(ctx.deadline);
          const auto from =
              static_cast<unsigned>(std::lower_bound(row.begin(), row.end(), a) - row.begin());
          const auto to =
              static_cast<unsigned>(std::lower_bound(row.begin(), row.end(), b) - row.begin());
          const auto n = static_cast<unsigned>(row.size());
          if (bytes != nullptr) {
            ForEachTSet(
                ctx.tRank, row.data(), n,
                [bytes, cap](uint64_t i, const unsigned*) {
                  if (bytes[i] < cap) ++bytes[i];
                  return true;
                },
                from, to);
            continue;
          }
          ForEachTSet(
              ctx.tRank, row.data(), n,
              [bits, lowWord, highWord, &lowBits, &highBits](uint64_t i, const unsigned*) {
                const uint64_t w = i >> 6, bit = uint64_t{1} << (i & 63);
                if (w == lowWord)
                  lowBits |= bit;
                else if (w == highWord)
                  highBits |= bit;
                else
                  bits[w] |= bit;
                return true;
              },
              from, to);
        }
        e = Edges{lowWord, lowBits, highWord, highBits};
        return e;
      },
      [&](size_t, Edges&& e) {
        if (words != nullptr && e.lowWord != UINT64_MAX) {
          words[e.lowWord] |= e.lowBits;
          words[e.highWord] |= e.highBits;
        }
        return true;
      });
  ctx.pending.clear();
}

void PrintTSetReport(TestContext& ctx) {
  CountPendingBlocks(ctx);
  const Count128 combs = BinomialWide(ctx.v, ctx.usTestSize);
  char combsText[48];
  Count128Text(combs, combsText, sizeof combsText);
  if (ctx.fShowDupeTSets) {
    DualPrint("List of duplicate t-sets:\n");
    TallyAllTSets(ctx);
    if (ctx.fShowSummary) {
      DualPrint("\nOverall %hu-match combination coverage summary:\n", ctx.t);
      for (int i = ctx.sMaxCount; i >= ctx.sMinCount; --i)
        if (ctx.histogram[i] != 0)
          DualPrint("Covered %2hd times : %5llu\n", static_cast<short>(i),
                    static_cast<unsigned long long>(ctx.histogram[i]));
      // The t-subsets that lie in l blocks, out of all of them: the
      // histogram's own units (the m-sets are the test's business).
      const uint64_t tsets = Binomial(ctx.v, ctx.t);
      const uint64_t covered = tsets - ctx.ulUncovered;
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
