// Binomials, ranks, unranking and enumeration against each other.
#include "design/combinatorics.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace kovra {
namespace {

// Exact wherever the value fits, saturated (never wrapped) where it does
// not: Pascal's rule holds for every entry that fits, and an entry whose
// neighbours above sum past the type is saturated, in both widths, for every
// n up to MAX_V.
TEST(Combinatorics, BinomialsFollowPascalsRuleOrSaturate) {
  EXPECT_EQ(Binomial(5, 6), 0u);
  EXPECT_EQ(Binomial(49, 6), 13983816u);
  EXPECT_EQ(Binomial(54, 27), 1946939425648112ull);
  EXPECT_EQ(Binomial(1024, 7), 229479463334370304ull);
  EXPECT_EQ(Binomial(1024, 8), UINT64_MAX);
  EXPECT_EQ(Binomial(1024, 1017), 229479463334370304ull);
  const Count128 c1024_18 =
      (Count128{11165442349379440401ull} << 64) + Count128{7772980200024378880ull};
  EXPECT_EQ(BinomialWide(1024, 18), c1024_18); // 205966057488760845115333492006729616896
  EXPECT_EQ(BinomialWide(1024, 19), COUNT128_MAX);
  char text[48];
  BinomialText(1024, 20, text, sizeof text);
  EXPECT_STREQ(text, "about 5.5e+41");
  BinomialText(273, 3, text, sizeof text);
  EXPECT_STREQ(text, "3353896");
  for (unsigned n = 1; n <= MAX_V; ++n) {
    ASSERT_EQ(Binomial(n, 0), 1u);
    for (unsigned k = 1; k <= n; ++k) {
      const uint64_t a = Binomial(n - 1, k - 1), b = Binomial(n - 1, k);
      const uint64_t sum = a > UINT64_MAX - b ? UINT64_MAX : a + b;
      ASSERT_EQ(Binomial(n, k), sum) << n << " " << k;
      const Count128 wa = BinomialWide(n - 1, k - 1), wb = BinomialWide(n - 1, k);
      const Count128 wide = wa > COUNT128_MAX - wb ? COUNT128_MAX : wa + wb;
      ASSERT_TRUE(BinomialWide(n, k) == wide) << n << " " << k;
    }
  }
}

// Unranking, both rankings and the walk of NextComb agree: over every rank
// where there are up to 300,000 combinations, otherwise over a sample of
// ranks, which must come out in increasing order.
TEST(Combinatorics, RankUnrankAndWalkAgree) {
  for (unsigned t = 1; t <= 7; ++t)
    for (const unsigned n : {t, t + 1u, 12u, 20u, 49u, 54u, 133u, 300u, 1024u}) {
      RankTable table;
      InitRankTable(table, n, t);
      const RankTable copy = table; // a copy ranks with rows of its own
      table = RankTable{};
      const uint64_t total = Binomial(n, t);
      if (total == UINT64_MAX) continue;
      const bool every = total <= 300000;
      Point walk[8], last[8] = {};
      FirstComb(walk, t, 1, 8);
      SCOPED_TRACE("n=" + std::to_string(n) + " t=" + std::to_string(t));
      for (uint64_t r = 1; r <= total; r += every ? 1 : total / 997 + 1) {
        Point c[8] = {};
        UnrankComb(r, n, t, c);
        if (every) {
          ASSERT_TRUE(std::equal(c, c + t, walk)) << r;
          ASSERT_EQ(NextComb(walk, t, 1, n), r < total) << r;
        }
        ASSERT_TRUE(std::lexicographical_compare(last, last + t, c, c + t)) << r;
        ASSERT_EQ(RankComb(c, n, t), r);
        ASSERT_EQ(RankFast(copy, c), r);
        std::copy(c, c + t, last);
      }
      UnrankComb(total, n, t, last);
      for (unsigned j = 0; j < t; ++j) EXPECT_EQ(last[j], n - t + 1 + j);
    }
}

} // namespace
} // namespace kovra
