// The coverage test: which combinations each pass visits, the passes against
// the plain walk and the complete pass against brute force, the counter scan,
// the derived design for m < k and the progress line.
#include "../../bench/reference_walk.hpp"
#include "test_engine_util.hpp"

#include <gtest/gtest.h>

namespace kovra {
namespace {

using namespace enginetest;

struct PassOutput {
  std::string out;
  bool ok = false;
  uint32_t combs = 0;
  uint32_t losing = 0;
};

// The passes of the context as the engine runs them, or as the plain walk.
PassOutput RunPasses(TestContext& ctx, bool plain, ClockFn clock) {
  ClockGuard guard(clock);
  PassOutput r;
  ConsoleCapture cap;
  ctx.tStart = NowSeconds();
  const std::time_t start = ctx.tStart;
  r.ok = plain ? reference::MultiPassTestPlain(ctx, &r.combs, &r.losing)
               : MultiPassTest(ctx, &r.combs, &r.losing);
  EXPECT_EQ(ctx.tStart, start) << "the test start is restored";
  r.out = cap.out;
  return r;
}

// A context with no block counted: every combination is losing, so the
// losing lines show exactly which combinations a pass visits.
void EmptyDesign(TestContext& ctx, uint16_t v, uint16_t m, uint32_t high, uint32_t low) {
  AnalysisOptions opt;
  opt.ulMaxLosing = 2147483647u;
  SetupAnalysis(ctx, DesignParams{v, m, 1, m, 1}, opt);
  ctx.ulSkipperHigh = high;
  ctx.ulSkipperLow = low;
}

TEST(EngineSkipper, PassesVisitTheDocumentedCombinations) {
  TestContext ctx;
  EmptyDesign(ctx, 6, 2, 1, 1);
  PassOutput r = RunPasses(ctx, false, FrozenClock);
  EXPECT_EQ(LosingLines(r.out),
            (std::vector<Points>{{1, 2}, {1, 4}, {1, 6}, {3, 4}, {3, 6}, {5, 6}}));
  EXPECT_EQ(r.losing, 6u);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.combs, 15u);
  EXPECT_EQ(r.out.substr(0, 14), "--- (1/1) ---\n");

  EmptyDesign(ctx, 49, 6, 3, 3);
  r = RunPasses(ctx, false, FrozenClock);
  EXPECT_EQ(r.losing, 18161u);
  EXPECT_EQ(LosingLines(r.out).size(), 18161u);
  EXPECT_EQ(r.combs, 13983816u);
  EXPECT_EQ(r.out, RunPasses(ctx, true, FrozenClock).out);
}

TEST(EngineSkipper, OddSkipperBounds) {
  // No pass when high is below low: nothing losing, the verdict is OK.
  TestContext ctx;
  EmptyDesign(ctx, 8, 3, 1, 2);
  const PassOutput none = RunPasses(ctx, false, FrozenClock);
  EXPECT_TRUE(none.ok);
  EXPECT_EQ(none.out, "");
  // A low value read as a negative 16-bit number would mean passes that
  // never move on; the walk ends with the complete pass instead.
  EmptyDesign(ctx, 7, 3, 1, 65535);
  const PassOutput r = RunPasses(ctx, false, FrozenClock);
  EXPECT_EQ(CountLines(r.out, "--- ("), 2u);
  EXPECT_EQ(r.losing, 35u);
}

struct Grid {
  unsigned v, k, t, m, l, b;
};

// Designs for the algorithms of m > t: k >= m direct, k < m through
// k-subsets, m < k by the derived counters; with l = 1 and l > 1; the last
// four larger, for deeper prefixes and many progress lines.
const Grid kGrid[] = {
    {10, 3, 1, 3, 1, 2},   {10, 3, 1, 3, 2, 5},  {12, 5, 2, 5, 1, 5},  {12, 5, 2, 5, 2, 12},
    {14, 4, 3, 4, 1, 40},  {16, 6, 3, 6, 1, 25}, {16, 6, 3, 6, 2, 60}, {13, 5, 4, 5, 1, 60},
    {12, 3, 2, 5, 1, 8},   {11, 2, 1, 4, 1, 3},  {13, 4, 3, 6, 1, 30}, {14, 3, 2, 6, 2, 20},
    {12, 6, 2, 4, 1, 4},   {12, 6, 2, 4, 2, 6},  {13, 7, 3, 5, 1, 6},  {14, 6, 1, 2, 1, 2},
    {15, 2, 1, 7, 3, 9},   {15, 7, 6, 7, 1, 80}, {22, 6, 3, 6, 1, 40}, {20, 3, 2, 6, 1, 30},
    {21, 7, 4, 7, 2, 150}, {19, 7, 2, 5, 2, 12},
};

TEST(EngineCoverage, PassesMatchThePlainWalkAndTheCompletePassBruteForce) {
  uint32_t seed = 7;
  const uint32_t maxReports[] = {1, 15, 200};
  for (const Grid& g : kGrid) {
    const Design d = RandomDesign(g.v, g.k, g.b, ++seed);
    const std::string name = "C(" + std::to_string(g.v) + "," + std::to_string(g.k) + "," +
                             std::to_string(g.t) + "," + std::to_string(g.m) + "," +
                             std::to_string(g.l) + ")";
    TestContext ctx;
    RunParams p{.t = g.t,
                .m = g.m,
                .l = g.l,
                .maxLosing = 2147483647u,
                .maxReport = maxReports[seed % 3],
                .internal = seed % 2 == 0,
                .printBase = static_cast<uint16_t>(seed % 3)};
    {
      ConsoleCapture quiet;
      AnalyseLikeRun(ctx, d, p);
    }
    if (Binomial(g.v, g.m) <= 100000) {
      ctx.ulSkipperHigh = 0;
      ctx.ulSkipperLow = 0;
      const PassOutput fast = RunPasses(ctx, false, FrozenClock);
      const std::vector<Points> brute = BruteLosing(d, g.t, g.m, g.l);
      EXPECT_EQ(LosingLines(fast.out, p.printBase), brute) << name;
      EXPECT_EQ(fast.losing, brute.size()) << name;
      EXPECT_EQ(fast.ok, brute.empty()) << name;
    }
    // Every pass (skippers above 7 print no progress), stopping after the
    // first, the third or no losing combination; a clock that runs keeps the
    // estimate up, so more progress lines come.
    ctx.ulSkipperHigh = g.v > 16 ? 4 : 9;
    ctx.ulSkipperLow = seed % 2;
    for (uint32_t maxLosing : {1u, 3u, 2147483647u}) {
      ctx.ulMaxLosing = maxLosing;
      for (ClockFn clock : {&FrozenClock, &TickingClock}) {
        const PassOutput fast = RunPasses(ctx, false, clock);
        const PassOutput plain = RunPasses(ctx, true, clock);
        EXPECT_EQ(fast.out, plain.out) << name << " maxLosing " << maxLosing;
        EXPECT_EQ(fast.ok, plain.ok) << name;
        EXPECT_EQ(fast.losing, plain.losing) << name;
        EXPECT_EQ(fast.combs, plain.combs) << name;
      }
    }
  }
}

TEST(EngineCoverage, CounterScanForMEqualT) {
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    const unsigned v = 9 + seed, k = 3 + seed % 3, t = 2 + seed % 2, l = 1 + seed % 2;
    const Design d = RandomDesign(v, k, 10 + 2 * seed, seed);
    TestContext ctx;
    RunParams p{.t = t, .m = t, .l = l};
    {
      ConsoleCapture quiet;
      AnalyseLikeRun(ctx, d, p);
    }
    const std::vector<Points> brute = BruteLosing(d, t, t, l);
    uint32_t losing = 0;
    ConsoleCapture cap;
    EXPECT_EQ(
        ScanTSetCounters(ctx.v, ctx.t, ctx.bNeeded, ctx.counters.get(), &losing, 2147483647u, 0),
        brute.empty());
    EXPECT_EQ(losing, brute.size());
    EXPECT_EQ(LosingLines(cap.out, 0), brute);
    if (brute.size() < 2) continue;
    cap.out.clear();
    EXPECT_FALSE(ScanTSetCounters(ctx.v, ctx.t, ctx.bNeeded, ctx.counters.get(), &losing, 2, 1));
    EXPECT_EQ(losing, 2u);
    EXPECT_EQ(LosingLines(cap.out), std::vector<Points>(brute.begin(), brute.begin() + 2));
  }
}

TEST(EngineCoverage, DerivedDesignCountsEachBlockOncePerTSet) {
  // v = 7, k = 6, t = 2, m = 4, l = 2 with the single block {1,...,6}: no
  // 4-set meets two blocks, so everything is losing; counting the block's
  // 4-subsets one by one would put {1,2} into six "blocks" and pass
  // {1,2,3,7}.
  const Design d{7, 6, {{1, 2, 3, 4, 5, 6}}};
  TestContext ctx;
  RunParams p{.t = 2, .m = 4, .l = 2, .maxLosing = 1000};
  AnalyseLikeRun(ctx, d, p);
  EXPECT_EQ(ctx.k, 4);
  ctx.ulSkipperHigh = 0;
  ctx.ulSkipperLow = 0;
  const PassOutput r = RunPasses(ctx, false, FrozenClock);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.losing, 35u);
  EXPECT_EQ(LosingLines(r.out), BruteLosing(d, 2, 4, 2));
}

TEST(EngineText, ProgressLineAndCombCount) {
  ClockGuard guard(FrozenClock);
  TestContext ctx;
  ctx.usTestSize = 6;
  ctx.usPrintBase = 1;
  ctx.tStart = kFrozenTime - 125;
  const uint8_t comb[] = {3, 9, 17, 25, 33, 49};
  ConsoleCapture cap;
  PrintProgress(ctx, 932256, 13983816, comb, 3);
  // speed 932256 / 125 = 7458; (13983816 - 932256) / 7459 = 1749; / 4 = 437.
  EXPECT_EQ(cap.out, " 3  9 17 25 33 49     932256    2:05     7458     7:17\n");
  EXPECT_EQ(ctx.usEstimate, 437);
  cap.out.clear();
  PrintProgress(ctx, 13983816, 13983816, comb, 0);
  EXPECT_EQ(cap.out, "          Finished  13983816    2:05   111870     0:00\n");
  EXPECT_EQ(ctx.usEstimate, 0);
  cap.out.clear();
  ctx.usTestSize = 3;
  ctx.usPrintBase = 0;
  ctx.tStart = kFrozenTime;
  PrintProgress(ctx, 5, 20, comb, 0);
  EXPECT_EQ(cap.out, " 2  8 16              5    0:01        5     0:02\n");
  cap.out.clear();
  PrintProgress(ctx, 25, 20, comb, 0);
  EXPECT_EQ(cap.out, "     Finished        20    0:01       20     0:00\n");
  cap.out.clear();
  PrintCombCount("\nLosing", 3, 8);
  EXPECT_EQ(cap.out, "\nLosing combinations:       3 (37.5%)\n");
}

} // namespace
} // namespace kovra
