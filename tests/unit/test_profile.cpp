// The draw profile against brute force: for every m-set, a popcount with
// every block.
#include "design/combinatorics.hpp"
#include "verify/profile.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace kovra::test {
namespace {

struct ProfileShape {
  unsigned v, k, m, l, b;
};

// Random k-blocks, every fifth a repeat of the first (a repeat is a second
// ticket and counts twice).
PointSetList RandomBlocks(const ProfileShape& s, uint32_t seed) {
  PointSetList blocks(s.v);
  uint32_t x = seed;
  while (blocks.size() < s.b) {
    if (blocks.size() % 5 == 4) {
      blocks.AddFrom(blocks, 0);
      continue;
    }
    std::vector<unsigned> p;
    while (p.size() < s.k) {
      x = x * 1103515245u + 12345u;
      const unsigned point = 1 + (x >> 8) % s.v;
      if (std::find(p.begin(), p.end(), point) == p.end()) p.push_back(point);
    }
    blocks.Add(p.begin(), p.end());
  }
  return blocks;
}

DrawProfile BruteProfile(const PointSetList& blocks, const ProfileShape& s) {
  const unsigned top = std::min(s.k, s.m);
  DrawProfile out{std::vector<uint64_t>(top + 1), std::vector<uint64_t>(top + 1)};
  Point comb[MAX_M];
  FirstComb(comb, s.m, 1, s.m);
  do {
    std::vector<unsigned> meeting(top + 1, 0); // blocks sharing exactly j points
    unsigned best = 0;
    for (const PointSetView b : blocks) {
      const auto c = static_cast<unsigned>(
          std::count_if(comb, comb + s.m, [&](Point p) { return HasPoint(b, p); }));
      best = std::max(best, c);
      ++meeting[c];
    }
    ++out.best[best];
    unsigned atLeast = 0;
    for (unsigned j = top + 1; j-- > 0;)
      if ((atLeast += meeting[j]) >= s.l) ++out.atLeastL[j];
  } while (NextComb(comb, s.m, 1, s.v));
  return out;
}

// m above, at and below k, m = 1, l up to 3, no blocks at all, and points on
// both sides of 64, 128 and 256; on one thread and split by first points
// over three.
TEST(DrawProfile, MatchesBruteForce) {
  const ProfileShape shapes[] = {{12, 5, 6, 1, 8},   {12, 5, 3, 2, 10},   {10, 4, 4, 3, 15},
                                 {9, 3, 1, 2, 6},    {8, 3, 4, 1, 0},     {70, 6, 3, 2, 40},
                                 {140, 9, 2, 2, 90}, {300, 12, 2, 1, 200}};
  for (const ProfileShape& s : shapes)
    for (uint32_t seed = 1; seed <= 3; ++seed) {
      SCOPED_TRACE(testing::Message() << "v=" << s.v << " k=" << s.k << " m=" << s.m << " l=" << s.l
                                      << " b=" << s.b << " seed=" << seed);
      const PointSetList blocks = RandomBlocks(s, seed);
      const DrawProfile want = BruteProfile(blocks, s);
      for (const unsigned threads : {1u, 3u}) {
        const DrawProfile got = ComputeDrawProfile(blocks, s.v, s.k, s.m, s.l, threads);
        EXPECT_EQ(got.best, want.best) << threads << " threads";
        EXPECT_EQ(got.atLeastL, want.atLeastL) << threads << " threads";
      }
    }
}

} // namespace
} // namespace kovra::test
