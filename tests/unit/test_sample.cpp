// The sample design samples/4901683a.616 and its generator: the committed
// file is what the generator writes, and it is checked here on its own terms
// (header, Steiner part, C27 part, mixed blocks). A 6-set of 1..49 has 3
// points among 1..22 or 4 among 23..49, so the two part checks prove that
// the sample covers. The golden run of the sample shows the program itself
// finding no redundant block in it.
#include "sample.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
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
const std::string kHeader = "# source of points 23-49: stanislav-ilchev/cover 86.txt\n"
                            "#ID      v b k v1 w1/w2 t/m L x Base bCmpr CHI CEI CLL CfExp ...\n"
                            "ID       49 168 6 49 0/0 3/6 1 2 1 0 4 2 64 1 ...\n"
                            "Date     Sun Dec 06 12:00:00 2026\n"
                            "Author   \n"
                            "Comments S(3,6,22) on 1-22, C(27,6,3,4,1) on 23-49, 5 mixed blocks\n"
                            "Data\n";

// The committed sample's blocks, parsed here with nothing from the generator.
std::vector<Block6> CommittedBlocks() {
  const std::string text = Read(kSource / "samples/4901683a.616");
  EXPECT_EQ(text.substr(0, kHeader.size()), kHeader);
  std::istringstream in(text.substr(kHeader.size()));
  std::vector<Block6> blocks;
  for (std::string line; std::getline(in, line);) {
    std::istringstream nums(line);
    std::vector<int> p;
    for (int x = 0; nums >> x;) p.push_back(x);
    EXPECT_EQ(p.size(), 6u) << line;
    Block6 b{};
    for (size_t j = 0; j < 6 && j < p.size(); ++j) b[j] = static_cast<uint8_t>(p[j]);
    blocks.push_back(b);
  }
  EXPECT_EQ(blocks.size(), 168u);
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

TEST(Sample, FiveMixedBlocksEachHoldATripleOfTheirOwn) {
  const std::vector<Block6> all = CommittedBlocks();
  int mixed = 0;
  for (size_t i = 0; i < all.size(); ++i) {
    const Mask mi = MaskOf(all[i]);
    if ((mi & ((Mask{1} << 23) - 1)) == 0 || (mi >> 23) == 0) continue;
    ++mixed;
    bool own = false; // some triple of block i lies in no other block
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
