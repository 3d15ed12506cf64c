// Binomials, ranks, unranking and enumeration against independent counts.
#include "design/combinatorics.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace kovra {
namespace {

TEST(Binomial, ExactValuesEdgesAndPascalsRuleUpTo54) {
  EXPECT_EQ(Binomial(5, 6), 0u);
  EXPECT_EQ(Binomial(1755, 1), 0u);
  EXPECT_EQ(Binomial(0, 0), 1u);
  EXPECT_EQ(Binomial(54, 7), 177100560u);
  EXPECT_EQ(Binomial(49, 6), 13983816u);
  EXPECT_EQ(Binomial(54, 27), 1946939425648112ull);
  EXPECT_EQ(Binomial(100, 2), 4950u); // beyond the exact table, still exact here
  for (unsigned n = 1; n <= 54; ++n) {
    ASSERT_EQ(Binomial(n, 0), 1u);
    for (unsigned k = 1; k <= n; ++k)
      ASSERT_EQ(Binomial(n, k), Binomial(n - 1, k - 1) + Binomial(n - 1, k)) << n << " " << k;
  }
}

TEST(Rank, WorkedExamples) {
  const uint8_t c24[] = {2, 4};
  EXPECT_EQ(RankComb(c24, 5, 2), 6u);
  uint8_t out[2] = {};
  UnrankComb(5, 5, 2, out);
  EXPECT_EQ(out[0], 2);
  EXPECT_EQ(out[1], 3);
  const uint8_t first[] = {1, 2, 3};
  const uint8_t last[] = {47, 48, 49};
  EXPECT_EQ(RankComb(first, 49, 3), 1u);
  EXPECT_EQ(RankComb(last, 49, 3), 18424u);
}

// Every rank of every n <= 54 for t <= 3: unrank, check the walk order and
// rank back with both forms.
TEST(Rank, InverseOverEveryRankForSmallT) {
  RankTable table;
  for (unsigned t = 1; t <= 3; ++t) {
    for (unsigned n = t; n <= 54; ++n) {
      InitRankTable(table, n, t);
      uint8_t walk[8];
      FirstComb(walk, t, 1, 8);
      const uint64_t total = Binomial(n, t);
      for (uint64_t r = 1; r <= total; ++r) {
        uint8_t c[8] = {};
        UnrankComb(r, n, t, c);
        ASSERT_EQ(0, std::memcmp(c, walk, t)) << "n=" << n << " t=" << t << " r=" << r;
        ASSERT_EQ(RankComb(c, n, t), r);
        ASSERT_EQ(RankFast(table, c), r);
        const bool more = NextComb(walk, t, 1, n);
        ASSERT_EQ(more, r < total);
      }
    }
  }
}

TEST(Rank, SampledInverseUpToSeven) {
  RankTable table;
  for (unsigned t = 4; t <= 7; ++t) {
    for (unsigned n : {t, t + 1u, 20u, 49u, 54u}) {
      InitRankTable(table, n, t);
      const uint64_t total = Binomial(n, t);
      const uint64_t step = total / 997 + 1;
      for (uint64_t r = 1; r <= total; r += step) {
        uint8_t c[8] = {};
        UnrankComb(r, n, t, c);
        for (unsigned j = 1; j < t; ++j) ASSERT_LT(c[j - 1], c[j]);
        ASSERT_GE(c[0], 1);
        ASSERT_LE(c[t - 1], n);
        ASSERT_EQ(RankComb(c, n, t), r);
        ASSERT_EQ(RankFast(table, c), r);
      }
      uint8_t c[8] = {};
      UnrankComb(total, n, t, c);
      for (unsigned j = 0; j < t; ++j) EXPECT_EQ(c[j], n - t + 1 + j);
    }
  }
  const uint8_t top[] = {48, 49, 50, 51, 52, 53, 54};
  EXPECT_EQ(RankComb(top, 54, 7), 177100560u);
}

TEST(Enumeration, VisitsInOrderAndStopsOnTheLast) {
  uint8_t c[8];
  FirstComb(c, 2, 0, 8);
  std::vector<std::pair<int, int>> seen;
  do seen.emplace_back(c[0], c[1]);
  while (NextComb(c, 2, 0, 4));
  const std::vector<std::pair<int, int>> expected = {{0, 1}, {0, 2}, {0, 3},
                                                     {1, 2}, {1, 3}, {2, 3}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(c[0], 2); // the last combination stays
  EXPECT_EQ(c[1], 3);
  EXPECT_EQ(c[2], 0); // the fill length cleared the rest

  for (unsigned w = 1; w <= 12; ++w)
    for (unsigned count = 1; count <= w && count <= 7; ++count) {
      FirstComb(c, count, 1, 8);
      uint64_t n = 1;
      while (NextComb(c, count, 1, w)) ++n;
      ASSERT_EQ(n, Binomial(w, count));
    }
}

} // namespace
} // namespace kovra
