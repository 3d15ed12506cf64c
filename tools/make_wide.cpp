// kovra_make_wide: writes the designs of tests/data/wide/, each checked by brute force first.
//
//   kovra_make_wide DIR
//
// Every design is built from its mathematical construction (the Golay code,
// difference sets, PSL(2,11), pigeonhole wheels chosen greedily, projective
// planes over GF(q)), and its known property is checked against every m-set
// before the file is written; a design that fails its check is not written
// and the program ends with 1.
// The output depends on nothing else, so running it again gives the committed
// files byte for byte.
#include "sample.hpp"
#include "wheels.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using Block = std::vector<int>; // ascending points, base 1

struct Wide {
  std::string file;
  unsigned v, k, t, m, l;
  std::vector<Block> blocks;
  std::string comment;
};

// A set of points 1..1024 as sixteen words, as plain as it gets.
struct Set1024 {
  uint64_t w[16] = {};
};

Set1024 ToSet(const Block& b) {
  Set1024 s;
  for (const int p : b) s.w[(p - 1) / 64] |= uint64_t{1} << ((p - 1) % 64);
  return s;
}

unsigned Common(const Set1024& a, const Set1024& b, unsigned words) {
  unsigned n = 0;
  for (unsigned i = 0; i < words; ++i) n += static_cast<unsigned>(std::popcount(a.w[i] & b.w[i]));
  return n;
}

// hist[c]: the m-sets of 1..v that exactly c blocks meet in t or more points
// (c capped at 255), by the definition: every m-set against every block.
std::vector<uint64_t> MeetHistogram(const Wide& d, unsigned t, unsigned m) {
  std::vector<Set1024> sets;
  for (const Block& b : d.blocks) sets.push_back(ToSet(b));
  const unsigned words = (d.v + 63) / 64;
  std::vector<uint64_t> hist(256, 0);
  std::vector<int> c(m);
  for (unsigned i = 0; i < m; ++i) c[i] = static_cast<int>(i) + 1;
  for (;;) {
    const Set1024 s = ToSet(c);
    unsigned meeting = 0;
    for (const Set1024& b : sets) meeting += Common(s, b, words) >= t;
    ++hist[std::min(meeting, 255u)];
    int i = static_cast<int>(m) - 1;
    while (i >= 0 && c[static_cast<size_t>(i)] == static_cast<int>(d.v - m) + 1 + i) --i;
    if (i < 0) return hist;
    ++c[static_cast<size_t>(i)];
    for (size_t j = static_cast<size_t>(i) + 1; j < m; ++j) c[j] = c[j - 1] + 1;
  }
}

// Every m-set meets exactly `lo`..`hi` blocks in t or more points, and
// exactly `below` of them meet fewer than `need`.
bool CheckMeets(const Wide& d, unsigned t, unsigned m, unsigned lo, unsigned hi, unsigned need,
                uint64_t below) {
  const std::vector<uint64_t> hist = MeetHistogram(d, t, m);
  uint64_t under = 0;
  bool inRange = true;
  for (unsigned c = 0; c < 256; ++c) {
    if (hist[c] != 0 && (c < lo || c > hi)) inRange = false;
    if (c < need) under += hist[c];
  }
  if (!inRange || under != below) {
    std::cerr << "kovra_make_wide: " << d.file << " fails its check for t=" << t << " m=" << m
              << "\n";
    return false;
  }
  return true;
}

// The m = t = 5 check of the blown-up design without 61 million block scans:
// one bit per 5-subset of 1..96 marked from every block, none left unmarked.
bool EveryFiveSetCovered(const Wide& d) {
  std::vector<std::vector<uint64_t>> binom(d.v + 1, std::vector<uint64_t>(6, 0));
  for (unsigned n = 0; n <= d.v; ++n) {
    binom[n][0] = 1;
    for (unsigned r = 1; r <= 5 && n > 0; ++r) binom[n][r] = binom[n - 1][r - 1] + binom[n - 1][r];
  }
  std::vector<bool> marked(binom[d.v][5], false);
  for (const Block& b : d.blocks) {
    const size_t k = b.size();
    for (size_t a = 0; a < k; ++a)
      for (size_t c = a + 1; c < k; ++c)
        for (size_t e = c + 1; e < k; ++e)
          for (size_t f = e + 1; f < k; ++f)
            for (size_t g = f + 1; g < k; ++g) // colex rank of the 5-subset
              marked[binom[b[a] - 1][1] + binom[b[c] - 1][2] + binom[b[e] - 1][3] +
                     binom[b[f] - 1][4] + binom[b[g] - 1][5]] = true;
  }
  return std::find(marked.begin(), marked.end(), false) == marked.end();
}

// t = 2, m = 3 without a scan of the blocks per triple: a block meets a
// triple in two points exactly when it holds one of its pairs, so the
// triples whose three pairs lie in no block are the losing ones, in order.
std::vector<Block> TriplesWithoutPair(const Wide& d) {
  const size_t v = d.v;
  std::vector<char> held((v + 1) * (v + 1), 0);
  for (const Block& b : d.blocks)
    for (const int x : b)
      for (const int y : b) held[static_cast<size_t>(x) * (v + 1) + static_cast<size_t>(y)] = 1;
  const auto pair = [&](size_t x, size_t y) { return held[x * (v + 1) + y] != 0; };
  std::vector<Block> out;
  for (size_t a = 1; a <= v; ++a)
    for (size_t b = a + 1; b <= v; ++b) {
      if (pair(a, b)) continue;
      for (size_t c = b + 1; c <= v; ++c)
        if (!pair(a, c) && !pair(b, c))
          out.push_back({static_cast<int>(a), static_cast<int>(b), static_cast<int>(c)});
    }
  return out;
}

// PG(2, q) (wheels.hpp) as blocks.
std::vector<Block> Plane(unsigned q) {
  std::vector<Block> out;
  for (const auto& line : kovra::wheels::ProjectivePlaneRows(q))
    out.emplace_back(line.begin(), line.end());
  return out;
}

// PG(2,23) without the first line L through points past 128, 256 and 512,
// and blocks that bring back every pair of L except the three of a triangle
// {a, b, c} on L with a past 128, b past 256 and c past 512: each such
// pair x < y with the first q - 1 points off L. Every pair but the
// triangle's then lies in a block, and for t = 2, m = 3 the triangle alone
// loses. Sets *triangle.
std::vector<Block> OneLosingTriangle(Block* triangle) {
  std::vector<Block> lines = Plane(23);
  const auto past = [](const Block& b, int from) {
    return *std::find_if(b.begin(), b.end(), [from](int p) { return p > from; });
  };
  const auto reaches = [](const Block& b) { return b.front() <= 128 && b.back() > 512; };
  const auto at = std::find_if(lines.begin(), lines.end(), [&](const Block& b) {
    return reaches(b) &&
           std::any_of(b.begin(), b.end(), [](int p) { return p > 128 && p <= 256; }) &&
           std::any_of(b.begin(), b.end(), [](int p) { return p > 256 && p <= 512; });
  });
  const Block line = *at;
  lines.erase(at);
  *triangle = {past(line, 128), past(line, 256), past(line, 512)};
  Block off;
  for (int p = 1; off.size() < 22; ++p)
    if (!std::binary_search(line.begin(), line.end(), p)) off.push_back(p);
  const auto inTriangle = [&](int p) {
    return std::find(triangle->begin(), triangle->end(), p) != triangle->end();
  };
  for (size_t i = 0; i < line.size(); ++i)
    for (size_t j = i + 1; j < line.size(); ++j) {
      if (inTriangle(line[i]) && inTriangle(line[j])) continue;
      Block b = off;
      b.push_back(line[i]);
      b.push_back(line[j]);
      std::sort(b.begin(), b.end());
      lines.push_back(b);
    }
  return lines;
}

// The 759 octads: supports of the weight-8 words of the extended Golay code.
std::vector<Block> Octads() {
  std::vector<Block> out;
  for (const uint32_t w : kovra::sample::ExtendedGolayCode()) {
    if (std::popcount(w) != 8) continue;
    Block b;
    for (int i = 0; i < 24; ++i)
      if ((w >> i & 1u) != 0) b.push_back(i + 1);
    out.push_back(b);
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The translates of a difference set mod n, points 1..n.
std::vector<Block> Develop(const std::vector<int>& base, int n) {
  std::vector<Block> out;
  for (int i = 0; i < n; ++i) {
    Block b;
    for (const int x : base) b.push_back((x + i) % n + 1);
    std::sort(b.begin(), b.end());
    out.push_back(b);
  }
  std::sort(out.begin(), out.end());
  return out;
}

bool IsPerfectDifferenceSet(const std::vector<int>& base, int n) {
  std::set<int> diffs;
  for (const int a : base)
    for (const int b : base)
      if (a != b) diffs.insert(((a - b) % n + n) % n);
  return diffs.size() == static_cast<size_t>(n - 1) &&
         base.size() * (base.size() - 1) + 1 == static_cast<size_t>(n);
}

// S(5,6,12): the orbit of {inf,1,3,4,5,9} (the quadratic residues mod 11 and
// infinity) under PSL(2,11), generated by x -> x+1 and x -> -1/x. Points
// 0..10 become 1..11, infinity 12.
std::vector<Block> Hexads() {
  constexpr int inf = 11;
  const auto shift = [](int x) { return x == inf ? inf : (x + 1) % 11; };
  const auto invert = [](int x) {
    if (x == inf) return 0;
    if (x == 0) return inf;
    int y = 1;
    while (x * y % 11 != 1) ++y;
    return (11 - y) % 11;
  };
  std::set<Block> seen;
  std::vector<Block> todo;
  const auto visit = [&](const Block& b, auto&& f) {
    Block c;
    for (const int x : b) c.push_back(f(x));
    std::sort(c.begin(), c.end());
    if (seen.insert(c).second) todo.push_back(c);
  };
  visit({1, 3, 4, 5, 9, inf}, [](int x) { return x; });
  while (!todo.empty()) {
    const Block b = todo.back();
    todo.pop_back();
    visit(b, shift);
    visit(b, invert);
  }
  std::vector<Block> out;
  for (Block b : seen) {
    for (int& x : b) ++x;
    out.push_back(b);
  }
  return out;
}

// 5-sets inside consecutive groups of points covering every pair of each
// group: per group, the lexicographically first 5-set holding the most
// pairs not yet held, until none is left. A draw of 5 numbers with two in
// one group then shares two with a block.
std::vector<Block> GroupPairWheel(const std::vector<int>& groupSizes) {
  std::vector<Block> out;
  int start = 1;
  for (const int g : groupSizes) {
    std::vector<Block> candidates;
    for (uint32_t mask = 0; mask < (1u << g); ++mask)
      if (std::popcount(mask) == 5) {
        Block b;
        for (int i = 0; i < g; ++i)
          if ((mask >> i & 1u) != 0) b.push_back(start + i);
        candidates.push_back(b);
      }
    std::sort(candidates.begin(), candidates.end());
    std::set<std::pair<int, int>> held;
    const size_t pairs = static_cast<size_t>(g * (g - 1) / 2);
    while (held.size() < pairs) {
      const Block* best = nullptr;
      size_t bestGain = 0;
      for (const Block& b : candidates) {
        size_t gain = 0;
        for (size_t i = 0; i < 5; ++i)
          for (size_t j = i + 1; j < 5; ++j) gain += held.count({b[i], b[j]}) == 0;
        if (gain > bestGain) {
          bestGain = gain;
          best = &b;
        }
      }
      for (size_t i = 0; i < 5; ++i)
        for (size_t j = i + 1; j < 5; ++j) held.insert({(*best)[i], (*best)[j]});
      out.push_back(*best);
    }
    start += g;
  }
  return out;
}

// S(3,4,8): the planes of AG(3,2), the 4-sets of F_2^3 that add to 0;
// points 0..7 as 1..8.
std::vector<Block> AffinePlanes() {
  std::vector<Block> out;
  for (int a = 0; a < 8; ++a)
    for (int b = a + 1; b < 8; ++b)
      for (int c = b + 1; c < 8; ++c) {
        const int d = a ^ b ^ c;
        if (d > c) out.push_back({a + 1, b + 1, c + 1, d + 1});
      }
  return out;
}

// A relabelled copy: the points and the order of the blocks permuted by a
// fixed generator (Fisher-Yates on std::mt19937, whose output the standard
// fixes), the points of each block left in their new, unsorted order.
std::vector<Block> Relabel(std::vector<Block> blocks, int v, uint32_t seed) {
  std::mt19937 random(seed);
  const auto shuffle = [&random](auto& list) {
    for (size_t i = list.size(); i > 1; --i) std::swap(list[i - 1], list[random() % i]);
  };
  std::vector<int> image(static_cast<size_t>(v));
  for (int p = 0; p < v; ++p) image[static_cast<size_t>(p)] = p + 1;
  shuffle(image);
  for (Block& b : blocks)
    for (int& p : b) p = image[static_cast<size_t>(p - 1)];
  shuffle(blocks);
  return blocks;
}

std::string Text(const Wide& d) {
  char line[64];
  std::string text = "#ID      v b k v1 w1/w2 t/m L x Base bCmpr CHI CEI CLL CfExp ...\n";
  std::snprintf(line, sizeof line, "ID       %u %zu %u %u 0/0 %u/%u %u 2 1 0 4 2 64 1 ...\n", d.v,
                d.blocks.size(), d.k, d.v, d.t, d.m, d.l);
  text += line;
  text += "Date     Sun Dec 06 12:00:00 2026\nAuthor   \n";
  text += "Comments " + d.comment + "\nData\n";
  for (const Block& b : d.blocks) {
    for (size_t i = 0; i < b.size(); ++i) {
      std::snprintf(line, sizeof line, i == 0 ? "%2d" : " %2d", b[i]);
      text += line;
    }
    text += "\n";
  }
  return text;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: kovra_make_wide DIR\n";
    return 1;
  }
  const std::vector<Block> octads = Octads();
  const std::vector<int> singer57 = {0, 1, 3, 13, 32, 36, 43, 52};
  if (octads.size() != 759 || !IsPerfectDifferenceSet(singer57, 57) ||
      !IsPerfectDifferenceSet({0, 1, 3}, 7) || !IsPerfectDifferenceSet({0, 1, 3, 9}, 13)) {
    std::cerr << "kovra_make_wide: a construction went wrong\n";
    return 1;
  }
  const std::vector<Block> plane = Develop(singer57, 57);
  std::vector<Block> blownUp;
  for (const Block& b : octads) {
    Block c;
    for (const int p : b)
      for (int j = 3; j >= 0; --j) c.push_back(4 * p - j);
    blownUp.push_back(c);
  }
  // S(4,7,23): the octads through point 24, without it.
  std::vector<Block> derived;
  for (const Block& b : octads)
    if (b.back() == 24) derived.emplace_back(b.begin(), b.end() - 1);
  std::vector<Block> changed = octads;
  changed[0].back() = 14; // 1 2 3 4 5 8 11 14: no octad any more
  const std::vector<Block> pg11 = Plane(11), pg13 = Plane(13), pg16 = Plane(16);
  std::vector<Block> partition;
  for (int p = 1; p <= 300; p += 4) partition.push_back({p, p + 1, p + 2, p + 3});
  Block triangle;
  const std::vector<Block> oneLosing = OneLosingTriangle(&triangle);
  const std::vector<Block> wheel69 = GroupPairWheel({18, 17, 17, 17});
  const std::vector<Block> groups70 = GroupPairWheel({14, 14, 14, 14, 14});
  const std::string b69 = std::to_string(wheel69.size()), b70 = std::to_string(groups70.size());
  const std::vector<Wide> designs = {
      {"C24_8_5_5_1_b759_S5_8_24.txt", 24, 8, 5, 5, 1, octads,
       "S(5,8,24): the 759 octads (weight-8 words) of the extended binary Golay code"},
      {"C24_8_5_5_1_b758_S5_8_24_minus_first.txt", 24, 8, 5, 5, 1,
       std::vector<Block>(octads.begin() + 1, octads.end()),
       "S(5,8,24) without its first octad 1 2 3 4 5 8 11 13: exactly its 56 5-sets lose"},
      {"C96_32_5_5_1_b759_S5_8_24_by_4.txt", 96, 32, 5, 5, 1, blownUp,
       "S(5,8,24) blown up by groups of 4 points: point p becomes 4p-3..4p"},
      {"C57_8_1_2_15_b57_PG2_7.txt", 57, 8, 1, 2, 15, plane,
       "PG(2,7): translates mod 57 of the perfect difference set 0 1 3 13 32 36 43 52, plus 1"},
      {"C57_8_2_2_1_b56_PG2_7_minus_first.txt", 57, 8, 2, 2, 1,
       std::vector<Block>(plane.begin() + 1, plane.end()),
       "PG(2,7) without its first line 1 2 4 14 33 37 44 53: exactly its 28 pairs lose"},
      {"C7_3_1_2_5_b7_fano.txt", 7, 3, 1, 2, 5, Develop({0, 1, 3}, 7),
       "Fano plane: translates mod 7 of 0 1 3, plus 1; every pair meets 5 lines"},
      {"C13_4_1_4_5_b13_PG2_3.txt", 13, 4, 1, 4, 5, Develop({0, 1, 3, 9}, 13),
       "PG(2,3): translates mod 13 of 0 1 3 9, plus 1; every 4-set meets 5 lines or more"},
      {"C12_6_3_4_13_b132_S5_6_12.txt", 12, 6, 3, 4, 13, Hexads(),
       "S(5,6,12): orbit of {inf,1,3,4,5,9} under PSL(2,11), points 0..10 as 1..11, inf as 12"},
      {"C69_5_2_5_1_b" + b69 + "_lotto_2if5.txt", 69, 5, 2, 5, 1, wheel69,
       "groups 1-18 19-35 36-52 53-69, every pair of a group in a 5-set (greedy): 2 if 5"},
      {"C70_5_2_5_1_b" + b70 + "_five_groups_FAIL537824.txt", 70, 5, 2, 5, 1, groups70,
       "5 groups of 14, every pair of a group in a 5-set (greedy): 14^5 draws lose"},
      {"C8_4_3_3_1_b14_S3_4_8.txt", 8, 4, 3, 3, 1, AffinePlanes(),
       "S(3,4,8): the planes of AG(3,2), 4-sets of F_2^3 adding to 0, points 0..7 as 1..8"},
      {"C23_7_4_4_1_b253_S4_7_23.txt", 23, 7, 4, 4, 1, derived,
       "S(4,7,23): the octads of S(5,8,24) through point 24, without it"},
      {"C24_8_5_5_1_b759_S5_8_24_relabelled.txt", 24, 8, 5, 5, 1, Relabel(octads, 24, 24),
       "S(5,8,24) with its points and blocks permuted at random (std::mt19937, seed 24)"},
      {"C24_8_4_4_5_b759_S5_8_24_one_changed.txt", 24, 8, 4, 4, 5, changed,
       "S(5,8,24) with its first octad 1 2 3 4 5 8 11 13 changed to 1 2 3 4 5 8 11 14"},
      {"C133_12_2_2_1_b133_PG2_11.txt", 133, 12, 2, 2, 1, pg11,
       "PG(2,11): points (1,a,b), (0,1,b), (0,0,1) over GF(11) as 1..133, a line per point"},
      {"C133_12_2_2_1_b132_PG2_11_minus_first.txt", 133, 12, 2, 2, 1,
       std::vector<Block>(pg11.begin() + 1, pg11.end()),
       "PG(2,11) without its first line 122..133: exactly its 66 pairs lose"},
      {"C183_14_2_2_1_b183_PG2_13.txt", 183, 14, 2, 2, 1, pg13,
       "PG(2,13): points (1,a,b), (0,1,b), (0,0,1) over GF(13) as 1..183, a line per point"},
      {"C183_14_2_2_1_b182_PG2_13_minus_first.txt", 183, 14, 2, 2, 1,
       std::vector<Block>(pg13.begin() + 1, pg13.end()),
       "PG(2,13) without its first line 170..183: exactly its 91 pairs lose"},
      {"C273_17_2_2_1_b273_PG2_16.txt", 273, 17, 2, 2, 1, pg16,
       "PG(2,16): points (1,a,b), (0,1,b), (0,0,1) over GF(16) = GF(2)[x]/(x^4+x+1) as 1..273"},
      {"C273_17_2_2_1_b272_PG2_16_minus_first.txt", 273, 17, 2, 2, 1,
       std::vector<Block>(pg16.begin() + 1, pg16.end()),
       "PG(2,16) without its first line 257..273: exactly its 136 pairs lose"},
      {"C553_24_2_3_1_b" + std::to_string(oneLosing.size()) + "_one_losing_triple.txt", 553, 24, 2,
       3, 1, oneLosing,
       "PG(2,23) less a line, its pairs back but those of " + std::to_string(triangle[0]) + " " +
           std::to_string(triangle[1]) + " " + std::to_string(triangle[2]) +
           ": only that triple loses"},
      {"C300_4_1_1_1_b75_partition.txt", 300, 4, 1, 1, 1, partition,
       "1..300 in 75 blocks of 4 consecutive points: every point in one block"},
  };
  // What each design is known to satisfy, checked against every m-set.
  const Wide& d = designs[0];
  bool ok =
      CheckMeets(d, 5, 5, 1, 1, 1, 0) && CheckMeets(d, 4, 4, 5, 5, 6, 10626) &&
      CheckMeets(designs[1], 5, 5, 0, 1, 1, 56) && EveryFiveSetCovered(designs[2]) &&
      CheckMeets(designs[3], 2, 2, 1, 1, 1, 0) && CheckMeets(designs[3], 1, 2, 15, 15, 16, 1596) &&
      CheckMeets(designs[4], 2, 2, 0, 1, 1, 28) && CheckMeets(designs[5], 1, 2, 5, 5, 6, 21) &&
      CheckMeets(designs[6], 1, 4, 5, 255, 5, 0) && CheckMeets(designs[7], 5, 5, 1, 1, 1, 0) &&
      CheckMeets(designs[7], 3, 4, 13, 255, 13, 0) && CheckMeets(designs[8], 2, 5, 1, 255, 1, 0) &&
      CheckMeets(designs[9], 2, 5, 0, 255, 1, 14 * 14 * 14 * 14 * 14) &&
      CheckMeets(designs[10], 3, 3, 1, 1, 1, 0) && CheckMeets(designs[11], 4, 4, 1, 1, 1, 0) &&
      CheckMeets(designs[12], 5, 5, 1, 1, 1, 0) && CheckMeets(designs[13], 4, 4, 4, 6, 5, 35);
  // The planes hold every pair once, and without their first line exactly
  // its pairs lose; the last design loses one triple, past 128, 256 and 512.
  for (size_t i = 14; i < 20; i += 2)
    ok = ok && CheckMeets(designs[i], 2, 2, 1, 1, 1, 0) &&
         CheckMeets(designs[i + 1], 2, 2, 0, 1, 1, designs[i].k * (designs[i].k - 1) / 2);
  ok = ok && CheckMeets(designs[21], 1, 1, 1, 1, 1, 0) &&
       TriplesWithoutPair(designs[20]) == std::vector<Block>{triangle} && triangle[0] > 128 &&
       triangle[0] <= 256 && triangle[1] > 256 && triangle[1] <= 512 && triangle[2] > 512;
  // The removed blocks are the ones the comments name.
  const auto lastPoints = [](unsigned q) {
    Block b;
    for (unsigned p = q * q + 1; p <= q * q + q + 1; ++p) b.push_back(static_cast<int>(p));
    return b;
  };
  ok = ok && octads[0] == Block{1, 2, 3, 4, 5, 8, 11, 13} &&
       plane[0] == Block{1, 2, 4, 14, 33, 37, 44, 53} && pg11[0] == lastPoints(11) &&
       pg13[0] == lastPoints(13) && pg16[0] == lastPoints(16);
  if (!ok) return 1;
  for (const Wide& w : designs) {
    const std::string path = std::string(argv[1]) + "/" + w.file;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << Text(w);
    out.close();
    if (!out) {
      std::cerr << "kovra_make_wide: cannot write " << path << "\n";
      return 1;
    }
  }
  return 0;
}
