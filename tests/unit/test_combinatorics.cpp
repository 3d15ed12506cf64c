// Binomials, ranks, unranking and enumeration against each other.
#include "design/combinatorics.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace kovra {
namespace {

TEST(Combinatorics, BinomialsFollowPascalsRule) {
  EXPECT_EQ(Binomial(5, 6), 0u);
  EXPECT_EQ(Binomial(49, 6), 13983816u);
  EXPECT_EQ(Binomial(54, 27), 1946939425648112ull);
  for (unsigned n = 1; n <= 54; ++n) {
    ASSERT_EQ(Binomial(n, 0), 1u);
    for (unsigned k = 1; k <= n; ++k)
      ASSERT_EQ(Binomial(n, k), Binomial(n - 1, k - 1) + Binomial(n - 1, k)) << n << " " << k;
  }
}

// Unranking, both rankings and the walk of NextComb agree: over every rank
// where there are up to 300,000 combinations, otherwise over a sample of
// ranks, which must come out in increasing order.
TEST(Combinatorics, RankUnrankAndWalkAgree) {
  RankTable table;
  for (unsigned t = 1; t <= 7; ++t)
    for (const unsigned n : {t, t + 1u, 12u, 20u, 49u, 54u}) {
      InitRankTable(table, n, t);
      const uint64_t total = Binomial(n, t);
      const bool every = total <= 300000;
      uint8_t walk[8], last[8] = {};
      FirstComb(walk, t, 1, 8);
      SCOPED_TRACE("n=" + std::to_string(n) + " t=" + std::to_string(t));
      for (uint64_t r = 1; r <= total; r += every ? 1 : total / 997 + 1) {
        uint8_t c[8] = {};
        UnrankComb(r, n, t, c);
        if (every) {
          ASSERT_EQ(std::memcmp(c, walk, t), 0) << r;
          ASSERT_EQ(NextComb(walk, t, 1, n), r < total) << r;
        }
        ASSERT_LT(std::memcmp(last, c, t), 0) << r;
        ASSERT_EQ(RankComb(c, n, t), r);
        ASSERT_EQ(RankFast(table, c), r);
        std::memcpy(last, c, t);
      }
      UnrankComb(total, n, t, last);
      for (unsigned j = 0; j < t; ++j) EXPECT_EQ(last[j], n - t + 1 + j);
    }
}

} // namespace
} // namespace kovra
