// The compressed text format: the worked example, the line rule, every
// message of the reader, the rank guard, hostile inputs and round trips.
#include "base/console.hpp"
#include "compressed_samples.hpp"
#include "design/combinatorics.hpp"
#include "formats/ctext.hpp"
#include "formats/textfmt.hpp"

#include <gtest/gtest.h>

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

Written WriteToText(Sys& sys, uint32_t cll, bool cfExp) {
  Written w;
  std::FILE* f = std::tmpfile();
  EXPECT_NE(f, nullptr);
  {
    ConsoleCapture cap;
    w.ok = WriteCText(sys, f, cll, cfExp);
    w.console = cap.out;
  }
  std::rewind(f);
  int c;
  while ((c = std::fgetc(f)) != EOF) w.text.push_back(static_cast<char>(c));
  std::fclose(f);
  return w;
}

struct Read {
  uint32_t result = 0;
  BlockList blocks;    // what the array holds afterwards (all b entries)
  unsigned kField = 0; // the k field of the first block
  std::string console;
};

// Feeds `items` (the lines after the ID line) to the reader with an array of
// exactly b blocks, so that any write past it shows under the sanitizers.
Read ReadFromText(const std::string& items, uint16_t v, uint16_t k, uint32_t b, uint32_t chi = 4,
                  uint32_t cei = 2) {
  Read r;
  std::FILE* f = std::tmpfile();
  EXPECT_NE(f, nullptr);
  std::fwrite(items.data(), 1, items.size(), f);
  std::rewind(f);
  BlockArray blocks = AllocBlocks(b == 0 ? 1 : b);
  {
    ConsoleCapture cap;
    r.result = ReadCText(blocks.get(), f, v, k, b, chi, cei);
    r.console = cap.out;
  }
  std::fclose(f);
  r.blocks = ListOf(blocks.get(), b, k);
  r.kField = BlockK(blocks[0]);
  return r;
}

// The lines of a file after its ID line.
std::string ItemLines(const std::string& file) { return file.substr(file.find('\n') + 1); }

const char kExampleRep[] = "ID 5 4 2 5 0/0 2/2 1 2 1 1 4 2 64 1 ...\n4,4,5,2,1^2,4,3,18,9\n";
const char kExampleNoRep[] = "ID 5 4 2 5 0/0 2/2 1 2 1 1 4 2 64 0 ...\n4,4,5,2,1,1,4,3,18,9\n";

TEST(CTextExample, WrittenByteForByteWithAndWithoutRepeats) {
  Sys rep = ExampleDesign();
  const Written a = WriteToText(rep, 64, true);
  EXPECT_TRUE(a.ok);
  EXPECT_EQ(a.text, kExampleRep);
  EXPECT_EQ(a.console, "");
  // The writer leaves the design sorted.
  EXPECT_EQ(ListOf(rep.blocks.get(), rep.b, 2), kExampleBlocks);

  Sys plain = ExampleDesign();
  const Written b = WriteToText(plain, 64, false);
  EXPECT_TRUE(b.ok);
  EXPECT_EQ(b.text, kExampleNoRep);
}

TEST(CTextExample, GoldenFilesMatchTheWriterAndReadBack) {
  EXPECT_EQ(ReadFile(DataFile("example_rep.ctext")), kExampleRep);
  EXPECT_EQ(ReadFile(DataFile("example_norep.ctext")), kExampleNoRep);
  for (const char* name : {"example_rep.ctext", "example_norep.ctext"}) {
    std::FILE* f = std::fopen(DataFile(name).c_str(), "r");
    ASSERT_NE(f, nullptr) << name;
    char line[LINE_BUFSIZE];
    ASSERT_TRUE(ReadTextLine(line, f, true, true, true)); // the ID line
    BlockArray blocks = AllocBlocks(4);
    std::string console;
    uint32_t n;
    {
      ConsoleCapture cap;
      n = ReadCText(blocks.get(), f, 5, 2, 4, 4, 2);
      console = cap.out;
    }
    std::fclose(f);
    EXPECT_EQ(n, 4u) << name;
    EXPECT_EQ(console, "") << name;
    EXPECT_EQ(ListOf(blocks.get(), 4, 2), kExampleBlocks) << name;
    EXPECT_EQ(BlockK(blocks[0]), 2u);
  }
}

TEST(CTextWriter, OneBlockGivesTheRankAndItTwiceAsChecksums) {
  // The last 6-subset of 49 points has rank C(49,6) = 13983816, which is
  // 20388 modulo 65556 (and would be 24264 modulo 65536).
  Sys s = MakeDesign(49, 6, {{49, 48, 47, 46, 45, 44}}, 3, 6, 1);
  const Written w = WriteToText(s, 64, true);
  EXPECT_TRUE(w.ok);
  EXPECT_EQ(ItemLines(w.text), "4,1,49,6,13983816,20388,20388\n");
  const Read r = ReadFromText(ItemLines(w.text), 49, 6, 1);
  EXPECT_EQ(r.result, 1u);
  EXPECT_EQ(r.blocks, (BlockList{{44, 45, 46, 47, 48, 49}}));
}

TEST(CTextWriter, RankOfEveryBlockMatchesItsLexicographicPosition) {
  const BlockList all = AllSubsets(7, 3);
  for (size_t i = 0; i < all.size(); i += 5) {
    Sys s = MakeDesign(7, 3, {all[i]});
    const Written w = WriteToText(s, 64, true);
    const std::string r = std::to_string(i + 1);
    EXPECT_EQ(ItemLines(w.text), "4,1,7,3," + r + "," + r + "," + r + "\n");
  }
}

TEST(CTextWriter, EqualBlocksGiveZeroDifferencesAndOneRepeatItem) {
  Sys rep = MakeDesign(5, 2, {{2, 4}, {4, 2}, {2, 4}});
  EXPECT_EQ(ItemLines(WriteToText(rep, 64, true).text), "4,3,5,2,6,0^2,18,6\n");
  Sys plain = MakeDesign(5, 2, {{2, 4}, {4, 2}, {2, 4}});
  EXPECT_EQ(ItemLines(WriteToText(plain, 64, false).text), "4,3,5,2,6,0,0,18,6\n");
  // Two equal blocks: a single 0, no repeat item for a run of one.
  Sys two = MakeDesign(5, 2, {{1, 2}, {1, 2}});
  EXPECT_EQ(ItemLines(WriteToText(two, 64, true).text), "4,2,5,2,1,0,2,1\n");
  // A run that reaches the last block is written as one item.
  Sys tail = MakeDesign(5, 1, {{1}, {2}, {3}, {4}, {5}}, 1, 1);
  EXPECT_EQ(ItemLines(WriteToText(tail, 64, true).text), "4,5,5,1,1^5,15,5\n");
}

TEST(CTextWriter, LineOf32BreaksAtTwentyEightCharacters) {
  Sys s = MakeDesign(10, 1, {{1}, {2}, {3}, {4}, {5}, {6}, {7}, {8}, {9}, {10}}, 1, 1);
  const Written w = WriteToText(s, 32, false);
  EXPECT_TRUE(w.ok);
  EXPECT_EQ(w.text, "ID 10 10 1 10 0/0 1/1 1 2 1 1 4 2 32 0 ...\n"
                    "4,10,10,1,1,1,1,1,1,1,1,1,1,\n" // 28 characters
                    "1,55,10\n");
}

TEST(CTextWriter, EveryLineStopsAtTheFirstItemThatReachesTheThreshold) {
  std::mt19937 rng(7);
  for (uint32_t cll : {32u, 33u, 64u, 100u, 224u}) {
    Sys s = MakeDesign(30, 3, RandomBlocks(rng, 30, 3, 400), 2, 3);
    const Written w = WriteToText(s, cll, true);
    ASSERT_TRUE(w.ok);
    const std::string items = ItemLines(w.text);
    size_t start = 0;
    while (start < items.size()) {
      const size_t end = items.find('\n', start);
      ASSERT_NE(end, std::string::npos);
      const std::string line = items.substr(start, end - start);
      start = end + 1;
      ASSERT_LE(line.size(), 255u);
      if (start == items.size()) { // the last line ends with CS2, no comma
        EXPECT_NE(line.back(), ',');
        break;
      }
      EXPECT_EQ(line.back(), ',');
      EXPECT_GE(line.size(), cll - 4) << line;
      // Without its last item the line was still short: it went out as soon
      // as it reached the threshold.
      const size_t cut = line.find_last_of(',', line.size() - 2);
      ASSERT_NE(cut, std::string::npos);
      EXPECT_LT(cut + 1, cll - 4) << line;
    }
  }
}

TEST(CTextWriter, LineLengthOutsideTheRangeIsRefusedBeforeWriting) {
  for (uint32_t cll : {0u, 31u, 225u, 4000u}) {
    Sys s = ExampleDesign();
    const Written w = WriteToText(s, cll, true);
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.text, "") << cll;
    EXPECT_EQ(w.console, "\rErr: AvgLineLen given not in range. Should be 32..224\n");
  }
  for (uint32_t cll : {32u, 224u}) {
    Sys s = ExampleDesign();
    EXPECT_TRUE(WriteToText(s, cll, true).ok) << cll;
  }
}

TEST(CTextWriter, BlocksWithoutRankFailSilently) {
  // A point 0 in base 1 would rank like {1,3} if nobody looked at it.
  for (const BlockList& bad : {BlockList{{0, 2}, {1, 2}}, BlockList{{1, 6}}, BlockList{{3, 3}}}) {
    Sys s = MakeDesign(5, 2, bad);
    const Written w = WriteToText(s, 64, true);
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.console, "");
  }
}

TEST(CTextWriter, PointsAreRankedInBaseOne) {
  // The design held in base 0 (as after -p 0) writes the same items.
  Sys s = MakeDesign(5, 2, {{2, 4}, {0, 1}, {1, 3}, {0, 2}}, 2, 2, 1, 0);
  EXPECT_EQ(ItemLines(WriteToText(s, 64, true).text), "4,4,5,2,1^2,4,3,18,9\n");
}

TEST(CTextWriter, AFullDiskIsAFailure) {
  std::FILE* full = std::fopen("/dev/full", "w");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full";
  std::mt19937 rng(3);
  Sys s = MakeDesign(49, 6, RandomBlocks(rng, 49, 6, 2000), 3, 6);
  bool ok;
  std::string console;
  {
    ConsoleCapture cap;
    ok = WriteCText(s, full, 64, true);
    console = cap.out;
  }
  std::fclose(full);
  EXPECT_FALSE(ok);
  EXPECT_EQ(console, "Err: write error in compressed text output\n");
}

TEST(CTextFlush, LineRule) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  std::string line;
  FlushCTextLine(f, line, 10, true); // empty: nothing, not even a newline
  line = "1,2,3,";
  FlushCTextLine(f, line, 10, false); // short: kept
  EXPECT_EQ(line, "1,2,3,");
  line += "44,5,";
  FlushCTextLine(f, line, 10, false); // 11 >= 10: written with its comma
  EXPECT_EQ(line, "");
  line = "7,";
  FlushCTextLine(f, line, 10, true); // final: written without its comma
  std::rewind(f);
  char buf[64] = {};
  EXPECT_EQ(std::fread(buf, 1, sizeof buf - 1, f), 14u);
  std::fclose(f);
  EXPECT_STREQ(buf, "1,2,3,44,5,\n7\n");
}

// ---- Reader ---------------------------------------------------------------

TEST(CTextReader, AcceptsAnyLineSplitAndSeparator) {
  const char* variants[] = {
      "4,4,5,2,1^2,4,3,18,9\n",
      "4,4,5,2,\n1^2,\n4,3,\n18,\n9\n",
      "4 4 5 2 1^2 4 3 18 9",
      "4/4/5/2/1^2/4/3/18/9\r\n",
      "\n  # a comment line\n4,\t4, 5,2 ;rest ignored\n1,1,4,3,18,9\n",
      "4,4,5,2,1^2,4,3,18,9,and words after the end\n",
      "4,4,5,2,1^2,4,3,18,9,77,88\n", // items past CS2 are never read
  };
  for (const char* text : variants) {
    const Read r = ReadFromText(text, 5, 2, 4);
    EXPECT_EQ(r.result, 4u) << text;
    EXPECT_EQ(r.console, "") << text;
    EXPECT_EQ(r.blocks, kExampleBlocks) << text;
    EXPECT_EQ(r.kField, 2u);
  }
}

TEST(CTextReader, HeaderMismatchesInOrder) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"3,4,5,2,1^2,4,3,18,9\n", "Err cH=3 vs. AulHdrItems=4\n"},
      {"4,5,5,2,1^2,4,3,18,9\n", "Err bH=5 vs. Ab=4\n"},
      {"4,4,6,2,1^2,4,3,18,9\n", "Err vH=6 vs. Av=5\n"},
      {"4,4,5,3,1^2,4,3,18,9\n", "Err kH=3 vs. Ak=2\n"},
      // The first mismatch stops reading; later ones are not reported.
      {"4,5,6,3,1^2,4,3,18,9\n", "Err bH=5 vs. Ab=4\n"},
  };
  for (const Case& c : cases) {
    const Read r = ReadFromText(c.text, 5, 2, 4);
    EXPECT_EQ(r.result, 0u) << c.text;
    EXPECT_EQ(r.console, c.message) << c.text;
  }
  // v and k are compared in their low 16 bits, as the ID line stores them.
  EXPECT_EQ(ReadFromText("4,4,65541,2,1^2,4,3,18,9", 5, 2, 4).result, 4u);
}

TEST(CTextReader, MissingHeaderItemsAreNotMismatches) {
  // An empty file has no header to disagree with: only the count fails.
  EXPECT_EQ(ReadFromText("", 5, 2, 4).console, "Err b=0 vs. Ab=4\n");
  EXPECT_EQ(ReadFromText("4,4,5\n", 5, 2, 4).console, "Err b=0 vs. Ab=4\n");
}

TEST(CTextReader, MissingChecksumsAndMissingData) {
  Read r = ReadFromText("4,4,5,2,1^2,4,3\n", 5, 2, 4);
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.console, "Err CS1=18 vs. CS1File=1\n");
  EXPECT_EQ(ReadFromText("4,4,5,2,1^2,4,3,18\n", 5, 2, 4).console, "Err CS2=9 vs. CS2File=1\n");
  EXPECT_EQ(ReadFromText("4,4,5,2,1^2,4\n", 5, 2, 4).console, "Err b=3 vs. Ab=4\n");
  EXPECT_EQ(ReadFromText("4,4,5,2,1^2,4,3,18,8\n", 5, 2, 4).console, "Err CS2=9 vs. CS2File=8\n");
  EXPECT_EQ(ReadFromText("4,4,5,2,1^2,4,3,19,9\n", 5, 2, 4).console, "Err CS1=18 vs. CS1File=19\n");
}

TEST(CTextReader, RepeatCountZeroEndsReadingAtOnce) {
  EXPECT_EQ(ReadFromText("4,4,5,2,1^0,1,4,3,18,9\n", 5, 2, 4).console, "Err b=0 vs. Ab=4\n");
  EXPECT_EQ(ReadFromText("4,4,5,2,1^2,4,3,18^0,9\n", 5, 2, 4).console,
            "Err CS1=18 vs. CS1File=1\n");
  EXPECT_EQ(ReadFromText("4,4,5,2,1^,1,4,3,18,9\n", 5, 2, 4).console, "Err b=0 vs. Ab=4\n");
}

TEST(CTextReader, ExtraHeaderItemsAndTheItemCountLimits) {
  Read r = ReadFromText("5,4,5,2,123456,1^2,4,3,18,9\n", 5, 2, 4, 5);
  EXPECT_EQ(r.result, 4u);
  EXPECT_EQ(r.blocks, kExampleBlocks);
  // Extra end items are allowed and never read.
  EXPECT_EQ(ReadFromText("4,4,5,2,1^2,4,3,18,9,1,1\n", 5, 2, 4, 4, 4).result, 4u);
  // Out of range: 0 without a message, and nothing but the k field touched.
  for (auto [chi, cei] : {std::pair{3u, 2u}, {32u, 2u}, {4u, 1u}, {4u, 32u}}) {
    r = ReadFromText("4,4,5,2,1^2,4,3,18,9\n", 5, 2, 4, chi, cei);
    EXPECT_EQ(r.result, 0u);
    EXPECT_EQ(r.console, "");
    EXPECT_EQ(r.kField, 2u);
    EXPECT_EQ(r.blocks[0], (std::vector<int>{0, 0}));
  }
  EXPECT_EQ(ReadFromText("31,4,5,2,1^27,1^2,4,3,18,9\n", 5, 2, 4, 31).result, 4u);
}

TEST(CTextReader, ParametersNoDesignCanHaveAreRefusedSilently) {
  for (auto [v, k] : {std::pair<uint16_t, uint16_t>{5, 0}, {5, 8}, {3, 4}, {55, 2}, {300, 2}}) {
    const Read r = ReadFromText("4,1,5,2,1,1,1\n", v, k, 1);
    EXPECT_EQ(r.result, 0u);
    EXPECT_EQ(r.console, "");
  }
}

TEST(CTextReader, RanksOutsideTheDesignAreRejected) {
  // The checksums agree in each case; only the rank guard catches them.
  Read r = ReadFromText("4,4,5,2,1^2,4,5,20,11\n", 5, 2, 4); // ranks 1 2 6 11
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.console, "Err rank=11 vs. Cn(v,k)=10\n");
  r = ReadFromText("4,2,5,2,0,1,1,1\n", 5, 2, 2); // first rank 0
  EXPECT_EQ(r.console, "Err rank=0 vs. Cn(v,k)=10\n");
  // 65556 more wraps to the same checksums: rank 65557 "passes" them.
  r = ReadFromText("4,2,5,2,1,65556,2,1\n", 5, 2, 2);
  EXPECT_EQ(r.console, "Err rank=65557 vs. Cn(v,k)=10\n");
  // A number too large for 64 bits saturates instead of wrapping to a small one.
  r = ReadFromText("4,1,5,2,18446744073709551617,1,1\n", 5, 2, 1);
  EXPECT_EQ(r.console, "Err rank=18446744073709551615 vs. Cn(v,k)=10\n");
  // The last rank itself is allowed.
  EXPECT_EQ(ReadFromText("4,1,5,2,10,10,10\n", 5, 2, 1).blocks, (BlockList{{4, 5}}));
}

TEST(CTextReader, HugeRepeatCountsAndBlockCountsStayBounded) {
  Read r = ReadFromText("4,4,5,2,1^99999999999999999999999999,4,3\n", 5, 2, 4);
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.console, "Err CS1=10 vs. CS1File=1\n"); // ranks 1 2 3 4; both sums are 1
  r = ReadFromText("4,4,5,2,0^18446744073709551615\n", 5, 2, 4);
  EXPECT_EQ(r.console, "Err rank=0 vs. Cn(v,k)=10\n");
  // b far beyond the file: the reader stops where the file stops.
  r = ReadFromText("4,100000,49,6,1^2,4,3,18,9\n", 49, 6, 100000);
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.console, "Err b=6 vs. Ab=100000\n");
}

TEST(CTextReader, EveryTruncationFailsWithOneMessage) {
  const std::string items = ItemLines(kExampleRep);
  for (size_t len = 0; len + 1 < items.size(); ++len) {
    const Read r = ReadFromText(items.substr(0, len), 5, 2, 4);
    EXPECT_EQ(r.result, 0u) << len;
    ASSERT_EQ(r.console.rfind("Err ", 0), 0u) << len;
    EXPECT_EQ(r.console.find('\n'), r.console.size() - 1) << len;
  }
}

TEST(CTextReader, CorruptedBytesNeverGiveBlocksOutsideTheDesign) {
  const std::string items = ItemLines(kExampleRep);
  const char replacements[] = "0123456789^,/ #;\n\tx\x8D";
  for (size_t pos = 0; pos < items.size(); ++pos) {
    for (char c : std::string(replacements, sizeof replacements - 1)) {
      std::string bad = items;
      bad[pos] = c;
      const Read r = ReadFromText(bad, 5, 2, 4);
      if (r.result == 0) {
        EXPECT_EQ(r.console.rfind("Err ", 0), 0u) << bad;
        continue;
      }
      EXPECT_EQ(r.result, 4u);
      for (const auto& blk : r.blocks) {
        ASSERT_EQ(blk.size(), 2u);
        EXPECT_TRUE(blk[0] >= 1 && blk[0] < blk[1] && blk[1] <= 5) << bad;
      }
    }
  }
}

// ---- Shared decoder -------------------------------------------------------

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
    EXPECT_EQ(ListOf(blocks.get(), static_cast<uint32_t>(total), k), AllSubsets(v, k));
    EXPECT_FALSE(DecodeRankDiff(dec, 1)); // one past C(v,k)
    EXPECT_EQ(dec.badRank, total + 1);
  }
}

TEST(RankDecoder, SampledRanksOfTheLargestDesigns) {
  std::mt19937_64 rng(11);
  for (unsigned k = 1; k <= 7; ++k) {
    const uint64_t total = Binomial(54, k);
    Block block{};
    RankDecoder dec;
    ASSERT_TRUE(InitRankDecoder(dec, &block, 1, 54, k));
    for (int i = 0; i < 300; ++i) {
      const uint64_t r = i == 0 ? total : 1 + rng() % total;
      dec.rank = 0;
      dec.count = 0;
      ASSERT_TRUE(DecodeRankDiff(dec, r));
      EXPECT_EQ(RankComb(block.pt, 54, k), r);
    }
  }
}

// ---- Round trips ----------------------------------------------------------

TEST(CTextRoundTrip, RandomDesignsComeBackSorted) {
  std::mt19937 rng(2024);
  for (int round = 0; round < 60; ++round) {
    const unsigned v = 1 + rng() % 54;
    const unsigned k = 1 + rng() % std::min(7u, v);
    const auto b = static_cast<uint32_t>(1 + rng() % (round % 4 == 0 ? 3000 : 60));
    const uint32_t cll = 32 + rng() % 193;
    const bool cfExp = (round & 1) != 0;
    const BlockList blocks = RandomBlocks(rng, v, k, b);
    Sys s = MakeDesign(v, k, blocks);
    const Written w = WriteToText(s, cll, cfExp);
    ASSERT_TRUE(w.ok);
    const Read r =
        ReadFromText(ItemLines(w.text), static_cast<uint16_t>(v), static_cast<uint16_t>(k), b);
    ASSERT_EQ(r.result, b) << r.console;
    EXPECT_EQ(r.blocks, SortedBase1(blocks)) << "v=" << v << " k=" << k << " b=" << b;
  }
}

TEST(CTextRoundTrip, DesignInBaseFiveComesBackInBaseOne) {
  std::mt19937 rng(5);
  BlockList blocks = RandomBlocks(rng, 20, 4, 300);
  for (auto& blk : blocks)
    for (int& p : blk) p += 4;
  Sys s = MakeDesign(20, 4, blocks, 2, 4, 1, 5);
  const Written w = WriteToText(s, 80, true);
  ASSERT_TRUE(w.ok);
  const Read r = ReadFromText(ItemLines(w.text), 20, 4, 300);
  ASSERT_EQ(r.result, 300u);
  EXPECT_EQ(r.blocks, SortedBase1(blocks, 5));
}

} // namespace
} // namespace kovra
