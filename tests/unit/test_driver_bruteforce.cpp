// Whole design runs against an independent brute force: random small designs
// (m below, equal to and above k, l = 1..3, repeated blocks) are written to
// files with ID lines and run through the program; its exit status, its
// losing combinations and the reduced design it writes with -c are checked
// against a count over every m-subset of the points.
#include "design/combinatorics.hpp"
#include "scratch_dir.hpp"
#include "test_driver_util.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace kovra::test {
namespace {

enum Relation { kMBelowK, kMEqualsK, kMAboveK };

Design RandomDesign(std::mt19937& rng, Relation rel) {
  Design d;
  d.v = Uniform(rng, rel == kMBelowK ? 2 : 1, 10);
  d.k = Uniform(rng, rel == kMBelowK ? 2 : 1, std::min(5u, d.v));
  if (rel == kMBelowK) {
    d.m = Uniform(rng, 1, d.k - 1);
    d.t = Uniform(rng, 1, d.m);
  } else {
    d.m = rel == kMEqualsK ? d.k : Uniform(rng, d.k + 1, 7);
    d.t = Uniform(rng, 1, d.k);
  }
  d.l = Uniform(rng, 1, 3);
  const auto most = static_cast<unsigned>(std::min<uint64_t>(Binomial(d.v, d.k) * d.l + 3, 24));
  for (unsigned i = Uniform(rng, 1, most); i > 0; --i) {
    if (!d.blocks.empty() && Uniform(rng, 0, 7) == 0)
      d.blocks.push_back(d.blocks[Uniform(rng, 0, static_cast<unsigned>(d.blocks.size()) - 1)]);
    else
      d.blocks.push_back(RandomBlock(rng, d.v, d.k));
  }
  return d;
}

TEST(DriverBruteForce, VerdictsLosingSetsAndReducedDesignsAgreeOnRandomDesigns) {
  ScratchDir dir;
  std::mt19937 rng(20261206);
  std::map<std::pair<int, int>, int> outcomes; // (relation, status) -> designs
  int reduced = 0, lAboveOne = 0;
  for (int i = 0; i < 200; ++i) {
    const auto rel = static_cast<Relation>(i % 3);
    const Design d = RandomDesign(rng, rel);
    SCOPED_TRACE("design " + std::to_string(i) + ": " + Describe(d));
    WriteText("d.txt", PlainText(d));
    const std::vector<PointSet> uncovered = Uncovered(d);
    const int expected = uncovered.empty() ? 0 : 1;
    ++outcomes[{rel, expected}];
    lAboveOne += d.l > 1;

    // The default run (its last skipper pass is complete for designs this
    // small) stops at the first losing combination and writes the reduced
    // design when blocks were removed.
    const Ran run = RunKovra({"d.txt", "-c"});
    EXPECT_EQ(run.status, expected);
    const std::vector<PointSet> reported = LosingCombinations(run.out);
    EXPECT_EQ(reported.size(), static_cast<size_t>(expected));
    for (const PointSet s : reported) EXPECT_FALSE(IsCovered(d, s)) << SetText(s);

    // One complete pass lists every losing combination in order.
    const Ran all = RunKovra({"d.txt", "-Q0", "-q0", "-o2147483647"});
    EXPECT_EQ(all.status, expected);
    EXPECT_EQ(LosingCombinations(all.out), uncovered);

    // The proof search instead of the walk: same verdict, and its witness loses.
    const Ran proved = RunKovra({"d.txt", "--prove"});
    EXPECT_EQ(proved.status, expected);
    for (const PointSet s : LosingCombinations(proved.out)) EXPECT_FALSE(IsCovered(d, s));

    // Without the redundancy analysis every block counts: same verdict.
    const Ran y3 = RunKovra({"d.txt", "-y3", "-Q0", "-q0"});
    EXPECT_EQ(y3.status, expected);
    EXPECT_EQ(FindNumber(y3.out, "Testing: ([0-9]+) "), static_cast<long>(d.blocks.size()));

    // The analysis never changes what is covered: the reduced design leaves
    // the same m-subsets uncovered, and read back it loses no more blocks.
    const long removed = FindNumber(run.out, "Redundant: ([0-9]+) ");
    const long tested = FindNumber(run.out, "Testing: ([0-9]+) ");
    EXPECT_EQ(removed + tested, static_cast<long>(d.blocks.size()));
    const std::string written = CreatedFile(run.out);
    EXPECT_EQ(written.empty(), removed <= 0);
    if (written.empty()) continue;
    ++reduced;
    Design r = d;
    r.blocks = PlainBlocks(ReadText(written));
    EXPECT_EQ(static_cast<long>(r.blocks.size()), tested);
    EXPECT_TRUE(IsSubMultiset(r.blocks, d.blocks));
    EXPECT_EQ(Uncovered(r), uncovered);
    const Ran again = RunKovra({written, "-Q0", "-q0"});
    EXPECT_EQ(again.status, expected);
    EXPECT_EQ(FindNumber(again.out, "Redundant: ([0-9]+) "), 0);
    std::filesystem::remove(written);
  }
  // The batch exercises both verdicts for every relation of m and k.
  for (int rel = 0; rel < 3; ++rel)
    for (int status = 0; status < 2; ++status)
      EXPECT_GE((outcomes[{rel, status}]), 10) << "relation " << rel << " status " << status;
  EXPECT_GE(reduced, 40);
  EXPECT_GE(lAboveOne, 80);
}

} // namespace
} // namespace kovra::test
