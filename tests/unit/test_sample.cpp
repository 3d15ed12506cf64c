// The sample design samples/4901683a.616 and its generator: the committed
// file is what the generator writes, and it is checked here on its own terms
// (Steiner part, C27 part, mixed blocks, no redundant block, coverage).
#include "sample.hpp"

#include "base/clock.hpp"
#include "formats/textfmt.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace kovra {
namespace {

namespace fs = std::filesystem;
using sample::Block6;

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const fs::path kSource = KOVRA_SOURCE_DIR;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The committed sample's blocks, parsed here with nothing from the generator.
std::vector<Block6> CommittedBlocks() {
  const std::vector<std::string> lines = Lines(Read(kSource / "samples/4901683a.616"));
  std::vector<Block6> blocks;
  const auto data = std::find(lines.begin(), lines.end(), "Data");
  EXPECT_NE(data, lines.end());
  for (auto it = data + 1; it < lines.end(); ++it) {
    std::istringstream nums(*it);
    std::vector<int> p;
    for (int x = 0; nums >> x;) p.push_back(x);
    EXPECT_EQ(p.size(), 6u) << *it;
    Block6 b{};
    for (size_t j = 0; j < 6 && j < p.size(); ++j) b[j] = static_cast<uint8_t>(p[j]);
    blocks.push_back(b);
  }
  return blocks;
}

using Mask = uint64_t; // bit p = point p (1..49)

Mask MaskOf(const Block6& b) {
  Mask m = 0;
  for (const uint8_t p : b) m |= Mask{1} << p;
  return m;
}

TEST(Sample, GeneratorWritesTheCommittedFileByteForByte) {
  std::string text, error;
  ASSERT_TRUE(sample::MakeSampleText(Read(kSource / "tools/data/C27_6_3_4_1_b86_lotto_valid.txt"),
                                     text, error))
      << error;
  EXPECT_EQ(text, Read(kSource / "samples/4901683a.616"));
}

TEST(Sample, HeaderIsThePlainFileHeaderWithTheSourceLineFirst) {
  const std::vector<std::string> lines = Lines(Read(kSource / "samples/4901683a.616"));
  ASSERT_GT(lines.size(), 7u);
  EXPECT_EQ(lines[0], "# source of points 23-49: stanislav-ilchev/cover 86.txt");

  // What the program's own header writer gives, the Date line aside.
  char* buf = nullptr;
  size_t len = 0;
  std::FILE* f = ::open_memstream(&buf, &len);
  ASSERT_NE(f, nullptr);
  WriteIdHeader(f, 49, 6, 3, 6, 1, 168, 2, 1,
                "S(3,6,22) on 1-22, C(27,6,3,4,1) on 23-49, 5 mixed blocks", 0, 4, 2, 64, 1, false);
  std::fclose(f);
  const std::vector<std::string> header = Lines(buf);
  std::free(buf);
  ASSERT_EQ(header.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    if (header[i].rfind("Date     ", 0) == 0) {
      EXPECT_EQ(lines[i + 1].substr(0, 9), "Date     ");
      EXPECT_EQ(lines[i + 1].size(), header[i].size()); // a 24-character date
      continue;
    }
    EXPECT_EQ(lines[i + 1], header[i]);
  }
  EXPECT_EQ(lines[2], "ID       49 168 6 49 0/0 3/6 1 2 1 0 4 2 64 1 ...");
}

TEST(Sample, GolayCodeIsTheExtendedBinaryGolayCode) {
  const std::vector<uint32_t> code = sample::ExtendedGolayCode();
  ASSERT_EQ(code.size(), 4096u);
  ASSERT_TRUE(std::adjacent_find(code.begin(), code.end()) == code.end()); // distinct
  // Closed under adding each generator row: a linear code of dimension 12.
  constexpr uint32_t g = 0b110001110101u;
  for (unsigned s = 0; s < 12; ++s) {
    uint32_t row = g << s;
    if ((std::popcount(row) & 1) != 0) row |= 1u << 23;
    for (const uint32_t w : code)
      ASSERT_TRUE(std::binary_search(code.begin(), code.end(), w ^ row));
  }
  // Weights 0, 8, 12, 16, 24 only: minimum distance 8, the [24,12,8] code.
  std::array<int, 25> weights{};
  for (const uint32_t w : code) ++weights[std::popcount(w)];
  EXPECT_EQ(weights[0], 1);
  EXPECT_EQ(weights[8], 759);
  EXPECT_EQ(weights[12], 2576);
  EXPECT_EQ(weights[16], 759);
  EXPECT_EQ(weights[24], 1);
}

TEST(Sample, PointsOneTo22HoldEveryTripleExactlyOnce) {
  int count[23][23][23] = {};
  int blocks = 0;
  for (const Block6& b : CommittedBlocks()) {
    if (*std::max_element(b.begin(), b.end()) > 22) continue;
    ++blocks;
    for (int i = 0; i < 6; ++i)
      for (int j = i + 1; j < 6; ++j)
        for (int k = j + 1; k < 6; ++k) {
          std::array<int, 3> t = {b[i], b[j], b[k]};
          std::sort(t.begin(), t.end());
          ++count[t[0]][t[1]][t[2]];
        }
  }
  EXPECT_EQ(blocks, 77);
  for (int a = 1; a <= 22; ++a)
    for (int b = a + 1; b <= 22; ++b)
      for (int c = b + 1; c <= 22; ++c) ASSERT_EQ(count[a][b][c], 1) << a << " " << b << " " << c;
  EXPECT_EQ(sample::SteinerS3622().size(), 77u);
}

TEST(Sample, Points23To49MeetEveryFourSetInThreePoints) {
  std::vector<Mask> part;
  for (const Block6& b : CommittedBlocks())
    if (*std::min_element(b.begin(), b.end()) >= 23) part.push_back(MaskOf(b));
  EXPECT_EQ(part.size(), 86u);
  for (int a = 23; a <= 49; ++a)
    for (int b = a + 1; b <= 49; ++b)
      for (int c = b + 1; c <= 49; ++c)
        for (int d = c + 1; d <= 49; ++d) {
          const Mask four = Mask{1} << a | Mask{1} << b | Mask{1} << c | Mask{1} << d;
          const bool met = std::any_of(part.begin(), part.end(),
                                       [&](Mask m) { return std::popcount(m & four) >= 3; });
          ASSERT_TRUE(met) << a << " " << b << " " << c << " " << d;
        }
}

// covered[a][b]: the points c such that {a, b, c} lies in some block.
using TripleTable = std::array<std::array<Mask, 50>, 50>;

TEST(Sample, MixedBlocksEachHoldATripleOfTheirOwn) {
  const std::vector<Block6> all = CommittedBlocks();
  int mixed = 0;
  for (size_t i = 0; i < all.size(); ++i) {
    const Mask mi = MaskOf(all[i]);
    const bool low = (mi & ((Mask{1} << 23) - 1)) != 0;
    const bool high = (mi >> 23) != 0;
    if (!low || !high) continue;
    ++mixed;
    bool own = false; // some triple of block i meets every other block in < 3 points
    for (int x = 0; x < 6 && !own; ++x)
      for (int y = x + 1; y < 6 && !own; ++y)
        for (int z = y + 1; z < 6 && !own; ++z) {
          const Mask t = Mask{1} << all[i][x] | Mask{1} << all[i][y] | Mask{1} << all[i][z];
          own = true;
          for (size_t j = 0; j < all.size(); ++j)
            if (j != i && (MaskOf(all[j]) & t) == t) own = false;
        }
    EXPECT_TRUE(own) << "block " << i;
  }
  EXPECT_EQ(mixed, 5);
  EXPECT_EQ(all.size(), 168u);
}

TEST(Sample, NoBlockHasAllItsTriplesInEarlierBlocks) {
  TripleTable covered{};
  const std::vector<Block6> all = CommittedBlocks();
  for (size_t i = 0; i < all.size(); ++i) {
    const Block6& b = all[i];
    bool fresh = false;
    for (int x = 0; x < 6; ++x)
      for (int y = 0; y < 6; ++y)
        for (int z = 0; z < 6; ++z) {
          if (x == y || y == z || x == z) continue;
          if ((covered[b[x]][b[y]] >> b[z] & 1u) == 0) fresh = true;
          covered[b[x]][b[y]] |= Mask{1} << b[z];
        }
    EXPECT_TRUE(fresh) << "block " << i << " is redundant";
  }
}

// Counts the 6-sets of 1..49 none of whose triples lies in a block, growing
// sets only by points that form no covered triple with any pair already in.
uint64_t CountUncovered(const TripleTable& covered, std::array<int, 6>& set, int size, Mask cand) {
  if (size == 6) return 1;
  uint64_t n = 0;
  while (cand != 0) {
    const int p = std::countr_zero(cand);
    cand &= cand - 1;
    Mask next = cand;
    for (int i = 0; i < size; ++i) next &= ~covered[set[i]][p];
    set[size] = p;
    n += CountUncovered(covered, set, size + 1, next);
  }
  return n;
}

TEST(Sample, EverySixSetMeetsABlockInThreePoints) {
  // Implied by the two part checks above (a 6-set has 3 points among 1..22
  // or 4 among 23..49); checked here over all C(49,6) sets as well.
  TripleTable covered{};
  for (const Block6& b : CommittedBlocks())
    for (int x = 0; x < 6; ++x)
      for (int y = 0; y < 6; ++y)
        if (x != y) covered[b[x]][b[y]] |= MaskOf(b);
  std::array<int, 6> set{};
  const Mask all = ((Mask{1} << 50) - 1) & ~Mask{1};
  EXPECT_EQ(CountUncovered(covered, set, 0, all), 0u);

  // The check does find holes: without the first Steiner block most of its
  // triples lie in no block, and 6-sets built on them are lost.
  TripleTable fewer{};
  uint64_t skipped = 0;
  for (const Block6& b : CommittedBlocks()) {
    if (skipped == 0 && b[0] == 1 && b[1] == 2 && b[2] == 3) {
      ++skipped;
      continue;
    }
    for (int x = 0; x < 6; ++x)
      for (int y = 0; y < 6; ++y)
        if (x != y) fewer[b[x]][b[y]] |= MaskOf(b);
  }
  EXPECT_EQ(skipped, 1u);
  EXPECT_GT(CountUncovered(fewer, set, 0, all), 0u);
}

TEST(SampleGenerator, OrdersBlocksSoThatNoneIsRedundant) {
  // Twenty blocks hold the twenty triples of X = {1..6}, each with three new
  // points of its own; X last has all its triples in earlier blocks.
  std::vector<Block6> blocks;
  uint8_t next = 7;
  for (uint8_t a = 1; a <= 6; ++a)
    for (uint8_t b = a + 1; b <= 6; ++b)
      for (uint8_t c = b + 1; c <= 6; ++c) {
        blocks.push_back(
            {a, b, c, next, static_cast<uint8_t>(next + 1), static_cast<uint8_t>(next + 2)});
        next = static_cast<uint8_t>(next + 3);
      }
  blocks.push_back({1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(sample::HasGreedyRedundancy(blocks));
  std::vector<Block6> ordered = blocks;
  ASSERT_TRUE(sample::OrderWithoutRedundancy(ordered));
  EXPECT_FALSE(sample::HasGreedyRedundancy(ordered));
  std::vector<Block6> a = blocks, b = ordered;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(a, b); // the same blocks

  // An order that already works is kept as it is.
  std::vector<Block6> fine = {{1, 2, 3, 4, 5, 6}, {1, 2, 7, 8, 9, 10}};
  ASSERT_TRUE(sample::OrderWithoutRedundancy(fine));
  EXPECT_EQ(fine, (std::vector<Block6>{{1, 2, 3, 4, 5, 6}, {1, 2, 7, 8, 9, 10}}));

  // A repeated block can never stand after its twin.
  std::vector<Block6> twins = {{1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}};
  EXPECT_FALSE(sample::OrderWithoutRedundancy(twins));
}

TEST(SampleGenerator, RefusesABrokenInput) {
  std::string text, error;
  EXPECT_FALSE(sample::MakeSampleText("# source: x\n0 1 2 3 4\n", text, error));
  EXPECT_NE(error.find("line 2"), std::string::npos);
  EXPECT_FALSE(sample::MakeSampleText("# source: x\n0 1 2 3 4 27\n", text, error));
  EXPECT_FALSE(sample::MakeSampleText("# source: x\n0 1 2 3 4 5\n", text, error)); // not 86
  const std::string body = Read(kSource / "tools/data/C27_6_3_4_1_b86_lotto_valid.txt");
  EXPECT_FALSE(sample::MakeSampleText(body.substr(body.find('\n') + 1), text, error));
  EXPECT_NE(error.find("source"), std::string::npos);
}

} // namespace
} // namespace kovra
