// The engine's coverage test against brute force and against the plain walk
// the benchmark measures it by, on random designs of every shape, with the
// analysis run as the design run drives it.
#include "../../bench/bench_designs.hpp"
#include "../../bench/reference_walk.hpp"
#include "base/clock.hpp"
#include "test_driver_util.hpp"
#include "verify/engine.hpp"

#include <gtest/gtest.h>

namespace kovra::test {
namespace {

// A clock that stands still, and one that moves on by 97 seconds at every
// reading, so that the estimates change and more progress lines come.
std::time_t gTick = 0;
std::time_t FrozenClock() { return 1700000000; }
std::time_t TickingClock() { return 1700000000 + 97 * gTick++; }

// The analysis as the design run drives it: the last block moves into the
// place of a redundant one; for m < k the counters of the derived design.
void Analyse(TestContext& ctx, const Design& d, const AnalysisOptions& opt) {
  const unsigned k = d.k;
  std::vector<Point> blocks(d.blocks.size() * k);
  for (size_t i = 0; i < d.blocks.size(); ++i)
    for (unsigned p = 1, j = 0; p < 64; ++p)
      if ((d.blocks[i] >> p) & 1u) blocks[i * k + j++] = static_cast<Point>(p);
  const auto u = [](unsigned x) { return static_cast<uint16_t>(x); };
  SetupAnalysis(ctx, DesignParams{u(d.v), u(d.k), u(d.t), u(d.m), u(d.l)}, opt);
  size_t b = d.blocks.size();
  for (size_t i = 0; i < b; ++i)
    while (i < b && !AnalyseBlock(ctx, &blocks[i * k]))
      std::copy_n(&blocks[--b * k], k, &blocks[i * k]);
  if (d.m < d.k) SetupDerivedTest(ctx, DesignParams{u(d.v), u(d.m), u(d.t), u(d.m), u(d.l)}, opt);
}

// The losing combinations of the test with the complete pass alone (-Q0
// -q0), stopping after `most`.
std::vector<PointSet> CompleteTest(const Design& d, uint32_t most, bool* ok) {
  TestContext ctx;
  AnalysisOptions opt;
  opt.ulMaxLosing = most;
  opt.skippers = {0, 0};
  ConsoleCapture cap;
  Analyse(ctx, d, opt);
  *ok = TestDesign(ctx, "d");
  return LosingCombinations(cap.out);
}

struct Passes {
  std::string out;
  bool ok = false;
  uint64_t combs = 0, losing = 0;
  bool operator==(const Passes&) const = default;
};

Passes RunPasses(TestContext& ctx, bool plain, ClockFn clock) {
  gTick = 0;
  SetClockForTest(clock);
  ConsoleCapture cap;
  Passes r;
  ctx.tStart = NowSeconds();
  r.ok = plain ? reference::MultiPassTestPlain(ctx, &r.combs, &r.losing)
               : MultiPassTest(ctx, &r.combs, &r.losing);
  SetClockForTest(nullptr);
  r.out = cap.out;
  return r;
}

struct Shape {
  unsigned v, k, t, m, l, b;
};

// m above k (direct, and through k-subsets), m = k, m = t (read from the
// counters), m below k (the derived design), t = 1, l = 1..3; dense designs
// that pass; the last rows larger, for deeper prefixes and more progress
// lines.
const Shape kShapes[] = {
    {10, 3, 1, 3, 1, 2},  {10, 3, 1, 3, 2, 5},  {12, 5, 2, 5, 1, 5},  {12, 5, 2, 5, 2, 12},
    {14, 4, 3, 4, 1, 40}, {16, 6, 3, 6, 1, 25}, {16, 6, 3, 6, 2, 60}, {13, 5, 4, 5, 1, 60},
    {12, 3, 2, 5, 1, 8},  {11, 2, 1, 4, 1, 3},  {13, 4, 3, 6, 1, 30}, {14, 3, 2, 6, 2, 20},
    {12, 6, 2, 4, 1, 4},  {12, 6, 2, 4, 2, 6},  {13, 7, 3, 5, 1, 6},  {14, 6, 1, 2, 1, 2},
    {15, 2, 1, 7, 3, 9},  {10, 4, 2, 2, 1, 6},  {12, 5, 3, 3, 2, 20}, {9, 3, 1, 1, 2, 4},
    {8, 4, 2, 3, 1, 30},  {9, 5, 3, 5, 1, 60},  {8, 5, 2, 3, 2, 30},  {9, 3, 2, 2, 2, 60},
    {15, 7, 6, 7, 1, 80}, {22, 6, 3, 6, 1, 40}, {20, 3, 2, 6, 1, 30}, {21, 7, 4, 7, 2, 150},
    {19, 7, 2, 5, 2, 12},
};

TEST(EngineCoverage, CompleteTestIsBruteForceAndPassesAreThePlainWalk) {
  std::mt19937 rng(7);
  unsigned n = 0, passed = 0, failed = 0;
  for (const Shape& s : kShapes) {
    Design d{s.v, s.k, s.t, s.m, s.l, {}};
    for (unsigned i = 0; i < s.b; ++i) // every fifth block repeats an earlier one
      d.blocks.push_back(i % 5 == 4 ? d.blocks[i / 2] : RandomBlock(rng, s.v, s.k));
    SCOPED_TRACE(Describe(d));
    ++n;
    if (Binomial(s.v, s.m) <= 100000) {
      const std::vector<PointSet> brute = Uncovered(d);
      (brute.empty() ? passed : failed) += 1;
      for (const uint32_t most : {2u, 2147483647u}) {
        bool ok = false;
        const auto listed = std::min<size_t>(most, brute.size());
        EXPECT_EQ(CompleteTest(d, most, &ok),
                  std::vector<PointSet>(brute.begin(), brute.begin() + listed));
        EXPECT_EQ(ok, brute.empty());
      }
    }
    if (s.m == s.t) continue; // read from the counters: no passes
    TestContext ctx;
    AnalysisOptions opt;
    opt.ulMaxReport = n % 3 == 0 ? 1 : n % 3 == 1 ? 15 : 200;
    opt.usPrintBase = static_cast<uint16_t>(n % 3);
    opt.fInternalOptions = n % 2 == 0;
    {
      ConsoleCapture quiet;
      Analyse(ctx, d, opt);
    }
    // Every pass (above 7 without progress lines) down to 0 or 1, stopping
    // after the first, the third or no losing combination.
    ctx.options.skippers.ulSkipperHigh = s.v > 16 ? 4 : 9;
    ctx.options.skippers.ulSkipperLow = n % 2;
    for (const uint32_t most : {1u, 3u, 2147483647u})
      for (const ClockFn clock : {&FrozenClock, &TickingClock}) {
        ctx.options.ulMaxLosing = most;
        EXPECT_EQ(RunPasses(ctx, false, clock), RunPasses(ctx, true, clock)) << most;
      }
  }
  EXPECT_GE(passed, 3u); // both verdicts are reached
  EXPECT_GE(failed, 20u);
}

// Lotto wheels on 49 points (point masks beyond 32 bits), the losing 6-sets
// found from the blocks alone.
TEST(EngineCoverage, LottoWheelsOnFortyNinePoints) {
  const auto toSet = [](const benchdesigns::Points& p) {
    PointSet s = 0;
    for (const int x : p) s |= PointSet{1} << x;
    return s;
  };
  for (const auto& [file, losing] : {std::pair{"C49_6_3_6_1_b163_lotto_valid.txt", 0u},
                                     std::pair{"C49_6_3_6_1_b162_lotto_FAIL462.txt", 462u}}) {
    const benchdesigns::Design pub = benchdesigns::ReadPublic(file, 0);
    Design d{pub.v, pub.k, 3, 6, 1, {}};
    for (const auto& p : pub.blocks) d.blocks.push_back(toSet(p));
    std::vector<PointSet> brute;
    benchdesigns::ForEachLosingFromBlocks(pub, 3, 6,
                                          [&](const auto& p) { brute.push_back(toSet(p)); });
    bool ok = false;
    EXPECT_EQ(CompleteTest(d, 2147483647u, &ok), brute) << file;
    EXPECT_EQ(brute.size(), losing) << file;
    EXPECT_EQ(ok, losing == 0) << file;
  }
}

TEST(EngineCoverage, ProgressLineSpeedAndEstimate) {
  SetClockForTest(FrozenClock);
  TestContext ctx;
  ctx.usTestSize = 6;
  ctx.tStart = FrozenClock() - 125;
  const Point comb[] = {3, 9, 17, 25, 33, 49};
  ConsoleCapture cap;
  // 932256 in 125 s: 7458 a second; (13983816 - 932256) / 7459 = 1749 s
  // left, and the next estimate after a quarter of that.
  PrintProgress(ctx, 932256, 13983816, comb, 3);
  EXPECT_EQ(ctx.usEstimate, 437);
  PrintProgress(ctx, 13983816, 13983816, comb, 0);
  SetClockForTest(nullptr);
  EXPECT_EQ(cap.out, " 3  9 17 25 33 49     932256    2:05     7458     7:17\n"
                     "          Finished  13983816    2:05   111870     0:00\n");
}

} // namespace
} // namespace kovra::test
