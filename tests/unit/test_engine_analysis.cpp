// The engine's setup and redundancy analysis: range checks, skipper settings,
// pattern tables, counters against a direct count, redundant blocks.
#include "base/fatal.hpp"
#include "test_engine_util.hpp"

#include <gtest/gtest.h>

namespace kovra {
namespace {

using namespace enginetest;

Design Blocks(unsigned v, unsigned k, std::vector<Points> blocks) {
  Design d;
  d.v = v;
  d.k = k;
  d.blocks = std::move(blocks);
  return d;
}

// Setup that is expected to end the program; returns the printed text.
std::string SetupFails(uint16_t v, uint16_t k, uint16_t t, uint16_t m, uint16_t l) {
  TestContext ctx;
  InitTestContext(ctx);
  SkipperSettings sk;
  ConsoleCapture cap;
  try {
    SetupAnalysis(ctx, v, k, t, m, l, false, 15, 1, false, false, 1, sk, false, false);
  } catch (const FatalExit& e) {
    EXPECT_EQ(e.code, 1);
    return cap.out;
  }
  ADD_FAILURE() << "setup accepted v=" << v << " k=" << k << " t=" << t << " m=" << m;
  return {};
}

std::string RangeMessage(long value, const char* label, long lo, long hi) {
  char text[256];
  std::snprintf(text, sizeof text,
                "Error: Wrong value (%ld) for %s !\n       It should be between %ld and %ld. "
                "Confer the internal limits (-j).\n\nErrExit: 1\n",
                value, label, lo, hi);
  return text;
}

TEST(EngineSetup, RangeChecksInOrderWithTheirLabels) {
  // The ErrExit line follows the two range lines; compare the range part.
  auto head = [](const std::string& s) { return s.substr(0, s.find("\nErrExit")); };
  auto want = [&](long value, const char* label, long lo, long hi) {
    return head(RangeMessage(value, label, lo, hi));
  };
  EXPECT_EQ(head(SetupFails(10, 3, 0, 3, 1)), want(0, "t", 1, 7));
  EXPECT_EQ(head(SetupFails(10, 3, 8, 8, 1)), want(8, "t", 1, 7));
  EXPECT_EQ(head(SetupFails(10, 2, 3, 3, 1)), want(2, "k", 3, 7));
  EXPECT_EQ(head(SetupFails(10, 8, 3, 3, 1)), want(8, "k", 3, 7));
  EXPECT_EQ(head(SetupFails(5, 6, 3, 6, 1)), want(5, "v", 6, 54));
  EXPECT_EQ(head(SetupFails(55, 6, 3, 6, 1)), want(55, "v", 6, 54));
  EXPECT_EQ(head(SetupFails(49, 6, 3, 2, 1)), want(2, "m", 3, 7));
  EXPECT_EQ(head(SetupFails(49, 6, 3, 8, 1)), want(8, "m", 3, 7));
  EXPECT_EQ(head(SetupFails(49, 6, 3, 6, 0)), want(0, "l", 1, 255));
  EXPECT_EQ(head(SetupFails(49, 6, 3, 6, 256)), want(256, "l", 1, 255));
  // t is checked before k, k before v.
  EXPECT_EQ(head(SetupFails(2, 9, 0, 3, 0)), want(0, "t", 1, 7));
}

struct SkipCase {
  uint16_t v, k, m;
  uint32_t high, low;
  uint8_t lowGiven;
  uint32_t wantHigh, wantLow;
};

TEST(EngineSetup, SkipperSettingsAreSettledAndWrittenBack) {
  const SkipCase cases[] = {
      {49, 6, 6, 7, 0, 0, 7, 3},  // 13,983,816 / 4,600,000 = 3
      {49, 6, 6, 4, 0, 0, 6, 3},  // raised to low + 3
      {30, 6, 6, 7, 3, 0, 7, 0},  // small designs: the last pass is complete
      {49, 6, 6, 7, 2, 2, 7, 2},  // a given -q value stays
      {49, 6, 6, 2, 0, 0, 5, 2},  // low cut to high, then high raised
      {54, 7, 7, 7, 0, 0, 10, 7}, // 177,100,560 / 4,600,000 = 38, cut to 7
      {49, 3, 6, 7, 0, 0, 7, 3},  // k < m: C(v, m) counts
      {49, 6, 6, 0, 0, 0, 0, 0},  // low 0 never raises high
  };
  for (const SkipCase& c : cases) {
    TestContext ctx;
    InitTestContext(ctx);
    SkipperSettings sk{c.high, c.low, c.lowGiven};
    ConsoleCapture cap;
    ASSERT_TRUE(
        SetupAnalysis(ctx, c.v, c.k, 3, c.m, 1, false, 15, 1, false, false, 1, sk, false, false));
    EXPECT_EQ(sk.ulSkipperHigh, c.wantHigh) << c.v << "," << c.k << "," << c.high;
    EXPECT_EQ(sk.ulSkipperLow, c.wantLow) << c.v << "," << c.k << "," << c.high;
    EXPECT_EQ(ctx.ulSkipperHigh, c.wantHigh);
    EXPECT_EQ(ctx.ulSkipperLow, c.wantLow);
    EXPECT_EQ(cap.out, "");
  }
  TestContext ctx;
  InitTestContext(ctx);
  SkipperSettings sk;
  ConsoleCapture cap;
  SetupAnalysis(ctx, 49, 6, 3, 6, 1, false, 15, 1, false, false, 1, sk, true, false);
  EXPECT_EQ(cap.out, "gulSkipperHi=7, gulSkipperLo=3\n");
}

TEST(EngineSetup, FieldsAndPatternTables) {
  TestContext ctx;
  InitTestContext(ctx);
  SkipperSettings sk;
  ASSERT_TRUE(SetupAnalysis(ctx, 20, 2, 1, 4, 255, true, 9, 4, true, true, 0, sk, false, true));
  EXPECT_EQ(ctx.usTestSize, 4);
  EXPECT_EQ(ctx.fKLessM, 1);
  EXPECT_EQ(ctx.usKT, 2);
  EXPECT_EQ(ctx.usMK, 6);
  EXPECT_EQ(ctx.ulCnVK, 190u);
  EXPECT_EQ(ctx.ulCnVT, 20u);
  EXPECT_EQ(ctx.ulCnVM, 4845u);
  EXPECT_EQ(ctx.bNeeded, 255);
  EXPECT_EQ(ctx.bCap, 255);
  EXPECT_EQ(ctx.usPrintBase, 0);
  EXPECT_EQ(ctx.ulMaxReport, 9u);
  EXPECT_EQ(ctx.ulMaxLosing, 4u);
  const uint8_t kWant[6][7] = {{1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}};
  for (int p = 0; p < 6; ++p)
    for (int i = 0; i < 7; ++i) EXPECT_EQ(ctx.kPatterns[p][i], kWant[p][i]) << p << "," << i;
  EXPECT_EQ(ctx.tPatterns[0][0], 1);
  EXPECT_EQ(ctx.tPatterns[1][0], 2);
  EXPECT_EQ(ctx.tPatterns[2][0], 0);

  ASSERT_TRUE(
      SetupAnalysis(ctx, 20, 4, 2, 4, 254, false, 15, 1, false, false, 1, sk, false, false));
  EXPECT_EQ(ctx.fKLessM, 0);
  EXPECT_EQ(ctx.usMK, 0);
  EXPECT_EQ(ctx.ulCnVM, 0u);
  EXPECT_EQ(ctx.bNeeded, 254);
  const uint8_t kPairs[6][2] = {{1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}};
  for (int p = 0; p < 6; ++p) {
    EXPECT_EQ(ctx.tPatterns[p][0], kPairs[p][0]);
    EXPECT_EQ(ctx.tPatterns[p][1], kPairs[p][1]);
    EXPECT_EQ(ctx.tPatterns[p][2], 0);
  }
  EXPECT_EQ(ctx.kPatterns[0][0], 0) << "a second setup clears the tables";
}

TEST(EngineSetup, ResetCountersClearsCountersAndSummary) {
  TestContext ctx;
  const Design d = Blocks(8, 3, {{1, 2, 3}, {2, 3, 4}});
  RunParams p{.t = 2, .m = 3};
  AnalyseLikeRun(ctx, d, p);
  EXPECT_EQ(ctx.ulSeen, 2u);
  ctx.histogram[4] = 9;
  ctx.sMaxCount = 4;
  ctx.ulUncovered = 3;
  ctx.usEstimate = 0;
  ASSERT_TRUE(ResetCounters(ctx));
  for (uint32_t i = 0; i < ctx.ulCnVT; ++i) EXPECT_EQ(ctx.counters[i], 0);
  EXPECT_EQ(ctx.histogram[4], 0u);
  EXPECT_EQ(ctx.sMinCount, 256);
  EXPECT_EQ(ctx.sMaxCount, -1);
  EXPECT_EQ(ctx.ulUncovered, 0u);
  EXPECT_EQ(ctx.usEstimate, 5);
  EXPECT_EQ(ctx.ulSeen, 0u);
  EXPECT_EQ(ctx.ulKept, 0u);
  FreeCounters(ctx);
  EXPECT_EQ(ctx.counters, nullptr);
}

// Counters against a direct count: for every t-subset, the accepted blocks
// that contain it, at most 255.
void ExpectCountersMatch(const TestContext& ctx, const std::vector<Block>& accepted, unsigned k) {
  std::vector<uint64_t> masks;
  for (const Block& b : accepted) {
    uint64_t m = 0;
    for (unsigned i = 0; i < k; ++i) m |= uint64_t{1} << b.pt[i];
    masks.push_back(m);
  }
  ForEachSubset(ctx.v, ctx.t, [&](const Points& c, uint64_t ts) {
    unsigned n = 0;
    for (uint64_t m : masks) n += (m & ts) == ts;
    uint8_t tset[8];
    for (size_t i = 0; i < c.size(); ++i) tset[i] = static_cast<uint8_t>(c[i]);
    const uint64_t idx = RankComb(tset, ctx.v, ctx.t) - 1;
    ASSERT_EQ(ctx.counters[idx], n > 255 ? 255u : n) << "t-subset starting " << c[0];
  });
}

TEST(EngineAnalysis, CountersMatchADirectCount) {
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    const unsigned v = 8 + seed % 7, k = 2 + seed % 5, t = 1 + seed % k;
    const Design d = RandomDesign(v, k, 6 + seed * 3, seed);
    TestContext ctx;
    RunParams p{.t = t, .m = k};
    p.noRedund = true; // every block counted
    const std::vector<Block> kept = AnalyseLikeRun(ctx, d, p);
    EXPECT_EQ(kept.size(), d.blocks.size());
    EXPECT_EQ(ctx.ulKept, d.blocks.size());
    ExpectCountersMatch(ctx, kept, k);
    // With redundancy testing the kept blocks are the ones counted.
    p.noRedund = false;
    p.l = 1 + seed % 3;
    const std::vector<Block> kept2 = AnalyseLikeRun(ctx, d, p);
    EXPECT_EQ(ctx.ulKept, kept2.size());
    EXPECT_EQ(ctx.ulSeen, d.blocks.size());
    ExpectCountersMatch(ctx, kept2, k);
  }
}

TEST(EngineAnalysis, DuplicateBlockIsRedundantAtL1NotAtL2) {
  const Design d = Blocks(7, 3, {{1, 2, 3}, {1, 2, 3}, {4, 5, 6}});
  TestContext ctx;
  RunParams p{.t = 2, .m = 3, .redundants = true};
  {
    ConsoleCapture cap;
    const std::vector<Block> kept = AnalyseLikeRun(ctx, d, p);
    EXPECT_EQ(cap.out, "Redundant block: #2 ( 1  2  3)\n");
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[1].pt[0], 4) << "the last block took the redundant block's place";
    EXPECT_EQ(ctx.ulSeen, 3u);
    EXPECT_EQ(ctx.ulKept, 2u);
  }
  p.l = 2;
  {
    ConsoleCapture cap;
    EXPECT_EQ(AnalyseLikeRun(ctx, d, p).size(), 3u);
    EXPECT_EQ(cap.out, "");
  }
}

TEST(EngineAnalysis, RedundantLineFormat) {
  // The third examined block {1,2,3}, and two-digit points.
  const Design d = Blocks(12, 3, {{1, 2, 3}, {10, 11, 12}, {1, 2, 3}, {10, 11, 12}});
  TestContext ctx;
  RunParams p{.t = 3, .m = 3, .redundants = true};
  ConsoleCapture cap;
  AnalyseLikeRun(ctx, d, p);
  // Block 3 is redundant; the last block {10,11,12} moves into its place and
  // is examined as the fourth.
  EXPECT_EQ(cap.out, "Redundant block: #3 ( 1  2  3)\nRedundant block: #4 (10 11 12)\n");
  p.redundants = false;
  cap.out.clear();
  AnalyseLikeRun(ctx, d, p);
  EXPECT_EQ(cap.out, "") << "without -d nothing is printed";
  EXPECT_EQ(ctx.ulKept, 2u);
}

TEST(EngineAnalysis, IsBlockNeededFollowsTheCounters) {
  const Design d = Blocks(6, 2, {{1, 2}, {3, 4}});
  TestContext ctx;
  InitTestContext(ctx);
  SkipperSettings sk;
  std::vector<Block> blocks = ToBlocks(d);
  SetupAnalysis(ctx, 6, 2, 1, 2, 1, false, 15, 1, false, false, 1, sk, false, false);
  ASSERT_TRUE(AnalyseBlock(ctx, blocks[0]));
  EXPECT_FALSE(IsBlockNeeded(ctx, blocks[0]));
  EXPECT_TRUE(IsBlockNeeded(ctx, blocks[1]));
  ASSERT_TRUE(AnalyseBlock(ctx, blocks[1]));
  EXPECT_FALSE(IsBlockNeeded(ctx, blocks[1]));
  Block half{};
  half.pt[0] = 2;
  half.pt[1] = 5;
  EXPECT_TRUE(IsBlockNeeded(ctx, half)) << "point 5 is not covered yet";
}

TEST(EngineAnalysis, CountersSaturateAt255) {
  std::vector<Points> same(300, Points{1, 2, 3});
  same.push_back({3, 4, 5});
  const Design d = Blocks(5, 3, same);
  TestContext ctx;
  RunParams p{.t = 2, .m = 3, .noRedund = true};
  AnalyseLikeRun(ctx, d, p);
  EXPECT_EQ(ctx.ulKept, 301u);
  const uint8_t p12[] = {1, 2}, p34[] = {3, 4}, p35[] = {3, 5}, p14[] = {1, 4};
  EXPECT_EQ(ctx.counters[RankComb(p12, 5, 2) - 1], 255);
  EXPECT_EQ(ctx.counters[RankComb(p34, 5, 2) - 1], 1);
  EXPECT_EQ(ctx.counters[RankComb(p35, 5, 2) - 1], 1);
  EXPECT_EQ(ctx.counters[RankComb(p14, 5, 2) - 1], 0);
  // With l = 255 the analysis keeps 255 copies; the rest adds nothing.
  p.noRedund = false;
  p.l = 255;
  p.redundants = true;
  ConsoleCapture cap;
  const std::vector<Block> kept = AnalyseLikeRun(ctx, d, p);
  EXPECT_EQ(kept.size(), 256u);
  EXPECT_EQ(ctx.ulSeen, 301u);
  EXPECT_EQ(CountLines(cap.out, "Redundant block: #"), 45u);
  EXPECT_EQ(ctx.counters[RankComb(p12, 5, 2) - 1], 255);
}

TEST(EngineAnalysis, NoRedundancyTestingAcceptsEveryBlockSilently) {
  const Design d = Blocks(9, 4, {{1, 2, 3, 4}, {1, 2, 3, 4}, {1, 2, 3, 4}, {5, 6, 7, 8}});
  TestContext ctx;
  RunParams p{.t = 2, .m = 4, .redundants = true, .noRedund = true};
  ConsoleCapture cap;
  EXPECT_EQ(AnalyseLikeRun(ctx, d, p).size(), 4u);
  EXPECT_EQ(cap.out, "");
  const uint8_t p12[] = {1, 2};
  EXPECT_EQ(ctx.counters[RankComb(p12, 9, 2) - 1], 3);
}

TEST(EngineAnalysis, BlocksAreReadAsPointSets) {
  // An unsorted block counts like its sorted form; points outside 1..v and
  // repeated points never reach the counters (the sanitizers watch the
  // indexes).
  TestContext ctx;
  InitTestContext(ctx);
  SkipperSettings sk;
  SetupAnalysis(ctx, 6, 3, 2, 3, 1, false, 15, 1, false, false, 1, sk, false, true);
  Block unsorted{};
  unsorted.pt[0] = 3;
  unsorted.pt[1] = 1;
  unsorted.pt[2] = 2;
  EXPECT_TRUE(AnalyseBlock(ctx, unsorted));
  Block wild{};
  wild.pt[0] = 0;
  wild.pt[1] = 200;
  wild.pt[2] = 4;
  EXPECT_TRUE(AnalyseBlock(ctx, wild)); // -y3 accepts it, nothing to count
  Block twice{};
  twice.pt[0] = 5;
  twice.pt[1] = 5;
  twice.pt[2] = 6;
  EXPECT_TRUE(AnalyseBlock(ctx, twice));
  uint32_t total = 0;
  for (uint32_t i = 0; i < ctx.ulCnVT; ++i) total += ctx.counters[i];
  EXPECT_EQ(total, 4u) << "{1,2},{1,3},{2,3} and {5,6}";
  const uint8_t p56[] = {5, 6}, p13[] = {1, 3};
  EXPECT_EQ(ctx.counters[RankComb(p56, 6, 2) - 1], 1);
  EXPECT_EQ(ctx.counters[RankComb(p13, 6, 2) - 1], 1);
  SetupAnalysis(ctx, 6, 3, 2, 3, 1, false, 15, 1, false, false, 1, sk, false, false);
  EXPECT_FALSE(IsBlockNeeded(ctx, wild)) << "nothing in it can cover anything";
}

} // namespace
} // namespace kovra
