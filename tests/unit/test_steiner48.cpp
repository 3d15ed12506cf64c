// The S(5,6,48) generator's written design, checked on its own terms: the
// file is parsed back and every 5-set of 1..48 must lie in exactly one of its
// blocks.
#include "steiner48.hpp"

#include "design/combinatorics.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace kovra {
namespace {

using steiner48::Block6;

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

// The blocks of the written file, parsed with nothing from the generator:
// after the "Data" line, six numbers per line. A line that does not hold
// exactly six numbers 1..48 yields a block with a zero, which the checks
// reject.
std::vector<Block6> ParseBlocks(const std::string& text) {
  std::vector<Block6> blocks;
  const size_t data = text.find("\nData\n");
  if (data == std::string::npos) return blocks;
  for (size_t pos = data + 6, end = 0; pos < text.size(); pos = end + 1) {
    end = std::min(text.find('\n', pos), text.size());
    const std::string line = text.substr(pos, end - pos);
    int p[6] = {}, used = 0;
    Block6 b{};
    if (std::sscanf(line.c_str(), "%d %d %d %d %d %d%n", &p[0], &p[1], &p[2], &p[3], &p[4], &p[5],
                    &used) == 6 &&
        used == static_cast<int>(line.size()))
      for (size_t j = 0; j < 6; ++j)
        b[j] = static_cast<uint8_t>(p[j] >= 1 && p[j] <= 48 ? p[j] : 0);
    blocks.push_back(b);
  }
  return blocks;
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

void CheckHeader(const std::string& text) {
  EXPECT_EQ(text.substr(0, text.find("\n 1  2  3  4  5 35\n") + 1),
            "#ID      v b k v1 w1/w2 t/m L x Base bCmpr CHI CEI CLL CfExp ...\n"
            "ID       48 285384 6 48 0/0 5/5 1 2 1 0 4 2 64 1 ...\n"
            "Date     Sun Dec 06 12:00:00 2026\n"
            "Author   \n"
            "Comments S(5,6,48): 11 orbits of PSL(2,47) on PG(1,47), x as x+1, infinity as 48\n"
            "Data\n");
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
    SCOPED_TRACE("5-sets of the file");
    CheckEveryFiveSetOnce(text);
  }
  {
    SCOPED_TRACE("header");
    CheckHeader(text);
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
