// Designs for the engine benchmark: public designs read with a tiny parser,
// a seeded random design and a generated passing C(54,7,3,7) design, each
// with an independent count of its losing combinations.
#pragma once

#include "design/sys.hpp"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kovra::benchdesigns {

using Points = std::vector<int>;

struct Design {
  unsigned v = 0;
  unsigned k = 0;
  std::vector<Points> blocks; // base 1
};

// A design file of tests/data/ (`path` below it): the lines that start with
// a number (after blanks) are blocks, first point `base`; '#' lines, the ID
// line and the header lines are skipped.
inline Design ReadData(const std::string& path, int base) {
  Design d;
  std::ifstream in(std::string(KOVRA_SOURCE_DIR) + "/tests/data/" + path);
  std::string line;
  while (std::getline(in, line)) {
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] < '0' || line[first] > '9') continue;
    std::istringstream ls(line);
    Points p;
    for (int x; ls >> x;) p.push_back(x - base + 1);
    if (p.empty()) continue;
    std::sort(p.begin(), p.end());
    d.v = std::max(d.v, static_cast<unsigned>(p.back()));
    d.k = static_cast<unsigned>(p.size());
    d.blocks.push_back(p);
  }
  return d;
}

inline Design ReadPublic(const std::string& name, int base) {
  return ReadData("public/" + name, base);
}

inline Design RandomDesign(unsigned v, unsigned k, unsigned b, uint32_t seed) {
  Design d;
  d.v = v;
  d.k = k;
  uint32_t x = seed * 2654435761u + 12345u;
  for (unsigned i = 0; i < b; ++i) {
    std::vector<char> used(v + 1, 0);
    Points p;
    while (p.size() < k) {
      x = x * 1103515245u + 12345u;
      const unsigned pt = 1 + (x >> 8) % v;
      if (used[pt] != 0) continue;
      used[pt] = 1;
      p.push_back(static_cast<int>(pt));
    }
    std::sort(p.begin(), p.end());
    d.blocks.push_back(p);
  }
  return d;
}

// 7-blocks on 18 points covering all 816 triples, chosen greedily (the
// lexicographically first of the blocks covering most uncovered triples).
inline std::vector<uint32_t> GreedyTripleCover18() {
  constexpr unsigned n = 18;
  std::vector<uint8_t> covered(n * n * n, 0);
  auto tripleAt = [&](unsigned a, unsigned b, unsigned c) -> uint8_t& {
    return covered[(a * n + b) * n + c];
  };
  std::vector<uint32_t> candidates; // 7-subsets of 0..17 as bit masks
  for (uint32_t m = 0; m < (1u << n); ++m)
    if (__builtin_popcount(m) == 7) candidates.push_back(m);
  // Lexicographic order of the member lists.
  std::sort(candidates.begin(), candidates.end(), [](uint32_t x, uint32_t y) {
    while (x != 0 && y != 0) {
      const int lx = __builtin_ctz(x), ly = __builtin_ctz(y);
      if (lx != ly) return lx < ly;
      x &= x - 1;
      y &= y - 1;
    }
    return false;
  });
  auto members = [](uint32_t m, unsigned* out) {
    unsigned c = 0;
    for (; m != 0; m &= m - 1) out[c++] = static_cast<unsigned>(__builtin_ctz(m));
  };
  auto newTriples = [&](uint32_t m) {
    unsigned p[7];
    members(m, p);
    unsigned count = 0;
    for (unsigned a = 0; a < 7; ++a)
      for (unsigned b = a + 1; b < 7; ++b)
        for (unsigned c = b + 1; c < 7; ++c) count += tripleAt(p[a], p[b], p[c]) == 0;
    return count;
  };
  std::vector<uint32_t> chosen;
  unsigned left = n * (n - 1) * (n - 2) / 6;
  while (left > 0) {
    uint32_t best = 0;
    unsigned bestGain = 0;
    for (uint32_t m : candidates) {
      const unsigned g = newTriples(m);
      if (g > bestGain) {
        bestGain = g;
        best = m;
      }
    }
    unsigned p[7];
    members(best, p);
    for (unsigned a = 0; a < 7; ++a)
      for (unsigned b = a + 1; b < 7; ++b)
        for (unsigned c = b + 1; c < 7; ++c) tripleAt(p[a], p[b], p[c]) = 1;
    left -= bestGain;
    chosen.push_back(best);
  }
  return chosen;
}

// A passing C(54,7,3,7): the points fall into three groups of 18, and any 7
// points hold at least 3 of one group, so covering every triple inside each
// group covers every 7-set.
inline Design PigeonholeDesign54() {
  Design d;
  d.v = 54;
  d.k = 7;
  const std::vector<uint32_t> cover = GreedyTripleCover18();
  for (int group = 0; group < 3; ++group)
    for (uint32_t m : cover) {
      Points p;
      for (; m != 0; m &= m - 1) p.push_back(1 + 18 * group + __builtin_ctz(m));
      d.blocks.push_back(p);
    }
  return d;
}

// The proof's premise checked directly: every triple inside each group lies
// in a block.
inline bool GroupsFullyCovered(const Design& d) {
  for (int group = 0; group < 3; ++group)
    for (int a = 1; a <= 18; ++a)
      for (int b = a + 1; b <= 18; ++b)
        for (int c = b + 1; c <= 18; ++c) {
          const int x = 18 * group + a, y = 18 * group + b, z = 18 * group + c;
          bool found = false;
          for (const Points& p : d.blocks) {
            const bool hx = std::find(p.begin(), p.end(), x) != p.end();
            const bool hy = std::find(p.begin(), p.end(), y) != p.end();
            const bool hz = std::find(p.begin(), p.end(), z) != p.end();
            if (hx && hy && hz) {
              found = true;
              break;
            }
          }
          if (!found) return false;
        }
  return true;
}

// The losing m-sets (l = 1) found from the blocks alone, in lexicographic
// order: points are added in increasing order while every block meets the
// set in fewer than t points (a set that meets a block in t points stays
// covered whatever is added). Calls fn(members) for each.
template <typename Fn>
void ForEachLosingFromBlocks(const Design& d, unsigned t, unsigned m, Fn&& fn) {
  std::vector<std::vector<uint32_t>> blocksOf(d.v + 1);
  for (uint32_t i = 0; i < d.blocks.size(); ++i)
    for (int x : d.blocks[i]) blocksOf[static_cast<size_t>(x)].push_back(i);
  std::vector<unsigned> meet(d.blocks.size(), 0);
  Points set;
  auto grow = [&](auto&& self, unsigned from) -> void {
    for (unsigned x = from; x + (m - set.size() - 1) <= d.v; ++x) {
      bool covered = false;
      for (uint32_t i : blocksOf[x]) covered |= ++meet[i] >= t;
      set.push_back(static_cast<int>(x));
      if (!covered) {
        if (set.size() == m) {
          fn(static_cast<const Points&>(set));
        } else {
          self(self, x + 1);
        }
      }
      set.pop_back();
      for (uint32_t i : blocksOf[x]) --meet[i];
    }
  };
  grow(grow, 1);
}

inline uint64_t CountLosingFromBlocks(const Design& d, unsigned t, unsigned m) {
  uint64_t losing = 0;
  ForEachLosingFromBlocks(d, t, m, [&](const Points&) { ++losing; });
  return losing;
}

// The blocks as rows of k points, one after another.
inline std::vector<Point> ToBlocks(const Design& d) {
  std::vector<Point> out;
  for (const Points& p : d.blocks)
    for (const int x : p) out.push_back(static_cast<Point>(x));
  return out;
}

} // namespace kovra::benchdesigns
