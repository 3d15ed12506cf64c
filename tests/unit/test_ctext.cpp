// The compressed text format: the writer's items and line rule, every
// message of the reader with the rank guard, and round trips. The worked
// example through the whole program is in test_roundtrip_decode_doc.cpp.
#include "base/console.hpp"
#include "compressed_samples.hpp"
#include "formats/ctext.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace kovra {
namespace {

using namespace samples;

struct Written {
  bool ok = false;
  std::string text;    // the file
  std::string console; // what the writer printed
};

Written WriteToText(Sys& sys, uint32_t cll, bool cfExp, std::FILE* f = std::tmpfile()) {
  Written w;
  EXPECT_NE(f, nullptr);
  {
    ConsoleCapture cap;
    w.ok = WriteCText(sys, f, cll, cfExp);
    w.console = cap.out;
  }
  std::rewind(f);
  for (int c; (c = std::fgetc(f)) != EOF;) w.text.push_back(static_cast<char>(c));
  std::fclose(f);
  return w;
}

// The lines of a file after its ID line.
std::string Items(const std::string& file) { return file.substr(file.find('\n') + 1); }

// The items the writer gives for `blocks` (points in `base`).
std::string ItemsOf(unsigned v, unsigned k, const BlockList& blocks, bool cfExp = true,
                    unsigned base = 1) {
  Sys s = MakeDesign(v, k, blocks, 2, 2, 1, base);
  return Items(WriteToText(s, 64, cfExp).text);
}

struct Read {
  uint32_t result = 0;
  BlockList blocks;    // what the array holds afterwards (all b entries)
  unsigned kField = 0; // the k field of the first block
  std::string console;
};

// Feeds `items` (the lines after the ID line) to the reader with an array of
// exactly b blocks, so that any write past it shows under the sanitizers.
Read ReadItems(const std::string& items, uint16_t v, uint16_t k, uint32_t b, uint32_t chi = 4,
               uint32_t cei = 2) {
  Read r;
  TextCursor text = CursorOver(items.data(), items.size());
  BlockArray blocks = AllocBlocks(b);
  {
    ConsoleCapture cap;
    r.result = ReadCText(blocks.get(), text, v, k, b, chi, cei);
    r.console = cap.out;
  }
  r.blocks = ListOf(blocks.get(), b, std::min<unsigned>(k, MAX_K));
  r.kField = BlockK(blocks[0]);
  return r;
}

// The worked example's files come from the whole program in
// test_roundtrip_decode_doc.cpp; here the items of smaller cases.
TEST(CTextWriter, DifferencesRunsAndChecksums) {
  // The example, also held in base 0 (as after -p 0): ranked in base 1.
  EXPECT_EQ(ItemsOf(5, 2, {{3, 5}, {2, 1}, {2, 4}, {1, 3}}), "4,4,5,2,1^2,4,3,18,9\n");
  EXPECT_EQ(ItemsOf(5, 2, {{2, 4}, {0, 1}, {1, 3}, {0, 2}}, true, 0), "4,4,5,2,1^2,4,3,18,9\n");
  // One block: its rank, here C(49,6) = 13983816, and the rank modulo 65556
  // (not 65536, which would give 24264) twice.
  EXPECT_EQ(ItemsOf(49, 6, {{49, 48, 47, 46, 45, 44}}), "4,1,49,6,13983816,20388,20388\n");
  // Equal blocks give 0; a run of two or more equal differences is one item
  // with repeats, a run of one never is, and a run may reach the last block.
  EXPECT_EQ(ItemsOf(5, 2, {{2, 4}, {4, 2}, {2, 4}}), "4,3,5,2,6,0^2,18,6\n");
  EXPECT_EQ(ItemsOf(5, 2, {{2, 4}, {4, 2}, {2, 4}}, false), "4,3,5,2,6,0,0,18,6\n");
  EXPECT_EQ(ItemsOf(5, 2, {{1, 2}, {1, 2}}), "4,2,5,2,1,0,2,1\n");
  EXPECT_EQ(ItemsOf(5, 1, {{1}, {2}, {3}, {4}, {5}}), "4,5,5,1,1^5,15,5\n");
  // The writer leaves the design sorted.
  Sys s = ExampleDesign();
  ASSERT_TRUE(WriteToText(s, 64, true).ok);
  EXPECT_EQ(ListOf(s.blocks.get(), s.b, 2), kExampleBlocks);
}

TEST(CTextWriter, LineLengthRule) {
  // -G32: a line goes out as soon as it reaches 28 characters.
  Sys s = MakeDesign(10, 1, {{1}, {2}, {3}, {4}, {5}, {6}, {7}, {8}, {9}, {10}}, 1, 1);
  const Written w = WriteToText(s, 32, false);
  EXPECT_TRUE(w.ok);
  EXPECT_EQ(w.text, "ID 10 10 1 10 0/0 1/1 1 2 1 1 4 2 32 0 ...\n"
                    "4,10,10,1,1,1,1,1,1,1,1,1,1,\n" // 28 characters
                    "1,55,10\n");
  for (const uint32_t cll : {31u, 225u}) {
    Sys e = ExampleDesign();
    const Written bad = WriteToText(e, cll, true);
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.text, "") << cll;
    EXPECT_EQ(bad.console, "\rErr: AvgLineLen given not in range. Should be 32..224\n");
  }
}

TEST(CTextWriter, FailsOnBlocksWithoutRankAndOnAFullDisk) {
  // A point 0 in base 1 would rank like {1,3} if nobody looked at it.
  for (const BlockList& bad : {BlockList{{0, 2}, {1, 2}}, BlockList{{1, 6}}, BlockList{{3, 3}}}) {
    Sys s = MakeDesign(5, 2, bad);
    const Written w = WriteToText(s, 64, true);
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.console, "");
  }
  std::FILE* full = std::fopen("/dev/full", "w");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full";
  std::mt19937 rng(3);
  Sys s = MakeDesign(49, 6, RandomBlocks(rng, 49, 6, 2000), 3, 6);
  const Written w = WriteToText(s, 64, true, full);
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.console, "Err: write error in compressed text output\n");
}

TEST(CTextReader, AcceptsAnyLineSplitSeparatorAndItemCounts) {
  const struct {
    const char* text;
    uint32_t chi = 4, cei = 2;
  } cases[] = {
      {"4,4,5,2,1^2,4,3,18,9\n"},
      {"4,4,5,2,\n1^2,\n4,3,\n18,\n9\n"},
      {"4 4 5 2 1^2 4 3 18 9"},
      {"4/4/5/2/1^2/4/3/18/9\r\n"},
      {"\n  # a comment line\n4,\t4, 5,2 ;rest ignored\n1,1,4,3,18,9\n"},
      {"4,4,5,2,1^2,4,3,18,9,and words after the end\n"},
      {"4,4,5,2,1^2,4,3,18,9,77,88\n"}, // items past CS2 are never read
      {"4,4,65541,2,1^2,4,3,18,9"},     // v is compared in its low 16 bits
      {"5,4,5,2,123456,1^2,4,3,18,9", 5},
      {"31,4,5,2,1^27,1^2,4,3,18,9", 31},
      {"4,4,5,2,1^2,4,3,18,9,1,1", 4, 4},
  };
  for (const auto& c : cases) {
    const Read r = ReadItems(c.text, 5, 2, 4, c.chi, c.cei);
    EXPECT_EQ(r.result, 4u) << c.text;
    EXPECT_EQ(r.console, "") << c.text;
    EXPECT_EQ(r.blocks, kExampleBlocks) << c.text;
    EXPECT_EQ(r.kField, 2u);
  }
  // The last rank itself is fine.
  EXPECT_EQ(ReadItems("4,1,5,2,10,10,10\n", 5, 2, 1).blocks, (BlockList{{4, 5}}));
}

TEST(CTextReader, EachFailureGivesItsOneMessage) {
  const struct {
    const char* items;
    const char* message;
    uint32_t b = 4;
    uint16_t v = 5, k = 2;
    uint32_t chi = 4, cei = 2;
  } cases[] = {
      {"3,4,5,2,1^2,4,3,18,9", "Err cH=3 vs. AulHdrItems=4\n"},
      {"4,5,5,2,1^2,4,3,18,9", "Err bH=5 vs. Ab=4\n"},
      {"4,5,6,3,1^2,4,3,18,9", "Err bH=5 vs. Ab=4\n"}, // the first mismatch stops
      {"4,4,6,2,1^2,4,3,18,9", "Err vH=6 vs. Av=5\n"},
      {"4,4,5,3,1^2,4,3,18,9", "Err kH=3 vs. Ak=2\n"},
      // Truncated: header items that never come are no mismatch.
      {"", "Err b=0 vs. Ab=4\n"},
      {"4,4,5", "Err b=0 vs. Ab=4\n"},
      {"4,4,5,2,1^2,4", "Err b=3 vs. Ab=4\n"},
      {"4,4,5,2,1^2,4,3", "Err CS1=18 vs. CS1File=1\n"},
      {"4,4,5,2,1^2,4,3,18", "Err CS2=9 vs. CS2File=1\n"},
      {"4,4,5,2,1^2,4,3,19,9", "Err CS1=18 vs. CS1File=19\n"},
      {"4,4,5,2,1^2,4,3,18,8", "Err CS2=9 vs. CS2File=8\n"},
      // d^0 ends reading at once.
      {"4,4,5,2,1^0,1,4,3,18,9", "Err b=0 vs. Ab=4\n"},
      {"4,4,5,2,1^2,4,3,18^0,9", "Err CS1=18 vs. CS1File=1\n"},
      // Ranks outside 1..C(v,k), their checksums agreeing: ranks 1 2 6 11;
      // first rank 0; 65556 further on; beyond 64 bits (saturated).
      {"4,4,5,2,1^2,4,5,20,11", "Err rank=11 vs. Cn(v,k)=10\n"},
      {"4,2,5,2,0,1,1,1", "Err rank=0 vs. Cn(v,k)=10\n", 2},
      {"4,2,5,2,1,65556,2,1", "Err rank=65557 vs. Cn(v,k)=10\n", 2},
      {"4,1,5,2,18446744073709551617,1,1", "Err rank=18446744073709551615 vs. Cn(v,k)=10\n", 1},
      // Huge repeat counts and a b far beyond the file stay bounded.
      {"4,4,5,2,1^99999999999999999999999999,4,3", "Err CS1=10 vs. CS1File=1\n"},
      {"4,4,5,2,0^18446744073709551615", "Err rank=0 vs. Cn(v,k)=10\n"},
      {"4,100000,49,2,1^2,4,3,18,9", "Err b=6 vs. Ab=100000\n", 100000, 49},
      // Item counts out of range, and v and k no design can have: no message.
      {"4,4,5,2,1^2,4,3,18,9", "", 4, 5, 2, 3, 2},
      {"4,4,5,2,1^2,4,3,18,9", "", 4, 5, 2, 32, 2},
      {"4,4,5,2,1^2,4,3,18,9", "", 4, 5, 2, 4, 1},
      {"4,4,5,2,1^2,4,3,18,9", "", 4, 5, 2, 4, 32},
      {"4,4,5,2,1^2,4,3,18,9", "", 4, 5, 8},
      {"4,4,5,2,1^2,4,3,18,9", "", 4, 3, 4},
      {"4,4,5,2,1^2,4,3,18,9", "", 4, 55, 2},
  };
  for (const auto& c : cases) {
    const Read r = ReadItems(c.items, c.v, c.k, c.b, c.chi, c.cei);
    EXPECT_EQ(r.result, 0u) << c.items;
    EXPECT_EQ(r.console, c.message) << c.items;
  }
}

TEST(CTextRoundTrip, RandomDesignsComeBackSorted) {
  std::mt19937 rng(2024);
  for (int round = 0; round < 60; ++round) {
    unsigned v = 0, k = 0;
    const BlockList blocks = RandomDesign(rng, round, v, k);
    const auto b = static_cast<uint32_t>(blocks.size());
    Sys s = MakeDesign(v, k, blocks);
    const Written w = WriteToText(s, 32 + rng() % 193, (round & 1) != 0);
    ASSERT_TRUE(w.ok);
    const Read r = ReadItems(Items(w.text), static_cast<uint16_t>(v), static_cast<uint16_t>(k), b);
    ASSERT_EQ(r.result, b) << r.console;
    EXPECT_EQ(r.blocks, Sorted(blocks)) << "v=" << v << " k=" << k << " b=" << b;
  }
}

} // namespace
} // namespace kovra
