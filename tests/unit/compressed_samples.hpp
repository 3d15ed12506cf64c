// Sample designs and independent references for the tests of the two
// compressed encodings.
#pragma once

#include "design/sys.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace kovra::samples {

using BlockList = std::vector<std::vector<int>>;

// A loaded Sys holding the given blocks (points as given, in `base`).
inline Sys MakeDesign(unsigned v, unsigned k, const BlockList& blocks, unsigned t = 2,
                      unsigned m = 2, unsigned l = 1, unsigned base = 1) {
  Sys s;
  s.blocks = AllocBlocks(blocks.size());
  EXPECT_TRUE(blocks.empty() || s.blocks);
  ParamsOf(s) =
      DesignParams{static_cast<uint16_t>(v), static_cast<uint16_t>(k), static_cast<uint16_t>(t),
                   static_cast<uint16_t>(m), static_cast<uint16_t>(l)};
  s.base = static_cast<uint16_t>(base);
  for (size_t i = 0; i < blocks.size(); ++i)
    for (size_t j = 0; j < blocks[i].size(); ++j)
      s.blocks[i].pt[j] = static_cast<uint8_t>(blocks[i][j]);
  if (!blocks.empty()) SetBlockK(s.blocks[0], k);
  s.b = static_cast<uint32_t>(blocks.size());
  s.ulAlloc = s.b;
  return s;
}

// The worked example: v = 5, k = 2, ranks 1 2 6 9 (given out of order).
inline Sys ExampleDesign() { return MakeDesign(5, 2, {{3, 5}, {2, 1}, {2, 4}, {1, 3}}); }
inline const BlockList kExampleBlocks = {{1, 2}, {1, 3}, {2, 4}, {3, 5}};

inline BlockList ListOf(const Block* blocks, uint32_t b, unsigned k) {
  BlockList out(b);
  for (uint32_t i = 0; i < b; ++i) out[i].assign(blocks[i].pt, blocks[i].pt + k);
  return out;
}

// What a reader must give back: every block's points ascending, the blocks
// in lexicographic order. Computed without the program's own sort.
inline BlockList Sorted(BlockList blocks) {
  for (auto& b : blocks) std::sort(b.begin(), b.end());
  std::sort(blocks.begin(), blocks.end());
  return blocks;
}

// b random k-subsets of 1..v, some of them repeated, in random order.
inline BlockList RandomBlocks(std::mt19937& rng, unsigned v, unsigned k, uint32_t b) {
  std::vector<int> points(v);
  for (unsigned i = 0; i < v; ++i) points[i] = static_cast<int>(i + 1);
  BlockList out;
  while (out.size() < b) {
    if (!out.empty() && rng() % 5 == 0) {
      out.push_back(out[rng() % out.size()]);
      continue;
    }
    std::shuffle(points.begin(), points.end(), rng);
    out.emplace_back(points.begin(), points.begin() + k);
  }
  return out;
}

// A random design as the round trips use it: v in 1..54, k in 1..7, now and
// then a few thousand blocks.
inline BlockList RandomDesign(std::mt19937& rng, int round, unsigned& v, unsigned& k) {
  v = 1 + rng() % 54;
  k = 1 + rng() % std::min(7u, v);
  return RandomBlocks(rng, v, k, static_cast<uint32_t>(1 + rng() % (round % 4 == 0 ? 3000 : 60)));
}

} // namespace kovra::samples
