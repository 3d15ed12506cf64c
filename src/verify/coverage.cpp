// The coverage test: the head, the counter scan, the skipper passes and the verdict.
#include "base/clock.hpp"
#include "base/console.hpp"
#include "verify/coverwalk.hpp"
#include "verify/engine.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kovra {
namespace {

// Width of the combination column.
int CombColumnWidth(unsigned size) { return size < 5 ? 13 : static_cast<int>(3 * size); }

// Each member as "%2hu ", then " : LOSING combination !!!\n".
void PrintLosingComb(const uint8_t* members, unsigned n, uint16_t printBase) {
  static constexpr char kTail[] = " : LOSING combination !!!\n";
  char line[64];
  char* end = line;
  for (unsigned i = 0; i < n; ++i) {
    end = PutUnsigned(end, static_cast<unsigned short>(members[i] + printBase - 1), 2);
    *end++ = ' ';
  }
  end = std::copy(kTail, kTail + sizeof kTail - 1, end);
  DualWrite(line, static_cast<size_t>(end - line));
}

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
  uint8_t next[9] = {}; // next[1..n]
  uint64_t nextRank = 0;
};

void FindProgressPoint(ProgressPoints& pp) {
  pp.have = false;
  if (pp.threshold >= pp.combs) return;
  uint8_t* c = pp.next + 1;
  UnrankComb(pp.threshold + 1, pp.v, pp.n, c);
  if (c[pp.n - 1] != c[pp.n - 2] + 1) {
    // Not reached by a carry: the next one that is starts the next prefix.
    c[pp.n - 1] = static_cast<uint8_t>(pp.v);
    if (!NextComb(c, pp.n, 1, pp.v)) return;
  }
  pp.nextRank = RankFast(*pp.rank, c);
  pp.have = true;
}

// Prints the progress lines the plain walk prints before it reaches `upTo`
// (S[1..n]; all that remain when upTo is null).
void EmitProgressBefore(TestContext& ctx, ProgressPoints& pp, const uint8_t* upTo) {
  while (pp.have && ctx.usEstimate >= 4 &&
         (upTo == nullptr || std::memcmp(pp.next + 1, upTo + 1, pp.n) <= 0)) {
    PrintProgress(ctx, static_cast<uint32_t>(pp.nextRank), static_cast<uint32_t>(pp.combs),
                  pp.next + 1, 0);
    pp.threshold = pp.nextRank + pp.interval;
    FindProgressPoint(pp);
  }
}

struct PassResult {
  uint32_t losing = 0;
  bool stopped = false; // ulMaxLosing reached
};

// The complete pass: only prefixes free of covered t-subsets are walked, and
// the losing combinations come out in lexicographic order, so the output is
// that of the plain walk over all C(v, n) combinations.
PassResult CompletePass(TestContext& ctx, PrefixWalk& walk, const RankTable& combRank,
                        uint64_t combs, uint64_t interval) {
  PassResult res;
  ProgressPoints pp;
  pp.rank = &combRank;
  pp.v = ctx.v;
  pp.n = walk.n;
  pp.combs = combs;
  pp.interval = interval;
  pp.threshold = interval;
  FindProgressPoint(pp);
  const bool complete = WalkLosingCombs(walk, [&](const uint8_t* s) {
    EmitProgressBefore(ctx, pp, s);
    ++res.losing;
    PrintLosingComb(s + 1, walk.n, ctx.usPrintBase);
    return res.losing < ctx.ulMaxLosing;
  });
  if (!complete) {
    res.stopped = true;
    return res;
  }
  EmitProgressBefore(ctx, pp, nullptr);
  return res;
}

// A pass with skipper s >= 1: s + 1 steps between two tests, and a carry
// leaves the stepping position where it moved to, so the rest of the advance
// skips whole runs of combinations that share a prefix.
PassResult SkipperPass(TestContext& ctx, PrefixWalk& walk, const RankTable& combRank,
                       uint64_t combs, uint64_t interval, int s) {
  PassResult res;
  const unsigned n = walk.n, v = ctx.v;
  // With more members than points there is no combination to test; the
  // stepping below would start from points beyond v and never carry out.
  if (n > v) return res;
  uint64_t threshold = interval;
  uint8_t S[9] = {};
  for (unsigned i = 1; i <= n; ++i) S[i] = static_cast<uint8_t>(i);
  for (;;) {
    if (!IsCombCovered(walk, S)) {
      ++res.losing;
      PrintLosingComb(S + 1, n, ctx.usPrintBase);
      if (res.losing >= ctx.ulMaxLosing) {
        res.stopped = true;
        return res;
      }
    }
    unsigned p = n;
    for (int step = 0; step <= s; ++step) {
      ++S[p];
      while (S[p] > v - (n - p)) {
        if (--p == 0) return res;
        ++S[p];
      }
      if (p < n) {
        for (unsigned q = p + 1; q <= n; ++q) S[q] = static_cast<uint8_t>(S[q - 1] + 1);
        if (s <= 7) {
          const uint64_t r = ctx.usEstimate >= 4 ? RankFast(combRank, S + 1) : 0;
          if (r > threshold) {
            PrintProgress(ctx, static_cast<uint32_t>(r), static_cast<uint32_t>(combs), S + 1,
                          static_cast<int16_t>(s));
            threshold = r + interval;
          }
        }
      }
    }
  }
}

} // namespace

void PrintCombCount(const char* label, uint32_t count, uint32_t combinations) {
  // m > v leaves no combination at all: 0 of 0 is shown as 0.0%, not as nan.
  const double percent =
      combinations == 0 ? 0.0
                        : static_cast<double>(count) * 100.0 / static_cast<double>(combinations);
  DualPrint("%s combinations:%8ld (%.1lf%%)\n", label, static_cast<long>(count), percent);
}

void PrintProgress(TestContext& ctx, uint32_t rank, uint32_t combinations, const uint8_t* comb,
                   int16_t skipper) {
  ctx.tNow = NowSeconds();
  long elapsed = static_cast<long>(ctx.tNow - ctx.tStart);
  if (elapsed < 1) elapsed = 1;
  const bool finished = rank >= combinations;
  const uint32_t c = finished ? combinations : rank;
  const auto speed = static_cast<int32_t>(static_cast<int64_t>(c) / elapsed);
  const auto left = static_cast<uint64_t>(combinations - c) / static_cast<uint64_t>(speed + 1);
  const int divisor = skipper >= 0 ? skipper + 1 : 1;
  auto estimate = static_cast<uint16_t>(static_cast<uint16_t>(left) / divisor);
  if (estimate == 0) estimate = 1;
  ctx.usEstimate = estimate;
  const unsigned n = ctx.usTestSize;
  if (!finished) {
    char line[64];
    int len = 0;
    for (unsigned i = 0; i < n; ++i)
      len += std::snprintf(line + len, sizeof line - static_cast<size_t>(len), "%2hu ",
                           static_cast<unsigned short>(comb[i] + ctx.usPrintBase - 1));
    const int pad = 13 - 3 * static_cast<int>(n);
    DualPrint("%s%*s", line, pad > 0 ? pad : 0, "");
  } else {
    ctx.usEstimate = 0;
    const int w = CombColumnWidth(n);
    DualPrint("%*.*s", w, w, "Finished");
  }
  DualPrint("%10ld %4d:%02d %8ld  %4d:%02d\n", static_cast<long>(c), static_cast<int>(elapsed / 60),
            static_cast<int>(elapsed % 60), static_cast<long>(speed), ctx.usEstimate / 60,
            ctx.usEstimate % 60);
  // Someone following the log (tail -f) sees each progress line when it is made.
  ConsoleFlush();
}

bool ScanTSetCounters(uint16_t v, uint16_t t, uint8_t bNeeded, const uint8_t* counters,
                      uint32_t* losing, uint32_t ulMaxLosing, uint16_t usPrintBase) {
  const uint64_t total = Binomial(v, t);
  uint32_t found = 0;
  uint8_t tset[8];
  constexpr uint64_t kChunk = 64;
  for (uint64_t base = 0; base < total; base += kChunk) {
    const uint64_t end = base + kChunk < total ? base + kChunk : total;
    // Most chunks of a covering hold no losing t-subset; a minimum over the
    // chunk finds that without a branch per counter.
    uint8_t low = 255;
    for (uint64_t i = base; i < end; ++i) low = counters[i] < low ? counters[i] : low;
    if (low >= bNeeded) continue;
    for (uint64_t i = base; i < end; ++i) {
      if (counters[i] >= bNeeded) continue;
      ++found;
      UnrankComb(i + 1, v, t, tset);
      PrintLosingComb(tset, t, usPrintBase);
      if (found >= ulMaxLosing) {
        *losing = found;
        return false;
      }
    }
  }
  *losing = found;
  return found == 0;
}

bool MultiPassTest(TestContext& ctx, uint32_t* combinations, uint32_t* losing) {
  const unsigned n = ctx.usTestSize;
  const uint64_t combs = Binomial(ctx.v, n);
  *combinations = static_cast<uint32_t>(combs);
  *losing = 0;
  const uint64_t interval = combs / (ctx.ulMaxReport != 0 ? ctx.ulMaxReport : 1) + 1;
  const std::time_t remembered = ctx.tStart;
  const auto high = static_cast<int16_t>(ctx.ulSkipperHigh);
  auto low = static_cast<int16_t>(ctx.ulSkipperLow);
  // A pass with a negative skipper would never move on; 0 is the complete pass.
  if (low < 0) low = 0;

  CoverMasks masks;
  RankTable combRank;
  PrefixWalk walk;
  if (high >= low) {
    BuildCoverMasks(masks, ctx.v, ctx.t, ctx.counters.get(), ctx.bNeeded);
    InitRankTable(combRank, ctx.v, n);
  }
  // A losing combination found by any pass is losing, whatever a later pass
  // with other steps sees: the verdict counts every pass, and the count shown
  // is the most any one pass found.
  uint32_t mostLosing = 0;
  for (int s = high; s >= low; --s) {
    if (ctx.fInternalOptions)
      DualPrint("--- skipper=%hd/%lu ---\n", static_cast<short>(s),
                static_cast<unsigned long>(ctx.ulSkipperLow));
    else
      DualPrint("--- (%hd/%lu) ---\n", static_cast<short>(s),
                static_cast<unsigned long>(ctx.ulSkipperLow));
    ctx.tStart = NowSeconds();
    ctx.usEstimate = 5;
    InitPrefixWalk(walk, masks, n);
    const PassResult res = s == 0 ? CompletePass(ctx, walk, combRank, combs, interval)
                                  : SkipperPass(ctx, walk, combRank, combs, interval, s);
    mostLosing = std::max(mostLosing, res.losing);
    *losing = mostLosing;
    if (res.stopped) {
      ctx.tStart = remembered;
      return false;
    }
  }
  ctx.tStart = remembered;
  return mostLosing == 0;
}

bool TestDesign(TestContext& ctx, const char* fileName) {
  const unsigned n = ctx.usTestSize;
  const uint32_t combs = ctx.fKLessM ? ctx.ulCnVM : ctx.ulCnVK;
  ctx.tStart = NowSeconds();
  DualPrint("\nTesting started : %s\n", DateText(ctx.tStart).c_str());
  DualPrint("\n");
  DualPrint("MaxReport: %lu \nCn(%hu,%hu) : %lu \n\n", static_cast<unsigned long>(ctx.ulMaxReport),
            ctx.v, static_cast<unsigned short>(n), static_cast<unsigned long>(combs));
  const int w = CombColumnWidth(n);
  DualPrint("%*.*s   Covered  Elapsed   Speed  EstRemain\n", w, w, "Combination");
  ConsoleFlush();

  uint32_t losing = 0;
  bool ok = false;
  if (ctx.m == ctx.t) {
    ok = ScanTSetCounters(ctx.v, ctx.t, ctx.bNeeded, ctx.counters.get(), &losing, ctx.ulMaxLosing,
                          ctx.usPrintBase);
  } else {
    uint32_t walked = 0;
    ok = MultiPassTest(ctx, &walked, &losing);
  }
  ctx.tNow = NowSeconds();
  const uint8_t none[8] = {};
  PrintProgress(ctx, combs, combs, none, 0);
  PrintCombCount("\nLosing", losing, combs);
  DualPrint("\nTesting finished: %s\n", DateText(ctx.tNow).c_str());
  DualPrint("Time       : %ld seconds\n", static_cast<long>(ctx.tNow - ctx.tStart));
  DualPrint("TestRetCode: %s (%s)\n", ok ? "OK" : "FAIL!", fileName != nullptr ? fileName : "");
  return ok;
}

} // namespace kovra
