// The S(5,6,48) generator: the group it builds, its orbit sweep, and the
// written design, checked here on its own terms: the file is parsed back and
// every 5-set of 1..48 must lie in exactly one of its blocks.
#include "steiner48.hpp"

#include "design/combinatorics.hpp"
#include "formats/textfmt.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace kovra {
namespace {

using steiner48::Block6;
using steiner48::GroupKind;
using steiner48::Perm;

struct FileClose {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string ReadAll(std::FILE* f) {
  std::string text;
  std::rewind(f);
  char buf[65536];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// x -> (ax+b)/(cx+d) on 0..46 with 47 for infinity, straight from the formula.
unsigned Apply(unsigned a, unsigned b, unsigned c, unsigned d, unsigned x) {
  auto inv = [](unsigned y) {
    for (unsigned z = 1; z < 47; ++z)
      if (y * z % 47 == 1) return z;
    return 0u;
  };
  if (x == 47) return c == 0 ? 47 : a * inv(c) % 47;
  const unsigned den = (c * x + d) % 47;
  return den == 0 ? 47 : (a * x + b) % 47 * inv(den) % 47;
}

Perm MapOf(unsigned a, unsigned b, unsigned c, unsigned d) {
  Perm g{};
  for (unsigned x = 0; x < 48; ++x) g[x] = static_cast<uint8_t>(Apply(a, b, c, d, x));
  return g;
}

TEST(Steiner48Group, PslAndPglHaveTheirOrdersAndTheRightMaps) {
  const std::vector<Perm> psl = steiner48::ProjectiveGroup(GroupKind::PSL);
  const std::vector<Perm> pgl = steiner48::ProjectiveGroup(GroupKind::PGL);
  const std::set<Perm> pslSet(psl.begin(), psl.end());
  const std::set<Perm> pglSet(pgl.begin(), pgl.end());
  EXPECT_EQ(psl.size(), 51888u);
  EXPECT_EQ(pslSet.size(), 51888u);
  EXPECT_EQ(pglSet.size(), 103776u);
  for (const Perm& g : psl) {
    Perm sorted = g;
    std::sort(sorted.begin(), sorted.end());
    for (unsigned x = 0; x < 48; ++x) ASSERT_EQ(sorted[x], x);
    ASSERT_TRUE(pglSet.count(g) == 1);
  }
  // -1 is not a square mod 47 (47 = 3 mod 4) and 2 is (47 = 7 mod 8).
  EXPECT_EQ(pslSet.count(MapOf(1, 0, 0, 1)), 1u);  // identity
  EXPECT_EQ(pslSet.count(MapOf(1, 1, 0, 1)), 1u);  // x+1
  EXPECT_EQ(pslSet.count(MapOf(0, 46, 1, 0)), 1u); // -1/x
  EXPECT_EQ(pslSet.count(MapOf(2, 0, 0, 1)), 1u);  // 2x
  EXPECT_EQ(pslSet.count(MapOf(46, 0, 0, 1)), 0u); // -x
  EXPECT_EQ(pglSet.count(MapOf(46, 0, 0, 1)), 1u);
  EXPECT_EQ(pslSet.count(MapOf(0, 1, 1, 0)), 0u); // 1/x, determinant -1
  // Closed under composition: products of spread-out pairs stay inside.
  for (size_t i = 0; i < psl.size(); i += 997)
    for (size_t j = 0; j < psl.size(); j += 1999) {
      Perm gh{};
      for (unsigned x = 0; x < 48; ++x) gh[x] = psl[i][psl[j][x]];
      ASSERT_EQ(pslSet.count(gh), 1u);
    }
}

TEST(Steiner48Orbits, ColexRankCountsUpInColexOrder) {
  uint64_t expected = 0;
  for (unsigned c = 2; c < 48; ++c)
    for (unsigned b = 1; b < c; ++b)
      for (unsigned a = 0; a < b; ++a) {
        const steiner48::PointSet s = (1ull << a) | (1ull << b) | (1ull << c);
        ASSERT_EQ(steiner48::ColexRank(s), expected++);
      }
  EXPECT_EQ(expected, Binomial(48, 3));
  EXPECT_EQ(steiner48::ColexRank(0x1f), 0u);
  EXPECT_EQ(steiner48::ColexRank(0x2f), 1u);
  EXPECT_EQ(steiner48::ColexRank(0x3full << 42), Binomial(48, 6) - 1);
}

TEST(Steiner48Orbits, PslIsThreeHomogeneousAndRegularOnFiveSets) {
  const std::vector<Perm> psl = steiner48::ProjectiveGroup(GroupKind::PSL);
  // With -1 a nonsquare PSL(2,q) is transitive on unordered pairs and on
  // unordered triples of the line.
  for (unsigned k = 1; k <= 3; ++k) {
    const auto orbits = steiner48::KSetOrbits(psl, k, nullptr);
    ASSERT_EQ(orbits.size(), 1u) << k;
    EXPECT_EQ(orbits[0].size, Binomial(48, k));
  }
  // No element but the identity fixes a 5-set: involutions and elements of
  // order 3 move every point, and 5 does not divide the order.
  std::vector<uint16_t> orbitOf;
  const auto fives = steiner48::KSetOrbits(psl, 5, &orbitOf);
  ASSERT_EQ(fives.size(), 33u);
  for (const auto& o : fives) EXPECT_EQ(o.size, 51888u);
  // The orbit index is constant along each orbit.
  for (size_t o = 0; o < fives.size(); ++o)
    for (size_t i = o; i < psl.size(); i += 4099) {
      steiner48::PointSet img = 0;
      for (unsigned x = 0; x < 48; ++x)
        if ((fives[o].rep >> x & 1u) != 0) img |= 1ull << psl[i][x];
      ASSERT_EQ(orbitOf[steiner48::ColexRank(img)], o);
    }
}

// The blocks of the written file, parsed with nothing from the generator:
// after the "Data" line, six numbers per line. A line that does not hold
// exactly six numbers 1..255 yields an all-zero block, which the checks
// reject.
std::vector<Block6> ParseBlocks(const std::string& text) {
  std::vector<Block6> blocks;
  const size_t data = text.find("\nData\n");
  EXPECT_NE(data, std::string::npos);
  if (data == std::string::npos) return blocks;
  for (size_t pos = data + 6; pos < text.size();) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::vector<unsigned> nums;
    for (size_t i = pos; i < end;) {
      if (text[i] == ' ') {
        ++i;
        continue;
      }
      unsigned v = 0;
      for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i) v = v * 10 + (text[i] - '0');
      if (i < end && text[i] != ' ') v = 0; // not a number
      nums.push_back(v);
      if (v == 0 || v > 255) break;
    }
    Block6 b{};
    if (nums.size() == 6 && std::count(nums.begin(), nums.end(), 0u) == 0)
      for (size_t j = 0; j < 6; ++j) b[j] = static_cast<uint8_t>(nums[j]);
    blocks.push_back(b);
    pos = end + 1;
  }
  return blocks;
}

void CheckOrbits(const steiner48::S5648& design) {
  EXPECT_EQ(design.group, GroupKind::PSL);
  EXPECT_EQ(design.cover.fiveOrbits, 33u);
  EXPECT_EQ(design.cover.sixSets, Binomial(48, 6));
  uint64_t sum = 0;
  for (const auto& o : design.cover.chosen) {
    EXPECT_EQ(std::popcount(o.rep), 6);
    EXPECT_EQ(51888u % o.size, 0u);
    sum += o.size;
  }
  EXPECT_EQ(sum, steiner48::kDesignBlocks);
  EXPECT_EQ(design.blocks.size(), steiner48::kDesignBlocks);
}

// How many 5-sets of 1..48 lie in exactly one of the blocks.
int64_t FiveSetsHeldOnce(const std::vector<Block6>& blocks) {
  RankTable table;
  InitRankTable(table, 48, 5);
  std::vector<uint8_t> hits(table.total + 1, 0);
  for (const Block6& b : blocks)
    for (unsigned drop = 0; drop < 6; ++drop) {
      uint8_t five[5];
      for (unsigned j = 0, n = 0; j < 6; ++j)
        if (j != drop) five[n++] = b[j];
      const uint8_t h = hits[RankFast(table, five)];
      hits[RankFast(table, five)] = h == 255 ? h : static_cast<uint8_t>(h + 1);
    }
  return std::count(hits.begin() + 1, hits.end(), uint8_t{1});
}

void CheckEveryFiveSetOnce(const std::string& text) {
  std::vector<Block6> blocks = ParseBlocks(text);
  ASSERT_EQ(blocks.size(), 285384u);
  for (const Block6& b : blocks) {
    for (unsigned j = 0; j < 6; ++j) ASSERT_TRUE(b[j] >= 1 && b[j] <= 48);
    for (unsigned j = 1; j < 6; ++j) ASSERT_LT(b[j - 1], b[j]);
  }
  EXPECT_TRUE(std::is_sorted(blocks.begin(), blocks.end()));
  EXPECT_EQ(Binomial(48, 5), 1712304u);
  EXPECT_EQ(FiveSetsHeldOnce(blocks), 1712304);
  // The count sees a single wrong block: {1,2,3,4,5,35} turned into
  // {1,2,3,4,5,36} leaves its five 5-sets with 35 bare and puts five with 36
  // in a second block; {1,2,3,4,5} stays held once.
  ASSERT_EQ(blocks[0], (Block6{1, 2, 3, 4, 5, 35}));
  blocks[0][5] = 36;
  EXPECT_EQ(FiveSetsHeldOnce(blocks), 1712304 - 10);
}

void CheckInvariance(const std::vector<Block6>& blocks) {
  // x+1 and -1/x generate PSL(2,47); in the file's labels x is x+1 and
  // infinity is 48.
  RankTable table;
  InitRankTable(table, 48, 6);
  std::vector<uint8_t> isBlock(table.total + 1, 0);
  for (const Block6& b : blocks) isBlock[RankFast(table, b.data())] = 1;
  for (const Perm& g : {MapOf(1, 1, 0, 1), MapOf(0, 46, 1, 0)}) {
    for (const Block6& b : blocks) {
      Block6 img{};
      for (unsigned j = 0; j < 6; ++j) img[j] = static_cast<uint8_t>(g[b[j] - 1u] + 1u);
      std::sort(img.begin(), img.end());
      ASSERT_EQ(isBlock[RankFast(table, img.data())], 1);
    }
  }
}

void CheckHeader(const steiner48::S5648& design, const std::string& text) {
  const std::vector<std::string> lines = Lines(text);
  ASSERT_GT(lines.size(), 6u);
  const std::unique_ptr<std::FILE, FileClose> f(std::tmpfile());
  ASSERT_TRUE(f);
  const std::string comment = steiner48::DesignComment(design);
  WriteIdHeader(f.get(), 48, 6, 5, 5, 1, 285384, 2, 1, comment.c_str(), 0, 4, 2, 64, 1, false);
  const std::vector<std::string> own = Lines(ReadAll(f.get()));
  ASSERT_EQ(own.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    if (i == 2) continue; // the Date line
    EXPECT_EQ(lines[i], own[i]) << i;
  }
  EXPECT_EQ(lines[1], "ID       48 285384 6 48 0/0 5/5 1 2 1 0 4 2 64 1 ...");
  EXPECT_EQ(lines[2], "Date     Sun Dec 06 12:00:00 2026");
  EXPECT_EQ(lines[4], "Comments S(5,6,48): 11 orbits of PSL(2,47) on PG(1,47), x as x+1, "
                      "infinity as 48");
  EXPECT_EQ(lines[6], " 1  2  3  4  5 35");
  EXPECT_EQ(lines.size(), 6u + 285384u);
}

// Making the design takes about a second (several under the sanitizers) and
// every test runs in a process of its own, so one test makes it and checks it
// all.
TEST(Steiner48Design, EveryFiveSetOnceInTheWrittenFile) {
  steiner48::S5648 design;
  ASSERT_TRUE(steiner48::MakeS5648(design));
  const std::unique_ptr<std::FILE, FileClose> f(std::tmpfile());
  ASSERT_TRUE(f);
  ASSERT_TRUE(steiner48::WriteS5648(f.get(), design));
  const std::string text = ReadAll(f.get());
  {
    SCOPED_TRACE("orbits");
    CheckOrbits(design);
  }
  {
    SCOPED_TRACE("5-sets of the file");
    CheckEveryFiveSetOnce(text);
  }
  {
    SCOPED_TRACE("invariance");
    CheckInvariance(design.blocks);
  }
  {
    SCOPED_TRACE("header");
    CheckHeader(design, text);
  }
  // FNV-1a of the whole file: the search and the expansion are deterministic,
  // so any change here is a change of the design or of its text.
  uint64_t h = 14695981039346656037ull;
  for (const char c : text) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  EXPECT_EQ(text.size(), 5137160u);
  EXPECT_EQ(h, 5763135789052097927ull);
}

} // namespace
} // namespace kovra
