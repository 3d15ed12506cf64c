// The verification engine: context setup, redundancy analysis, t-set report.
#include "verify/engine.hpp"

#include "base/clock.hpp"
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "base/range.hpp"

#include <algorithm>
#include <cstdio>
#include <new>

namespace kovra {
namespace {

// The block's first k points as a set in ascending order, within 1..v.
// Blocks as loaded are sorted and checked already; anything else (points out
// of range after a renumbering, a repeated point) must not index the counters
// out of bounds or count one t-subset twice, so it is reduced to the set of
// its valid points. Returns the number of points kept.
unsigned BlockPointSet(const Point* block, unsigned k, unsigned v, uint8_t* out) {
  k = std::min<unsigned>(k, CLASSIC_MAX_K);
  Point pts[CLASSIC_MAX_K];
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

// Calls fn(index) for the counter index of every t-subset of the ascending
// points pts[0..n-1], in lexicographic order of positions; stops early when
// fn returns false. Returns false then. The rank is a sum of one table term
// per member, so the partial sum of a prefix serves every subset that
// starts with it: C(7,1) + C(7,2) + C(7,3) look-ups instead of 3 C(7,3).
template <typename Fn>
bool ForEachTSetIndex(const TestContext& ctx, const uint8_t* pts, unsigned n, Fn&& fn) {
  const unsigned t = ctx.t;
  if (n < t || t == 0) return true;
  const RankTable& rt = ctx.tRank;
  unsigned pos[8];
  uint64_t part[8]; // part[j]: total - 1 less the terms of the first j members
  part[0] = rt.total - 1;
  pos[0] = 0;
  unsigned j = 0;
  for (;;) {
    part[j + 1] = part[j] - rt.term[j][pts[pos[j]]];
    if (j + 1 < t) {
      pos[j + 1] = pos[j] + 1;
      ++j;
      continue;
    }
    if (!fn(part[t])) return false;
    while (++pos[j] > n - t + j) {
      if (j == 0) return true;
      --j;
    }
  }
}

void CountTSets(TestContext& ctx, const uint8_t* pts, unsigned n) {
  uint8_t* counters = ctx.counters.get();
  const uint8_t cap = ctx.bCap;
  ForEachTSetIndex(ctx, pts, n, [&](uint64_t idx) {
    if (counters[idx] < cap) ++counters[idx];
    return true;
  });
}

// The counter index of every t-subset of the ascending points pts[0..n-1],
// each ranked once. Returns the count (at most MAX_KT).
unsigned TSetIndices(const TestContext& ctx, const uint8_t* pts, unsigned n, uint32_t* idx) {
  unsigned count = 0;
  ForEachTSetIndex(ctx, pts, n, [&](uint64_t i) {
    idx[count++] = static_cast<uint32_t>(i);
    return true;
  });
  return count;
}

// "Redundant block: #%ld (", each point as "%2hu" followed by " " or ")",
// and the line end; the points in the numbers of the file (the array is in
// base 1 by now), as the losing combinations are printed.
void PrintRedundantBlock(uint32_t seen, const Point* block, unsigned k, uint16_t printBase) {
  static constexpr char kHead[] = "Redundant block: #";
  char line[64 + 6 * MAX_K];
  char* end = std::copy(kHead, kHead + sizeof kHead - 1, line);
  end = PutUnsigned(end, seen, 0);
  *end++ = ' ';
  *end++ = '(';
  for (unsigned i = 0; i < k && i < MAX_K; ++i) {
    end = PutUnsigned(end, static_cast<unsigned short>(block[i] + printBase - 1), 2);
    *end++ = i + 1 < k ? ' ' : ')';
  }
  *end++ = '\n';
  DualWrite(line, static_cast<size_t>(end - line));
}

void PrintDuplicate(const TestContext& ctx, const uint8_t* tset, uint8_t c) {
  char line[80];
  int len = std::snprintf(line, sizeof line, "  ");
  for (unsigned i = 0; i < ctx.t; ++i)
    len += std::snprintf(line + len, sizeof line - static_cast<size_t>(len), "%2hu%s",
                         static_cast<unsigned short>(tset[i]), i + 1 < ctx.t ? " " : "");
  DualPrint("%s  : %5hd times\n", line, static_cast<short>(c));
}

// Adds every t-subset in rank order (which is lexicographic order) to the
// summary, and lists those that lie in more than l blocks, without forming
// every t-subset: the histogram is taken straight from the counters, and
// members are formed only in the chunks of counters that hold a duplicate to
// list.
void TallyAllTSets(TestContext& ctx) {
  const unsigned v = ctx.v, t = ctx.t;
  const uint64_t total = Binomial(v, t);
  const uint8_t* counters = ctx.counters.get();
  // Four partial histograms keep consecutive increments independent.
  uint32_t part[4][256] = {};
  uint64_t i = 0;
  for (; i + 4 <= total; i += 4)
    for (unsigned j = 0; j < 4; ++j) ++part[j][counters[i + j]];
  for (; i < total; ++i) ++part[0][counters[i]];
  for (unsigned c = 0; c < 256; ++c) {
    const uint32_t n = part[0][c] + part[1][c] + part[2][c] + part[3][c];
    if (n == 0) continue;
    ctx.histogram[c] += n;
    if (static_cast<int>(c) > ctx.sMaxCount) ctx.sMaxCount = static_cast<int16_t>(c);
    if (static_cast<int>(c) < ctx.sMinCount) ctx.sMinCount = static_cast<int16_t>(c);
    if (c < ctx.l) ctx.ulUncovered += n;
  }
  if (!ctx.fShowDupeTSets || ctx.l >= 255) return;
  constexpr uint64_t kChunk = 256;
  uint8_t tset[8] = {};
  for (uint64_t base = 0; base < total; base += kChunk) {
    const uint64_t end = std::min(base + kChunk, total);
    uint8_t high = 0;
    for (uint64_t j = base; j < end; ++j) high = std::max(high, counters[j]);
    if (high <= ctx.l) continue;
    UnrankComb(base + 1, v, t, tset);
    for (uint64_t j = base; j < end; ++j) {
      if (counters[j] > ctx.l) PrintDuplicate(ctx, tset, counters[j]);
      NextComb(tset, t, 1, v);
    }
  }
}

// Fresh zero counters for C(v, t) t-subsets, cleared summary and timing fields.
void ResetCounters(TestContext& ctx) {
  ctx.bNeeded = ctx.l > 254 ? 255 : static_cast<uint8_t>(ctx.l);
  ctx.bCap = 255;
  const uint64_t count = Binomial(ctx.v, ctx.t);
  ctx.counters.reset();
  ctx.counters.reset(new (std::nothrow) uint8_t[count]());
  if (!ctx.counters) ErrExit(13, "Mem Alloc Err!");
  std::fill(std::begin(ctx.histogram), std::end(ctx.histogram), 0u);
  ctx.sMinCount = 256;
  ctx.sMaxCount = -1;
  ctx.ulUncovered = 0;
  ctx.usEstimate = 5;
  ctx.ulSeen = 0;
  ctx.tStart = ctx.tNow = NowSeconds();
}

} // namespace

void SetupAnalysis(TestContext& ctx, const DesignParams& p, const AnalysisOptions& opt) {
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
  ctx.fInternalOptions = opt.fInternalOptions;
  ctx.fNoRedundTesting = opt.fNoRedundTesting;

  CheckRange(t, 1, CLASSIC_MAX_T, "t");
  CheckRange(k, t, CLASSIC_MAX_K, "k");
  CheckRange(v, k, CLASSIC_MAX_V, "v");
  CheckRange(m, t, CLASSIC_MAX_M, "m");
  CheckRange(p.l, 1, MAX_L, "l");

  ctx.ulCnVK = static_cast<uint32_t>(Binomial(v, k));
  ctx.usKT = static_cast<uint16_t>(Binomial(k, t));
  ctx.usMK = k < m ? static_cast<uint16_t>(Binomial(m, k)) : 0;
  ctx.ulCnVM = k < m ? static_cast<uint32_t>(Binomial(v, m)) : 0;
  CheckRange(ctx.usKT, 1, MAX_KT, "MAX_KT wrong in source");
  CheckRange(ctx.usMK, 0, MAX_MK, "MAX_MK wrong in source");

  // The last pass is the one given by -q (0, the complete pass, unless the
  // user asked otherwise) whatever the size of the design: a sampled last
  // pass can call a design that does not cover OK, and the complete pass
  // costs little more than the sampled ones. The settled values live in the
  // context only, so every design of a batch or search starts again from what
  // the user gave.
  uint32_t high = opt.skippers.ulSkipperHigh;
  uint32_t low = opt.skippers.ulSkipperLow;
  if (low > high) low = high;
  if (low != 0 && high - low < 3) high = low + 3;
  if (opt.fInternalOptions)
    DualPrint("gulSkipperHi=%lu, gulSkipperLo=%lu\n", static_cast<unsigned long>(high),
              static_cast<unsigned long>(low));
  ctx.ulSkipperHigh = high;
  ctx.ulSkipperLow = low;

  std::fill(&ctx.tPatterns[0][0], &ctx.tPatterns[0][0] + sizeof ctx.tPatterns, uint8_t{0});
  std::fill(&ctx.kPatterns[0][0], &ctx.kPatterns[0][0] + sizeof ctx.kPatterns, uint8_t{0});
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
  InitRankTable(ctx.tRank, v, t);
  ResetCounters(ctx);
}

bool AnalyseBlock(TestContext& ctx, const Point* block) {
  ++ctx.ulSeen;
  // Each t-subset is ranked once, for the question whether the block is
  // needed as well as for its count.
  uint8_t pts[8];
  uint32_t idx[MAX_KT];
  const unsigned count = TSetIndices(ctx, pts, BlockPointSet(block, ctx.k, ctx.v, pts), idx);
  uint8_t* counters = ctx.counters.get();
  if (ctx.fNoRedundTesting == 0) {
    uint8_t low = 255;
    for (unsigned i = 0; i < count; ++i) low = std::min(low, counters[idx[i]]);
    // A block with no t-subset (fewer than t valid points) adds nothing either.
    if (low >= ctx.bNeeded) {
      if (ctx.fShowRedundants) PrintRedundantBlock(ctx.ulSeen, block, ctx.k, ctx.usPrintBase);
      return false;
    }
  }
  const uint8_t cap = ctx.bCap;
  for (unsigned i = 0; i < count; ++i)
    if (counters[idx[i]] < cap) ++counters[idx[i]];
  return true;
}

void AnalyseDerivedDesign(TestContext& ctx, const Point* blocks, uint32_t b, unsigned blockK) {
  // Counting the m-subsets of a block one by one would count the block once
  // for every m-subset that holds a given t-subset, so with l > 1 a single
  // block could pass for several. Each block's own t-subsets are counted
  // once instead; a combination is then covered exactly when one of its
  // t-subsets lies in l design blocks.
  if (b == 0 || blocks == nullptr) return;
  uint8_t pts[8];
  for (uint32_t i = 0; i < b; ++i)
    CountTSets(ctx, pts, BlockPointSet(blocks + size_t{i} * blockK, blockK, ctx.v, pts));
  ctx.ulSeen += b;
}

void PrintTSetReport(TestContext& ctx) {
  const uint32_t combs = ctx.fKLessM ? ctx.ulCnVM : ctx.ulCnVK;
  if (ctx.fShowDupeTSets) {
    DualPrint("List of duplicate t-sets:\n");
    TallyAllTSets(ctx);
    if (ctx.fShowSummary) {
      const long covered = static_cast<long>(combs) - static_cast<long>(ctx.ulUncovered);
      DualPrint("\nOverall %hu-match combination coverage summary:\n", ctx.t);
      for (int i = ctx.sMaxCount; i >= ctx.sMinCount; --i)
        if (ctx.histogram[i] != 0)
          DualPrint("Covered %2hd times : %5lu\n", static_cast<short>(i),
                    static_cast<unsigned long>(ctx.histogram[i]));
      // m > v leaves no combination: no division by zero, 0.0% instead of nan.
      const double percent =
          combs == 0 ? 0.0 : static_cast<double>(covered) * 100.0 / static_cast<double>(combs);
      DualPrint("Total: %9ld / %5ld (%.1f%%)\n", covered, static_cast<long>(combs), percent);
    }
  }
  DualPrint("\nTotal combinations Cn(v=%hu,%c=%hu) = %ld\n", ctx.v, ctx.fKLessM ? 'm' : 'k',
            ctx.usTestSize, static_cast<long>(combs));
}

} // namespace kovra
