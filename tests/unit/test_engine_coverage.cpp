// The coverage test: which combinations each pass visits, the complete pass
// against the plain walk and against brute force, and the printed text.
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
void EmptyDesign(TestContext& ctx, uint16_t v, uint16_t m, uint32_t skipper) {
  InitTestContext(ctx);
  SkipperSettings sk;
  SetupAnalysis(ctx, v, m, 1, m, 1, false, 15, 2147483647u, false, false, 1, sk, false, false);
  ctx.ulSkipperHigh = skipper;
  ctx.ulSkipperLow = skipper;
}

TEST(EngineSkipper, OneStepSkipperVisitsEveryOtherRun) {
  TestContext ctx;
  EmptyDesign(ctx, 6, 2, 1);
  const PassOutput r = RunPasses(ctx, false, FrozenClock);
  const std::vector<Points> want = {{1, 2}, {1, 4}, {1, 6}, {3, 4}, {3, 6}, {5, 6}};
  EXPECT_EQ(LosingLines(r.out), want);
  EXPECT_EQ(r.losing, 6u);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.combs, 15u);
  EXPECT_EQ(r.out.substr(0, 14), "--- (1/1) ---\n");
  EXPECT_EQ(r.out, RunPasses(ctx, true, FrozenClock).out);
}

TEST(EngineSkipper, SkipperThreeOnLottoSixFromFortyNine) {
  TestContext ctx;
  EmptyDesign(ctx, 49, 6, 3);
  const PassOutput r = RunPasses(ctx, false, FrozenClock);
  EXPECT_EQ(r.losing, 18161u);
  EXPECT_EQ(LosingLines(r.out).size(), 18161u);
  EXPECT_EQ(r.combs, 13983816u);
  EXPECT_EQ(r.out, RunPasses(ctx, true, FrozenClock).out);
}

TEST(EngineSkipper, CompletePassVisitsAll) {
  TestContext ctx;
  EmptyDesign(ctx, 9, 4, 0);
  const PassOutput r = RunPasses(ctx, false, FrozenClock);
  EXPECT_EQ(r.losing, 126u);
  std::vector<Points> all;
  ForEachSubset(9, 4, [&](const Points& c, uint64_t) { all.push_back(c); });
  EXPECT_EQ(LosingLines(r.out), all);
  EXPECT_EQ(r.out, RunPasses(ctx, true, FrozenClock).out);
}

TEST(EngineSkipper, PassesRunFromHighToLowAndTheLastCounts) {
  TestContext ctx;
  EmptyDesign(ctx, 8, 3, 0);
  ctx.ulSkipperHigh = 2;
  ctx.ulSkipperLow = 0;
  ctx.fInternalOptions = 1;
  const PassOutput r = RunPasses(ctx, false, FrozenClock);
  EXPECT_EQ(CountLines(r.out, "--- skipper="), 3u);
  EXPECT_NE(r.out.find("--- skipper=2/0 ---\n"), std::string::npos);
  EXPECT_NE(r.out.find("--- skipper=0/0 ---\n"), std::string::npos);
  EXPECT_EQ(r.losing, 56u) << "the count of the complete pass";
  EXPECT_EQ(r.out, RunPasses(ctx, true, FrozenClock).out);

  // No pass when high is below low: nothing losing, the verdict is OK.
  ctx.ulSkipperHigh = 1;
  ctx.ulSkipperLow = 2;
  const PassOutput none = RunPasses(ctx, false, FrozenClock);
  EXPECT_TRUE(none.ok);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.losing, 0u);
}

TEST(EngineSkipper, NegativeLowSkipperStopsAtTheCompletePass) {
  // A low value read as a negative 16-bit number would mean passes that
  // never move on; the walk ends with the complete pass instead.
  TestContext ctx;
  EmptyDesign(ctx, 7, 3, 0);
  ctx.ulSkipperHigh = 1;
  ctx.ulSkipperLow = 65535;
  const PassOutput r = RunPasses(ctx, false, FrozenClock);
  EXPECT_EQ(CountLines(r.out, "--- ("), 2u);
  EXPECT_EQ(r.losing, 35u);
}

struct Grid {
  unsigned v, k, t, m, l, b;
};

// Designs for the three algorithms (m = t is the counter scan, tested
// below): k >= m direct, k < m through k-subsets, m < k by the derived
// counters; with l = 1 and l > 1.
const Grid kGrid[] = {
    {10, 3, 1, 3, 1, 2},  {10, 3, 1, 3, 2, 5},  {12, 5, 2, 5, 1, 5},  {12, 5, 2, 5, 2, 12},
    {14, 4, 3, 4, 1, 40}, {16, 6, 3, 6, 1, 25}, {16, 6, 3, 6, 2, 60}, {13, 5, 4, 5, 1, 60},
    {12, 3, 2, 5, 1, 8},  {11, 2, 1, 4, 1, 3},  {13, 4, 3, 6, 1, 30}, {14, 3, 2, 6, 2, 20},
    {12, 6, 2, 4, 1, 4},  {12, 6, 2, 4, 2, 6},  {13, 7, 3, 5, 1, 6},  {14, 6, 1, 2, 1, 2},
    {15, 2, 1, 7, 3, 9},  {15, 7, 6, 7, 1, 80},
};

TEST(EngineCoverage, CompletePassMatchesBruteForceAndThePlainWalk) {
  uint32_t seed = 7;
  for (const Grid& g : kGrid) {
    const Design d = RandomDesign(g.v, g.k, g.b, ++seed);
    TestContext ctx;
    RunParams p{.t = g.t, .m = g.m, .l = g.l, .maxLosing = 2147483647u};
    AnalyseLikeRun(ctx, d, p);
    ctx.ulSkipperHigh = 0;
    ctx.ulSkipperLow = 0;
    const PassOutput fast = RunPasses(ctx, false, FrozenClock);
    const std::vector<Points> brute = BruteLosing(d, g.t, g.m, g.l);
    const std::string name = "C(" + std::to_string(g.v) + "," + std::to_string(g.k) + "," +
                             std::to_string(g.t) + "," + std::to_string(g.m) + "," +
                             std::to_string(g.l) + ")";
    EXPECT_EQ(LosingLines(fast.out), brute) << name;
    EXPECT_EQ(fast.losing, brute.size()) << name;
    EXPECT_EQ(fast.ok, brute.empty()) << name;
    EXPECT_EQ(fast.out, RunPasses(ctx, true, FrozenClock).out) << name;
    // A clock that runs keeps the estimate up, so more progress lines come.
    EXPECT_EQ(RunPasses(ctx, false, TickingClock).out, RunPasses(ctx, true, TickingClock).out)
        << name;
  }
}

TEST(EngineCoverage, EveryPassMatchesThePlainWalk) {
  uint32_t seed = 100;
  const uint32_t maxLosings[] = {1, 3, 2147483647u};
  const uint32_t maxReports[] = {1, 15, 1000};
  for (const Grid& g : kGrid) {
    for (uint32_t maxLosing : maxLosings) {
      const Design d = RandomDesign(g.v, g.k, g.b, ++seed);
      TestContext ctx;
      RunParams p{.t = g.t,
                  .m = g.m,
                  .l = g.l,
                  .maxLosing = maxLosing,
                  .maxReport = maxReports[seed % 3],
                  .internal = seed % 2 == 0,
                  .printBase = static_cast<uint16_t>(seed % 3)};
      {
        ConsoleCapture quiet;
        AnalyseLikeRun(ctx, d, p);
      }
      ctx.ulSkipperHigh = 9; // one pass above 7 prints no progress
      ctx.ulSkipperLow = seed % 2;
      for (ClockFn clock : {&FrozenClock, &TickingClock}) {
        const PassOutput fast = RunPasses(ctx, false, clock);
        const PassOutput plain = RunPasses(ctx, true, clock);
        EXPECT_EQ(fast.out, plain.out) << g.v << "," << g.k << "," << g.t << "," << g.m;
        EXPECT_EQ(fast.ok, plain.ok);
        EXPECT_EQ(fast.losing, plain.losing);
        EXPECT_EQ(fast.combs, plain.combs);
      }
    }
  }
}

TEST(EngineCoverage, LargerWalksMatchThePlainWalk) {
  // Deeper prefixes and many progress lines.
  const Grid grid[] = {
      {22, 6, 3, 6, 1, 40}, {20, 3, 2, 6, 1, 30}, {21, 7, 4, 7, 2, 150}, {19, 7, 2, 5, 2, 12}};
  uint32_t seed = 300;
  for (const Grid& g : grid) {
    const Design d = RandomDesign(g.v, g.k, g.b, ++seed);
    TestContext ctx;
    RunParams p{.t = g.t, .m = g.m, .l = g.l, .maxLosing = 2147483647u, .maxReport = 200};
    AnalyseLikeRun(ctx, d, p);
    ctx.ulSkipperHigh = 4;
    ctx.ulSkipperLow = 0;
    for (ClockFn clock : {&FrozenClock, &TickingClock}) {
      const PassOutput fast = RunPasses(ctx, false, clock);
      EXPECT_EQ(fast.out, RunPasses(ctx, true, clock).out) << g.v << "," << g.k << "," << g.m;
      EXPECT_GT(CountLines(fast.out, ":0"), 5u) << "progress lines were printed";
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

TEST(EngineCoverage, ScanPrintsInTheFileBase) {
  uint8_t counters[10] = {1, 0, 1, 1, 1, 1, 1, 1, 1, 0}; // C(5,2): {1,3} and {4,5} uncovered
  uint32_t losing = 0;
  ConsoleCapture cap;
  EXPECT_FALSE(ScanTSetCounters(5, 2, 1, counters, &losing, 100, 0));
  EXPECT_EQ(cap.out, " 0  2  : LOSING combination !!!\n 3  4  : LOSING combination !!!\n");
  EXPECT_EQ(losing, 2u);
}

TEST(EngineCoverage, DerivedCountersCountEachBlockOncePerTSet) {
  // v = 7, k = 6, t = 2, m = 4, l = 2 with the single block {1,...,6}: no
  // 4-set meets two blocks, so everything is losing; counting the block's
  // 4-subsets one by one would put {1,2} into six "blocks" and pass
  // {1,2,3,7}.
  Design d;
  d.v = 7;
  d.k = 6;
  d.blocks = {{1, 2, 3, 4, 5, 6}};
  TestContext ctx;
  InitTestContext(ctx);
  SkipperSettings sk;
  RunParams p{.t = 2, .m = 4, .l = 2, .maxLosing = 1000};
  AnalyseLikeRun(ctx, d, p);
  EXPECT_EQ(ctx.k, 4);
  EXPECT_EQ(ctx.ulSeen, 1u);
  ctx.ulSkipperHigh = 0;
  ctx.ulSkipperLow = 0;
  const PassOutput r = RunPasses(ctx, false, FrozenClock);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.losing, 35u);
  const std::vector<Points> losing = LosingLines(r.out);
  EXPECT_NE(std::find(losing.begin(), losing.end(), Points{1, 2, 3, 7}), losing.end());
  EXPECT_EQ(losing, BruteLosing(d, 2, 4, 2));

  // The m-subsets counted one by one would reach 2 for {1,2}.
  uint32_t count = 0;
  const std::vector<Block> design = ToBlocks(d);
  const BlockArray derived = ExplodeBlocks(design.data(), 1, 4, &count, 0);
  ASSERT_EQ(count, 15u);
  SetupAnalysis(ctx, 7, 4, 2, 4, 2, false, 15, 1000, false, false, 1, sk, false, false);
  for (uint32_t i = 0; i < count; ++i) AnalyseBlock(ctx, derived[i]);
  const uint8_t p12[] = {1, 2};
  EXPECT_GE(ctx.counters[RankComb(p12, 7, 2) - 1], 2);
  SetupAnalysis(ctx, 7, 4, 2, 4, 2, false, 15, 1000, false, false, 1, sk, false, false);
  AnalyseDerivedDesign(ctx, design.data(), 1);
  EXPECT_EQ(ctx.counters[RankComb(p12, 7, 2) - 1], 1);

  // Two blocks sharing {1,2,3,4,5}: now pairs inside it do lie in two blocks.
  d.blocks.push_back({1, 2, 3, 4, 5, 7});
  AnalyseLikeRun(ctx, d, p);
  ctx.ulSkipperHigh = 0;
  ctx.ulSkipperLow = 0;
  const PassOutput two = RunPasses(ctx, false, FrozenClock);
  EXPECT_EQ(LosingLines(two.out), BruteLosing(d, 2, 4, 2));
  EXPECT_EQ(two.losing, 0u + static_cast<uint32_t>(BruteLosing(d, 2, 4, 2).size()));
}

TEST(EngineCoverage, DerivedCountersKeepTheLambdaOneVerdicts) {
  // With l = 1 counting the m-subsets one by one and counting each block
  // once give the same output.
  uint32_t seed = 40;
  const Grid grid[] = {
      {12, 6, 2, 4, 1, 4}, {13, 7, 3, 5, 1, 6}, {11, 5, 3, 4, 1, 9}, {14, 7, 2, 3, 1, 3}};
  for (const Grid& g : grid) {
    const Design d = RandomDesign(g.v, g.k, g.b, ++seed);
    const std::vector<Block> blocks = ToBlocks(d);
    uint32_t count = 0;
    const BlockArray derived =
        ExplodeBlocks(blocks.data(), static_cast<uint32_t>(blocks.size()), g.m, &count, 0);
    ASSERT_NE(derived, nullptr);
    std::string outs[2];
    for (int way = 0; way < 2; ++way) {
      TestContext ctx;
      InitTestContext(ctx);
      SkipperSettings sk{3, 0, 0};
      SetupAnalysis(ctx, static_cast<uint16_t>(g.v), g.m, g.t, g.m, 1, false, 15, 50, false, false,
                    1, sk, false, false);
      if (way == 0) {
        for (uint32_t i = 0; i < count; ++i) AnalyseBlock(ctx, derived[i]);
      } else {
        AnalyseDerivedDesign(ctx, blocks.data(), static_cast<uint32_t>(blocks.size()));
      }
      outs[way] = RunPasses(ctx, false, FrozenClock).out;
    }
    EXPECT_EQ(outs[0], outs[1]) << g.v << "," << g.k << "," << g.m;
  }
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
  EXPECT_EQ(ctx.tNow, kFrozenTime);
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
  PrintCombCount(ctx, "\nLosing", 3, 8);
  EXPECT_EQ(cap.out, "\nLosing combinations:       3 (37.5%)\n");
}

// TestDesign from the head to the verdict, on designs small enough to follow
// by hand.
std::string TestDesignText(const Design& d, const RunParams& p, uint32_t high, uint32_t low,
                           bool* ok) {
  TestContext ctx;
  AnalyseLikeRun(ctx, d, p);
  ctx.ulSkipperHigh = high;
  ctx.ulSkipperLow = low;
  ClockGuard guard(FrozenClock);
  ConsoleCapture cap;
  *ok = TestDesign(ctx, "small.txt");
  return cap.out;
}

TEST(EngineText, CounterScanTranscript) {
  Design d;
  d.v = 5;
  d.k = 2;
  d.blocks = {{1, 2}, {3, 4}};
  RunParams p{.t = 2, .m = 2, .maxLosing = 3, .printBase = 0};
  bool ok = true;
  const std::string date = DateText(kFrozenTime);
  EXPECT_EQ(TestDesignText(d, p, 7, 0, &ok), "\nTesting started : " + date +
                                                 "\n\nMaxReport: 15 \nCn(5,2) : 10 \n\n"
                                                 "  Combination   Covered  Elapsed   Speed  "
                                                 "EstRemain\n"
                                                 " 0  2  : LOSING combination !!!\n"
                                                 " 0  3  : LOSING combination !!!\n"
                                                 " 0  4  : LOSING combination !!!\n"
                                                 "     Finished        10    0:01       10     "
                                                 "0:00\n"
                                                 "\nLosing combinations:       3 (30.0%)\n"
                                                 "\nTesting finished: " +
                                                 date +
                                                 "\nTime       : 0 seconds\n"
                                                 "TestRetCode: FAIL! (small.txt)\n");
  EXPECT_FALSE(ok);
}

TEST(EngineText, CompletePassTranscript) {
  Design d;
  d.v = 6;
  d.k = 3;
  d.blocks = {{1, 2, 3}};
  RunParams p{.t = 2, .m = 3, .maxLosing = 100};
  bool ok = true;
  const std::string date = DateText(kFrozenTime);
  // The report interval is 20 / 15 + 1 = 2: the first carry above rank 2 is
  // {1,3,4} (rank 5), and its estimate of 15 / 6 = 2 seconds ends the lines.
  EXPECT_EQ(TestDesignText(d, p, 0, 0, &ok),
            "\nTesting started : " + date +
                "\n\nMaxReport: 15 \nCn(6,3) : 20 \n\n"
                "  Combination   Covered  Elapsed   Speed  EstRemain\n"
                "--- (0/0) ---\n"
                " 1  3  4              5    0:01        5     0:02\n"
                " 1  4  5  : LOSING combination !!!\n"
                " 1  4  6  : LOSING combination !!!\n"
                " 1  5  6  : LOSING combination !!!\n"
                " 2  4  5  : LOSING combination !!!\n"
                " 2  4  6  : LOSING combination !!!\n"
                " 2  5  6  : LOSING combination !!!\n"
                " 3  4  5  : LOSING combination !!!\n"
                " 3  4  6  : LOSING combination !!!\n"
                " 3  5  6  : LOSING combination !!!\n"
                " 4  5  6  : LOSING combination !!!\n"
                "     Finished        20    0:01       20     0:00\n"
                "\nLosing combinations:      10 (50.0%)\n"
                "\nTesting finished: " +
                date +
                "\nTime       : 0 seconds\n"
                "TestRetCode: FAIL! (small.txt)\n");
  EXPECT_FALSE(ok);

  d.blocks.push_back({4, 5, 6});
  const std::string passed = TestDesignText(d, p, 1, 0, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(CountLines(passed, "--- ("), 2u);
  EXPECT_NE(passed.find("--- (1/0) ---\n"), std::string::npos);
  EXPECT_NE(passed.find("\nLosing combinations:       0 (0.0%)\n"), std::string::npos);
  EXPECT_NE(passed.find("TestRetCode: OK (small.txt)\n"), std::string::npos);
}

TEST(EngineText, WideCombinationColumn) {
  Design d;
  d.v = 10;
  d.k = 6;
  d.blocks = {{1, 2, 3, 4, 5, 6}};
  RunParams p{.t = 3, .m = 6};
  bool ok = true;
  const std::string out = TestDesignText(d, p, 0, 0, &ok);
  EXPECT_NE(out.find("\n       Combination   Covered  Elapsed   Speed  EstRemain\n"),
            std::string::npos);
  EXPECT_NE(out.find("\n          Finished       210    0:01      210     0:00\n"),
            std::string::npos);
  EXPECT_NE(out.find(" 1  2  7  8  9 10  : LOSING"), std::string::npos) << out;
}

} // namespace
} // namespace kovra
