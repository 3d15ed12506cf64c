// Real designs: the verdicts their file names state and their redundant
// blocks, the losing sets checked against brute force over every m-set.
#include "test_engine_util.hpp"

#include <gtest/gtest.h>

namespace kovra {
namespace {

using namespace enginetest;

struct Outcome {
  bool ok = false;
  size_t redundant = 0;
  std::vector<Points> losingSets;
  std::string out;
};

// Analysis as the run drives it, then the complete pass (-Q0 -q0) counting
// every losing combination.
Outcome Verify(const Design& d, uint16_t t, uint16_t m, uint16_t l) {
  TestContext ctx;
  RunParams p{.t = t, .m = m, .l = l, .maxLosing = 2147483647u, .skippers = {0, 0}};
  ClockGuard guard(FrozenClock);
  ConsoleCapture cap;
  Outcome o;
  o.redundant = d.blocks.size() - AnalyseLikeRun(ctx, d, p).size();
  o.ok = TestDesign(ctx, "design.txt");
  o.out = cap.out;
  o.losingSets = LosingLines(cap.out);
  return o;
}

struct PublicCase {
  const char* file;
  uint16_t t, m, l;
  size_t losing, redundant;
};

// The parameters of the file names (C<v>_<k>_<t>_<m>_<l>), and some others.
// The redundant counts come from a direct greedy walk over the blocks (a
// block goes when each of its t-subsets lies in l blocks kept before it; the
// last block takes its place): a Steiner system covers no t-subset twice;
// the 25 blocks of C6_5_3_4 hold 6 distinct blocks, of which the walk keeps
// the first four; the b78 design has one block too many, but it comes before
// the blocks that cover its triples, so the walk keeps it.
const PublicCase kSmall[] = {
    {"C10_4_3_3_1_b30_steiner_S3_4_10.txt", 3, 3, 1, 0, 0},
    {"C10_5_3_4_1_b7_lotto.txt", 3, 4, 1, 0, 0},
    {"C11_5_4_5_1_b22_lotto.txt", 4, 5, 1, 0, 0},
    {"C13_5_4_5_1_b50_lotto.txt", 4, 5, 1, 0, 0},
    {"C14_4_3_3_1_b91_steiner_S3_4_14.txt", 3, 3, 1, 0, 0},
    {"C17_5_3_3_1_b68_cover.txt", 3, 3, 1, 0, 0},
    {"C18_5_3_4_1_b49_lotto.txt", 3, 4, 1, 0, 0},
    {"C22_6_3_3_1_b77_steiner_S3_6_22.txt", 3, 3, 1, 0, 0},
    {"C22_6_3_3_1_b78_one_removable.txt", 3, 3, 1, 0, 0},
    {"C27_6_3_4_1_b86_lotto_valid.txt", 3, 4, 1, 0, 0},
    {"C6_5_3_4_1_b25_duplicates.txt", 3, 4, 1, 0, 21},
    {"C16_6_3_3_2_b230_lambda2_redundant_dups.txt", 3, 3, 2, 0, 60},
    {"C16_6_3_3_2_b230_lambda2_redundant_dups.txt", 3, 3, 1, 0, 112},
    {"C13_5_4_4_1_b123_FAIL100.txt", 4, 4, 1, 100, 0},
    {"C17_5_2_2_4_b53_FAIL_lambda.txt", 2, 2, 4, 9, 0},
    {"C17_5_2_2_4_b53_FAIL_lambda.txt", 2, 2, 1, 0, 16},
};

TEST(EngineDesigns, SmallPublicDesignsAgreeWithBruteForce) {
  for (const PublicCase& c : kSmall) {
    const std::string name = c.file + (" l=" + std::to_string(c.l));
    const Design d = ReadPublic(c.file, 0);
    ASSERT_FALSE(d.blocks.empty()) << name;
    const Outcome o = Verify(d, c.t, c.m, c.l);
    EXPECT_EQ(o.losingSets, BruteLosing(d, c.t, c.m, c.l)) << name;
    EXPECT_EQ(o.losingSets.size(), c.losing) << name;
    EXPECT_EQ(o.ok, c.losing == 0) << name;
    EXPECT_EQ(o.redundant, c.redundant) << name;
    char tail[128];
    std::snprintf(tail, sizeof tail, "\nLosing combinations: %7zu (%.1f%%)\n", c.losing,
                  100.0 * static_cast<double>(c.losing) / static_cast<double>(Binomial(d.v, c.m)));
    EXPECT_NE(o.out.find(tail), std::string::npos) << name << "\n" << tail;
    EXPECT_NE(o.out.find(c.losing == 0 ? "TestRetCode: OK (design.txt)\n"
                                       : "TestRetCode: FAIL! (design.txt)\n"),
              std::string::npos)
        << name;
  }
}

// The 6-sets of 1..v meeting no block in 3 points, found from the blocks by
// extending only sets that meet every block in at most 2 points.
std::vector<Points> BruteLosingSixSets(const Design& d) {
  std::vector<Points> losing;
  ForEachLosingFromBlocks(d, 3, 6, [&](const Points& s) { losing.push_back(s); });
  return losing;
}

TEST(EngineDesigns, LottoWheelsOf163And162Blocks) {
  for (const auto& [file, losing] : {std::pair{"C49_6_3_6_1_b163_lotto_valid.txt", 0u},
                                     std::pair{"C49_6_3_6_1_b162_lotto_FAIL462.txt", 462u}}) {
    const Design d = ReadPublic(file, 0);
    EXPECT_EQ(d.v, 49u);
    const Outcome o = Verify(d, 3, 6, 1);
    EXPECT_EQ(o.ok, losing == 0) << file;
    EXPECT_EQ(o.losingSets.size(), losing) << file;
    EXPECT_EQ(o.losingSets, BruteLosingSixSets(d)) << file;
  }
}

} // namespace
} // namespace kovra
