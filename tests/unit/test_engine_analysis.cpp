// The engine's setup and redundancy analysis: range checks, skipper settings,
// counters against a direct count, redundant blocks.
#include "base/fatal.hpp"
#include "test_engine_util.hpp"

#include <gtest/gtest.h>

namespace kovra {
namespace {

using namespace enginetest;

TEST(EngineSetup, RangeChecksInOrderWithTheirLabels) {
  struct Case {
    uint16_t v, k, t, m, l;
    const char* want; // the range lines; "ErrExit: 1" follows
  };
  const Case cases[] = {
      {10, 3, 0, 3, 1, "(0) for t !\n       It should be between 1 and 7."},
      {10, 8, 3, 3, 1, "(8) for k !\n       It should be between 3 and 7."},
      {5, 6, 3, 6, 1, "(5) for v !\n       It should be between 6 and 54."},
      {55, 6, 3, 6, 1, "(55) for v !\n       It should be between 6 and 54."},
      {49, 6, 3, 2, 1, "(2) for m !\n       It should be between 3 and 7."},
      {49, 6, 3, 8, 1, "(8) for m !\n       It should be between 3 and 7."},
      {49, 6, 3, 6, 256, "(256) for l !\n       It should be between 1 and 255."},
      {2, 9, 0, 3, 0, "(0) for t !\n       It should be between 1 and 7."}, // t, then k, then v
  };
  for (const Case& c : cases) {
    TestContext ctx;
    ConsoleCapture cap;
    EXPECT_THROW(SetupAnalysis(ctx, DesignParams{c.v, c.k, c.t, c.m, c.l}, {}), FatalExit);
    EXPECT_EQ(cap.out, "Error: Wrong value " + std::string(c.want) +
                           " Confer the internal limits (-j).\n\nErrExit: 1\n");
  }
}

TEST(EngineSetup, SkipperSettingsAreSettledInTheContextOnly) {
  struct Case {
    uint16_t v, k, m;
    uint32_t high, low;
    uint32_t wantHigh, wantLow;
  };
  const Case cases[] = {
      {54, 7, 7, 7, 0, 7, 0}, // the largest designs too: the last pass is complete
      {49, 6, 6, 4, 3, 6, 3}, // raised to low + 3
      {49, 6, 6, 7, 2, 7, 2}, // a given -q value stays
      {49, 6, 6, 2, 5, 5, 2}, // low cut to high, then high raised
      {49, 6, 6, 0, 0, 0, 0}, // low 0 never raises high
  };
  for (const Case& c : cases) {
    TestContext ctx;
    AnalysisOptions opt;
    opt.skippers = SkipperSettings{c.high, c.low};
    SetupAnalysis(ctx, DesignParams{c.v, c.k, 3, c.m, 1}, opt);
    EXPECT_EQ(ctx.ulSkipperHigh, c.wantHigh) << c.v << "," << c.high << "," << c.low;
    EXPECT_EQ(ctx.ulSkipperLow, c.wantLow) << c.v << "," << c.high << "," << c.low;
  }
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
    ASSERT_EQ(ctx.counters[RankComb(tset, ctx.v, ctx.t) - 1], n > 255 ? 255u : n)
        << "t-subset starting " << c[0];
  });
}

TEST(EngineAnalysis, CountersMatchADirectCount) {
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    const unsigned v = 8 + seed % 7, k = 2 + seed % 5, t = 1 + seed % k;
    const Design d = RandomDesign(v, k, 6 + seed * 3, seed);
    TestContext ctx;
    RunParams p{.t = t, .m = k};
    p.noRedund = true; // -y3: every block counted
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

TEST(EngineAnalysis, RepeatedBlocksAreRedundantAtL1NotAtL2) {
  const Design d{12, 3, {{1, 2, 3}, {10, 11, 12}, {1, 2, 3}, {10, 11, 12}}};
  TestContext ctx;
  RunParams p{.t = 2, .m = 3, .redundants = true};
  ConsoleCapture cap;
  EXPECT_EQ(AnalyseLikeRun(ctx, d, p).size(), 2u);
  // Block 3 is redundant; the last block moves into its place and is
  // examined as the fourth.
  EXPECT_EQ(cap.out, "Redundant block: #3 ( 1  2  3)\nRedundant block: #4 (10 11 12)\n");
  EXPECT_EQ(ctx.ulSeen, 4u);
  p.l = 2;
  cap.out.clear();
  EXPECT_EQ(AnalyseLikeRun(ctx, d, p).size(), 4u);
  EXPECT_EQ(cap.out, "");
}

TEST(EngineAnalysis, CountersSaturateAt255) {
  std::vector<Points> same(300, Points{1, 2, 3});
  same.push_back({3, 4, 5});
  const Design d{5, 3, same};
  TestContext ctx;
  RunParams p{.t = 2, .m = 3, .noRedund = true};
  AnalyseLikeRun(ctx, d, p);
  const uint8_t p12[] = {1, 2}, p34[] = {3, 4};
  EXPECT_EQ(ctx.counters[RankComb(p12, 5, 2) - 1], 255);
  EXPECT_EQ(ctx.counters[RankComb(p34, 5, 2) - 1], 1);
  // With l = 255 the analysis keeps 255 copies; the other 45 add nothing.
  p.noRedund = false;
  p.l = 255;
  p.redundants = true;
  ConsoleCapture cap;
  EXPECT_EQ(AnalyseLikeRun(ctx, d, p).size(), 256u);
  EXPECT_EQ(CountLines(cap.out, "Redundant block: #"), 45u);
}

Block MakeBlock(uint8_t a, uint8_t b, uint8_t c) {
  Block blk{};
  blk.pt[0] = a;
  blk.pt[1] = b;
  blk.pt[2] = c;
  return blk;
}

TEST(EngineAnalysis, BlocksAreReadAsPointSets) {
  // An unsorted block counts like its sorted form; points outside 1..v and
  // repeated points never reach the counters (the sanitizers watch the
  // indexes).
  TestContext ctx;
  AnalysisOptions opt;
  opt.fNoRedundTesting = true;
  SetupAnalysis(ctx, DesignParams{6, 3, 2, 3, 1}, opt);
  EXPECT_TRUE(AnalyseBlock(ctx, MakeBlock(3, 1, 2)));
  const Block wild = MakeBlock(0, 200, 4);
  EXPECT_TRUE(AnalyseBlock(ctx, wild)); // -y3 accepts it, nothing to count
  EXPECT_TRUE(AnalyseBlock(ctx, MakeBlock(5, 5, 6)));
  uint32_t total = 0;
  for (uint32_t i = 0; i < ctx.ulCnVT; ++i) total += ctx.counters[i];
  EXPECT_EQ(total, 4u) << "{1,2},{1,3},{2,3} and {5,6}";
  const uint8_t p56[] = {5, 6}, p13[] = {1, 3};
  EXPECT_EQ(ctx.counters[RankComb(p56, 6, 2) - 1], 1);
  EXPECT_EQ(ctx.counters[RankComb(p13, 6, 2) - 1], 1);
  SetupAnalysis(ctx, DesignParams{6, 3, 2, 3, 1}, {});
  EXPECT_FALSE(IsBlockNeeded(ctx, wild)) << "nothing in it can cover anything";
}

} // namespace
} // namespace kovra
