// Real designs: the verdicts their file names state, checked against brute
// force over every m-set.
#include "../../bench/reference_walk.hpp"
#include "test_engine_util.hpp"

#include <gtest/gtest.h>

namespace kovra {
namespace {

using namespace enginetest;

struct Outcome {
  bool ok = false;
  uint32_t losing = 0;
  size_t redundant = 0;
  std::vector<Points> losingSets;
  std::string out;
};

// Analysis as the run drives it, then the complete pass (-Q0 -q0) counting
// every losing combination.
Outcome Verify(const Design& d, uint16_t t, uint16_t m, uint16_t l) {
  TestContext ctx;
  // Skippers 0/0 (-Q0 -q0): the complete pass alone.
  RunParams p{.t = t, .m = m, .l = l, .maxLosing = 2147483647u, .skippers = {0, 0, 0}};
  ClockGuard guard(FrozenClock);
  ConsoleCapture cap;
  Outcome o;
  o.redundant = d.blocks.size() - AnalyseLikeRun(ctx, d, p).size();
  o.ok = TestDesign(ctx, "design.txt");
  o.out = cap.out;
  o.losingSets = LosingLines(cap.out);
  o.losing = static_cast<uint32_t>(o.losingSets.size());
  return o;
}

struct PublicCase {
  const char* file;
  int base;
  uint16_t t, m, l;
  bool ok;
  size_t redundant;
};

// The parameters of the file names (C<v>_<k>_<t>_<m>_<l>). The redundant
// counts: a Steiner system covers no t-subset twice; the 25 blocks of
// C6_5_3_4 hold 6 distinct blocks, of which the greedy walk keeps the first
// four (the last two add no new triple); the b78 design has one block too
// many, but it comes before the blocks that cover its triples, so the greedy
// walk keeps it (see below); the 230 blocks of the l = 1 covering lose 60 at
// l = 2.
const PublicCase kSmall[] = {
    {"C10_4_3_3_1_b30_steiner_S3_4_10.txt", 0, 3, 3, 1, true, 0},
    {"C10_5_3_4_1_b7_lotto.txt", 0, 3, 4, 1, true, 0},
    {"C11_5_4_5_1_b22_lotto.txt", 0, 4, 5, 1, true, 0},
    {"C13_5_4_5_1_b50_lotto.txt", 0, 4, 5, 1, true, 0},
    {"C14_4_3_3_1_b91_steiner_S3_4_14.txt", 0, 3, 3, 1, true, 0},
    {"C17_5_3_3_1_b68_cover.txt", 0, 3, 3, 1, true, 0},
    {"C18_5_3_4_1_b49_lotto.txt", 0, 3, 4, 1, true, 0},
    {"C22_6_3_3_1_b77_steiner_S3_6_22.txt", 0, 3, 3, 1, true, 0},
    {"C22_6_3_3_1_b78_one_removable.txt", 0, 3, 3, 1, true, 0},
    {"C27_6_3_4_1_b86_lotto_valid.txt", 0, 3, 4, 1, true, 0},
    {"C6_5_3_4_1_b25_duplicates.txt", 0, 3, 4, 1, true, 21},
    {"C16_6_3_3_2_b230_lambda2_redundant_dups.txt", 0, 3, 3, 2, true, 60},
    {"C13_5_4_4_1_b123_FAIL100.txt", 0, 4, 4, 1, false, 0},
    {"C17_5_2_2_4_b53_FAIL_lambda.txt", 0, 2, 2, 4, false, 0},
};

TEST(EngineDesigns, SmallPublicDesignsAgreeWithBruteForce) {
  for (const PublicCase& c : kSmall) {
    const Design d = ReadPublic(c.file, c.base);
    ASSERT_FALSE(d.blocks.empty()) << c.file;
    const Outcome o = Verify(d, c.t, c.m, c.l);
    const std::vector<Points> brute = BruteLosing(d, c.t, c.m, c.l);
    EXPECT_EQ(o.ok, c.ok) << c.file;
    EXPECT_EQ(o.ok, brute.empty()) << c.file;
    EXPECT_EQ(o.losingSets, brute) << c.file;
    EXPECT_EQ(o.redundant, c.redundant) << c.file;
    EXPECT_EQ(o.redundant, BruteRedundant(d, c.t, c.l)) << c.file;
    EXPECT_NE(
        o.out.find(c.ok ? "TestRetCode: OK (design.txt)\n" : "TestRetCode: FAIL! (design.txt)"),
        std::string::npos)
        << c.file;
  }
}

TEST(EngineDesigns, OneRemovableBlockGoesWhenTheOthersComeFirst) {
  Design d = ReadPublic("C22_6_3_3_1_b78_one_removable.txt", 0);
  // The blocks whose every triple lies in another block too.
  std::vector<size_t> removable;
  for (size_t i = 0; i < d.blocks.size(); ++i) {
    Design others = d;
    others.blocks.erase(others.blocks.begin() + static_cast<long>(i));
    if (BruteLosing(others, 3, 3, 1).empty()) removable.push_back(i);
  }
  ASSERT_EQ(removable.size(), 1u);
  const Points extra = d.blocks[removable[0]];
  d.blocks.erase(d.blocks.begin() + static_cast<long>(removable[0]));
  d.blocks.push_back(extra);
  const Outcome o = Verify(d, 3, 3, 1);
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.redundant, 1u);
}

TEST(EngineDesigns, FailHundredHasOneHundredLosingFourSets) {
  const Design d = ReadPublic("C13_5_4_4_1_b123_FAIL100.txt", 0);
  EXPECT_EQ(d.v, 13u);
  EXPECT_EQ(d.blocks.size(), 123u);
  const Outcome o = Verify(d, 4, 4, 1);
  EXPECT_EQ(o.losing, 100u);
  EXPECT_NE(o.out.find("\nLosing combinations:     100 (14.0%)\n"), std::string::npos);
}

TEST(EngineDesigns, LambdaFourFailsWhereLambdaThreeHolds) {
  const Design d = ReadPublic("C17_5_2_2_4_b53_FAIL_lambda.txt", 0);
  EXPECT_FALSE(Verify(d, 2, 2, 4).ok);
  const Outcome three = Verify(d, 2, 2, 3);
  EXPECT_EQ(three.ok, BruteLosing(d, 2, 2, 3).empty());
  // With l = 1 every pair of the 17 points lies in some block.
  EXPECT_TRUE(Verify(d, 2, 2, 1).ok);
}

TEST(EngineDesigns, LambdaTwoDesignKeepsItsDuplicatesAtLambdaTwoOnly) {
  const Design d = ReadPublic("C16_6_3_3_2_b230_lambda2_redundant_dups.txt", 0);
  const Outcome two = Verify(d, 3, 3, 2);
  const Outcome one = Verify(d, 3, 3, 1);
  EXPECT_TRUE(one.ok);
  EXPECT_GT(one.redundant, two.redundant);
}

// The 6-sets of 1..v meeting no block in 3 points, found from the blocks by
// extending only sets that meet every block in at most 2 points.
std::vector<Points> BruteLosingSixSets(const Design& d) {
  std::vector<Points> losing;
  ForEachLosingFromBlocks(d, 3, 6, [&](const Points& s) { losing.push_back(s); });
  return losing;
}

TEST(EngineDesigns, SixSetCountAgreesWithTheSimpleCount) {
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    const Design d = RandomDesign(14 + seed, 6, 12 + 4 * seed, seed);
    EXPECT_EQ(BruteLosingSixSets(d), BruteLosing(d, 3, 6, 1));
  }
}

TEST(EngineDesigns, LottoWheelOf163BlocksCovers) {
  const Design d = ReadPublic("C49_6_3_6_1_b163_lotto_valid.txt", 0);
  EXPECT_EQ(d.v, 49u);
  EXPECT_EQ(d.blocks.size(), 163u);
  const Outcome o = Verify(d, 3, 6, 1);
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.losing, 0u);
  EXPECT_NE(o.out.find("Cn(49,6) : 13983816 \n"), std::string::npos);
  EXPECT_TRUE(BruteLosingSixSets(d).empty());
}

TEST(EngineDesigns, LottoWheelOf162BlocksLoses462SixSets) {
  const Design d = ReadPublic("C49_6_3_6_1_b162_lotto_FAIL462.txt", 0);
  EXPECT_EQ(d.blocks.size(), 162u);
  const Outcome o = Verify(d, 3, 6, 1);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.losing, 462u);
  EXPECT_EQ(o.losingSets, BruteLosingSixSets(d));
  EXPECT_NE(o.out.find("\nLosing combinations:     462 (0.0%)\n"), std::string::npos);

  // The same blocks numbered from 2 (in another order).
  const Design shifted = ReadPublic("C49_6_3_6_1_b162_points2to50_FAIL.txt", 2);
  EXPECT_EQ(shifted.v, 49u);
  const Outcome o2 = Verify(shifted, 3, 6, 1);
  EXPECT_FALSE(o2.ok);
  EXPECT_EQ(o2.losingSets, o.losingSets);
}

TEST(EngineDesigns, DefaultSkipperPassesFindTheFirstLosingSetOfTheWheel) {
  // Skippers 7 down to 3, stopping at the first losing combination; the
  // plain walk agrees line for line.
  const Design d = ReadPublic("C49_6_3_6_1_b162_lotto_FAIL462.txt", 0);
  TestContext ctx;
  RunParams p;
  AnalyseLikeRun(ctx, d, p);
  EXPECT_EQ(ctx.ulSkipperHigh, 7u);
  EXPECT_EQ(ctx.ulSkipperLow, 3u);
  std::string outs[2];
  bool oks[2] = {};
  for (int plain = 0; plain < 2; ++plain) {
    ClockGuard guard(FrozenClock);
    ConsoleCapture cap;
    uint32_t combs = 0, losing = 0;
    oks[plain] = plain != 0 ? reference::MultiPassTestPlain(ctx, &combs, &losing)
                            : MultiPassTest(ctx, &combs, &losing);
    outs[plain] = cap.out;
  }
  EXPECT_EQ(outs[0], outs[1]);
  EXPECT_EQ(oks[0], oks[1]);
}

} // namespace
} // namespace kovra
