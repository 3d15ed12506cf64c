// Sample designs and independent references for the tests of the readers and
// writers.
#pragma once

#include "design/sys.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace kovra::samples {

using BlockList = std::vector<std::vector<int>>;

// A loaded Sys holding the given blocks (points as given, in `base`).
inline Sys MakeDesign(uint16_t v, uint16_t k, const BlockList& blocks, uint16_t t = 2,
                      uint16_t m = 2, uint16_t l = 1, uint16_t base = 1) {
  Sys s;
  s.blocks = AllocBlocks(blocks.size(), k);
  ParamsOf(s) = DesignParams{v, k, t, m, l};
  s.base = base;
  for (size_t i = 0; i < blocks.size(); ++i)
    for (size_t j = 0; j < blocks[i].size(); ++j)
      s.blocks[i * k + j] = static_cast<Point>(blocks[i][j]);
  s.b = s.ulAlloc = static_cast<uint32_t>(blocks.size());
  return s;
}

inline const BlockList kExampleBlocks = {{1, 2}, {1, 3}, {2, 4}, {3, 5}};

inline BlockList ListOf(const Point* blocks, uint32_t b, unsigned k) {
  BlockList out(b);
  for (uint32_t i = 0; i < b; ++i)
    out[i].assign(blocks + size_t{i} * k, blocks + size_t{i + 1} * k);
  return out;
}

// What a reader must give back: every block's points ascending, the blocks
// in lexicographic order. Computed without the program's own sort.
inline BlockList Sorted(BlockList blocks) {
  for (auto& b : blocks) std::sort(b.begin(), b.end());
  std::sort(blocks.begin(), blocks.end());
  return blocks;
}

// A random design as the round trips use it: v in 1..54, k in 1..7, now and
// then a few thousand blocks, some of them repeated, in random order.
inline BlockList RandomDesign(std::mt19937& rng, int round, unsigned& v, unsigned& k) {
  v = 1 + rng() % 54;
  k = 1 + rng() % std::min(7u, v);
  std::vector<int> points(v);
  for (unsigned i = 0; i < v; ++i) points[i] = static_cast<int>(i + 1);
  BlockList out(1 + rng() % (round % 4 == 0 ? 3000 : 60));
  for (size_t i = 0; i < out.size(); ++i) {
    std::shuffle(points.begin(), points.end(), rng);
    out[i] = i > 0 && rng() % 5 == 0 ? out[rng() % i]
                                     : std::vector<int>(points.begin(), points.begin() + k);
  }
  return out;
}

} // namespace kovra::samples
