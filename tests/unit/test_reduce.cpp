// Exact reduction against a brute-force removal in the same order (the last
// block first, each kept when the design without it loses an m-set), with
// the counts and with the walks, on one thread and on two; and the shipped
// sample reduced: it still holds and every block left is needed, by an
// independent count from the blocks.
#include "../../bench/bench_designs.hpp"
#include "test_driver_util.hpp"
#include "verify/reduce.hpp"

#include <gtest/gtest.h>

namespace kovra::test {
namespace {

// Every m-set met by at least l of the blocks (bit p = point p) in t or
// more points.
bool Holds(const std::vector<PointSet>& blocks, unsigned v, unsigned m, unsigned t, unsigned l) {
  for (const PointSet s : AllSubsets(v, m)) {
    unsigned meeting = 0;
    for (const PointSet b : blocks)
      meeting += static_cast<unsigned>(__builtin_popcountll(b & s)) >= t ? 1 : 0;
    if (meeting < l) return false;
  }
  return true;
}

// The blocks as a list of the width of points 1..v (forced wider by `words`).
PointSetList List(const std::vector<PointSet>& blocks, unsigned v, unsigned words = 0) {
  PointSetList out(v, words);
  for (const PointSet b : blocks) {
    std::vector<unsigned> pts;
    for (unsigned p = 1; p <= v; ++p)
      if ((b >> p) & 1u) pts.push_back(p);
    out.Add(pts.begin(), pts.end());
  }
  return out;
}

TEST(ExactReduction, IsTheBruteForceRemovalFromTheLast) {
  std::mt19937 rng(11);
  unsigned designs = 0, reduced = 0;
  while (designs < 120) {
    const unsigned v = Uniform(rng, 5, 12), k = Uniform(rng, 1, std::min(v, 5u));
    const unsigned t = Uniform(rng, 1, k), m = Uniform(rng, t, std::min(v, 7u));
    const unsigned l = Uniform(rng, 1, 2), b = Uniform(rng, 2, 26);
    std::vector<PointSet> blocks;
    for (unsigned i = 0; i < b; ++i) {
      const PointSet s = RandomBlock(rng, v, k);
      blocks.push_back(s);
      if (i % 4 == 3) blocks.push_back(s); // repeats: slack of their own
    }
    if (!Holds(blocks, v, m, t, l)) continue;
    ++designs;
    std::vector<bool> gone(blocks.size(), false);
    std::vector<uint32_t> expected;
    for (size_t i = blocks.size(); i-- > 0;) {
      std::vector<PointSet> others;
      for (size_t j = 0; j < blocks.size(); ++j)
        if (j != i && !gone[j]) others.push_back(blocks[j]);
      if (!Holds(others, v, m, t, l)) continue;
      gone[i] = true;
      expected.push_back(static_cast<uint32_t>(i));
    }
    reduced += expected.empty() ? 0 : 1;
    // In the design's own width, and in sixteen words every other time.
    const PointSetList list = List(blocks, v, designs % 2 == 0 ? 16 : 0);
    // On two threads also with no brief try: every block is tried whole,
    // each against the blocks before it taken away, which may stay.
    for (const uint64_t bound : {uint64_t{1} << 30, uint64_t{0}})
      for (const unsigned threads : {1u, 2u, 3u}) {
        const uint64_t brief = threads == 3 ? 0 : 512;
        const ReduceResult r =
            ReduceExactly(list, v, m, t, l, bound, threads == 3 ? 2 : threads, Deadline{}, brief);
        EXPECT_EQ(r.removed, expected)
            << "v=" << v << " k=" << k << " t=" << t << " m=" << m << " l=" << l
            << " bound=" << bound << " threads=" << threads << " words=" << list.Words();
        EXPECT_EQ(r.byCounts, bound > 0 && m == t);
      }
  }
  EXPECT_GE(reduced, 60u);
}

TEST(ExactReduction, TheSampleShrinksStillHoldsAndEveryBlockLeftIsNeeded) {
  const benchdesigns::Design d = benchdesigns::ReadData("../../samples/4901683a.616", 1);
  PointSetList blocks(49);
  for (const auto& pts : d.blocks) blocks.Add(pts.begin(), pts.end());
  const ReduceResult r = ReduceExactly(blocks, 49, 6, 3, 1, uint64_t{1} << 30, 2);
  ASSERT_EQ(r.removed.size(), 5u); // 168 tickets, 163 needed
  benchdesigns::Design left = d;
  left.blocks.clear();
  for (size_t i = 0; i < d.blocks.size(); ++i)
    if (std::find(r.removed.begin(), r.removed.end(), i) == r.removed.end())
      left.blocks.push_back(d.blocks[i]);
  EXPECT_EQ(benchdesigns::CountLosingFromBlocks(left, 3, 6), 0u);
  // Every seventh block left, taken out alone, breaks the guarantee.
  for (size_t i = 0; i < left.blocks.size(); i += 7) {
    benchdesigns::Design without = left;
    without.blocks.erase(without.blocks.begin() + static_cast<ptrdiff_t>(i));
    EXPECT_GT(benchdesigns::CountLosingFromBlocks(without, 3, 6), 0u) << i;
  }
}

} // namespace
} // namespace kovra::test
