// The compressed text format: the writer's items and line rule, every
// message of the reader with the rank guard, and round trips. The worked
// example through the whole program is in test_roundtrip_decode_doc.cpp.
#include "base/console.hpp"
#include "compressed_samples.hpp"
#include "design/combinatorics.hpp"
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

// The items the writer gives for `blocks` (v, k as given, repeats on).
std::string ItemsOf(unsigned v, unsigned k, const BlockList& blocks, bool cfExp = true) {
  Sys s = MakeDesign(v, k, blocks);
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
  std::FILE* f = std::tmpfile();
  EXPECT_NE(f, nullptr);
  std::fputs(items.c_str(), f);
  std::rewind(f);
  BlockArray blocks = AllocBlocks(b);
  {
    ConsoleCapture cap;
    r.result = ReadCText(blocks.get(), f, v, k, b, chi, cei);
    r.console = cap.out;
  }
  std::fclose(f);
  r.blocks = ListOf(blocks.get(), b, std::min<unsigned>(k, MAX_K));
  r.kField = BlockK(blocks[0]);
  return r;
}

TEST(CTextWriter, WorkedExampleWithAndWithoutRepeats) {
  Sys rep = ExampleDesign();
  const Written a = WriteToText(rep, 64, true);
  EXPECT_TRUE(a.ok);
  EXPECT_EQ(a.console, "");
  EXPECT_EQ(a.text, "ID 5 4 2 5 0/0 2/2 1 2 1 1 4 2 64 1 ...\n4,4,5,2,1^2,4,3,18,9\n");
  EXPECT_EQ(ListOf(rep.blocks.get(), rep.b, 2), kExampleBlocks); // left sorted
  Sys plain = ExampleDesign();
  EXPECT_EQ(WriteToText(plain, 64, false).text,
            "ID 5 4 2 5 0/0 2/2 1 2 1 1 4 2 64 0 ...\n4,4,5,2,1,1,4,3,18,9\n");
  // The same design held in base 0 (as after -p 0) is ranked in base 1.
  Sys base0 = MakeDesign(5, 2, {{2, 4}, {0, 1}, {1, 3}, {0, 2}}, 2, 2, 1, 0);
  EXPECT_EQ(Items(WriteToText(base0, 64, true).text), "4,4,5,2,1^2,4,3,18,9\n");
}

TEST(CTextWriter, DifferencesRunsAndChecksums) {
  // One block: its rank, here C(49,6) = 13983816, and the rank modulo 65556
  // (not 65536, which would give 24264) twice.
  EXPECT_EQ(ItemsOf(49, 6, {{49, 48, 47, 46, 45, 44}}), "4,1,49,6,13983816,20388,20388\n");
  // Equal blocks give 0; a run of two or more equal differences is one item
  // with repeats, a run of one never is, and a run may reach the last block.
  EXPECT_EQ(ItemsOf(5, 2, {{2, 4}, {4, 2}, {2, 4}}), "4,3,5,2,6,0^2,18,6\n");
  EXPECT_EQ(ItemsOf(5, 2, {{2, 4}, {4, 2}, {2, 4}}, false), "4,3,5,2,6,0,0,18,6\n");
  EXPECT_EQ(ItemsOf(5, 2, {{1, 2}, {1, 2}}), "4,2,5,2,1,0,2,1\n");
  EXPECT_EQ(ItemsOf(5, 1, {{1}, {2}, {3}, {4}, {5}}), "4,5,5,1,1^5,15,5\n");
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
  Sys e = ExampleDesign();
  EXPECT_TRUE(WriteToText(e, 224, true).ok);
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

TEST(CTextReader, AcceptsAnyLineSplitAndSeparator) {
  for (const char* text : {
           "4,4,5,2,1^2,4,3,18,9\n", "4,4,5,2,\n1^2,\n4,3,\n18,\n9\n", "4 4 5 2 1^2 4 3 18 9",
           "4/4/5/2/1^2/4/3/18/9\r\n",
           "\n  # a comment line\n4,\t4, 5,2 ;rest ignored\n1,1,4,3,18,9\n",
           "4,4,5,2,1^2,4,3,18,9,and words after the end\n",
           "4,4,5,2,1^2,4,3,18,9,77,88\n", // items past CS2 are never read
           "4,4,65541,2,1^2,4,3,18,9",     // v is compared in its low 16 bits
       }) {
    const Read r = ReadItems(text, 5, 2, 4);
    EXPECT_EQ(r.result, 4u) << text;
    EXPECT_EQ(r.console, "") << text;
    EXPECT_EQ(r.blocks, kExampleBlocks) << text;
    EXPECT_EQ(r.kField, 2u);
  }
}

TEST(CTextReader, EachFailureGivesItsOneMessage) {
  const struct {
    const char* items;
    uint16_t v;
    uint32_t b;
    const char* message;
  } cases[] = {
      {"3,4,5,2,1^2,4,3,18,9", 5, 4, "Err cH=3 vs. AulHdrItems=4\n"},
      {"4,5,5,2,1^2,4,3,18,9", 5, 4, "Err bH=5 vs. Ab=4\n"},
      {"4,5,6,3,1^2,4,3,18,9", 5, 4, "Err bH=5 vs. Ab=4\n"}, // the first mismatch stops
      {"4,4,6,2,1^2,4,3,18,9", 5, 4, "Err vH=6 vs. Av=5\n"},
      {"4,4,5,3,1^2,4,3,18,9", 5, 4, "Err kH=3 vs. Ak=2\n"},
      // Truncated: header items that never come are no mismatch.
      {"", 5, 4, "Err b=0 vs. Ab=4\n"},
      {"4,4,5", 5, 4, "Err b=0 vs. Ab=4\n"},
      {"4,4,5,2,1^2,4", 5, 4, "Err b=3 vs. Ab=4\n"},
      {"4,4,5,2,1^2,4,3", 5, 4, "Err CS1=18 vs. CS1File=1\n"},
      {"4,4,5,2,1^2,4,3,18", 5, 4, "Err CS2=9 vs. CS2File=1\n"},
      {"4,4,5,2,1^2,4,3,19,9", 5, 4, "Err CS1=18 vs. CS1File=19\n"},
      {"4,4,5,2,1^2,4,3,18,8", 5, 4, "Err CS2=9 vs. CS2File=8\n"},
      // d^0 ends reading at once.
      {"4,4,5,2,1^0,1,4,3,18,9", 5, 4, "Err b=0 vs. Ab=4\n"},
      {"4,4,5,2,1^2,4,3,18^0,9", 5, 4, "Err CS1=18 vs. CS1File=1\n"},
      // Ranks outside 1..C(v,k), their checksums agreeing: ranks 1 2 6 11;
      // first rank 0; 65556 further on; beyond 64 bits (saturated).
      {"4,4,5,2,1^2,4,5,20,11", 5, 4, "Err rank=11 vs. Cn(v,k)=10\n"},
      {"4,2,5,2,0,1,1,1", 5, 2, "Err rank=0 vs. Cn(v,k)=10\n"},
      {"4,2,5,2,1,65556,2,1", 5, 2, "Err rank=65557 vs. Cn(v,k)=10\n"},
      {"4,1,5,2,18446744073709551617,1,1", 5, 1, "Err rank=18446744073709551615 vs. Cn(v,k)=10\n"},
      // Huge repeat counts and a b far beyond the file stay bounded.
      {"4,4,5,2,1^99999999999999999999999999,4,3", 5, 4, "Err CS1=10 vs. CS1File=1\n"},
      {"4,4,5,2,0^18446744073709551615", 5, 4, "Err rank=0 vs. Cn(v,k)=10\n"},
      {"4,100000,49,2,1^2,4,3,18,9", 49, 100000, "Err b=6 vs. Ab=100000\n"},
  };
  for (const auto& c : cases) {
    const Read r = ReadItems(c.items, c.v, 2, c.b);
    EXPECT_EQ(r.result, 0u) << c.items;
    EXPECT_EQ(r.console, c.message) << c.items;
  }
  // The last rank itself is fine.
  EXPECT_EQ(ReadItems("4,1,5,2,10,10,10\n", 5, 2, 1).blocks, (BlockList{{4, 5}}));
}

TEST(CTextReader, HeaderAndEndItemCounts) {
  EXPECT_EQ(ReadItems("5,4,5,2,123456,1^2,4,3,18,9", 5, 2, 4, 5).blocks, kExampleBlocks);
  EXPECT_EQ(ReadItems("31,4,5,2,1^27,1^2,4,3,18,9", 5, 2, 4, 31).result, 4u);
  EXPECT_EQ(ReadItems("4,4,5,2,1^2,4,3,18,9,1,1", 5, 2, 4, 4, 4).result, 4u);
  // Counts out of range, and v and k no design can have: 0 without a message.
  const struct {
    uint16_t v, k;
    uint32_t chi, cei;
  } silent[] = {{5, 2, 3, 2}, {5, 2, 32, 2}, {5, 2, 4, 1}, {5, 2, 4, 32},
                {5, 8, 4, 2}, {3, 4, 4, 2},  {55, 2, 4, 2}};
  for (const auto& c : silent) {
    const Read r = ReadItems("4,4,5,2,1^2,4,3,18,9", c.v, c.k, 4, c.chi, c.cei);
    EXPECT_EQ(r.result, 0u);
    EXPECT_EQ(r.console, "");
    EXPECT_EQ(r.blocks[0][0], 0); // nothing decoded
  }
}

// The decoder unranks with its own loop; the reference UnrankComb checks it
// on every rank, and one past the last is refused.
TEST(RankDecoder, AgreesWithTheReferenceUnrankOnEveryRank) {
  for (auto [v, k] : {std::pair{9u, 4u}, {12u, 1u}, {8u, 7u}, {7u, 7u}}) {
    const uint64_t total = Binomial(v, k);
    BlockArray blocks = AllocBlocks(total);
    RankDecoder dec;
    ASSERT_TRUE(InitRankDecoder(dec, blocks.get(), static_cast<uint32_t>(total), v, k));
    for (uint64_t r = 1; r <= total; ++r) {
      ASSERT_TRUE(DecodeRankDiff(dec, 1));
      uint8_t ref[8] = {};
      UnrankComb(r, v, k, ref);
      ASSERT_EQ(ListOf(&blocks[r - 1], 1, k)[0], std::vector<int>(ref, ref + k)) << r;
    }
    EXPECT_FALSE(DecodeRankDiff(dec, 1));
    EXPECT_EQ(dec.badRank, total + 1);
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
