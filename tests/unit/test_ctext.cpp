// The compressed text format: the writer's items, and every message of the
// reader with the rank guard. The worked example is in
// test_roundtrip_decode_doc.cpp, random round trips in test_roundtrip.cpp,
// the line length in the golden ctext_line_length.
#include "base/console.hpp"
#include "compressed_samples.hpp"
#include "formats/ctext.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace kovra {
namespace {

using namespace samples;

// What WriteCText puts into the file; when it fails, the console output and
// "<failed>".
std::string Written(Sys s, bool cfExp = true) {
  std::FILE* f = std::tmpfile();
  ConsoleCapture cap;
  const bool ok = WriteCText(s, f, 64, cfExp);
  std::rewind(f);
  std::string text;
  for (int c; (c = std::fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
  std::fclose(f);
  return ok ? text : cap.out + "<failed>";
}

// The lines after the ID line.
std::string ItemsOf(unsigned v, unsigned k, const BlockList& blocks, bool cfExp = true,
                    unsigned base = 1) {
  const std::string w = Written(MakeDesign(v, k, blocks, 2, 2, 1, base), cfExp);
  return w.substr(w.find('\n') + 1);
}

TEST(CTextWriter, DifferencesRunsAndChecksums) {
  // The example, also held in base 0 (as after -p 0): ranked in base 1.
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
  // A point 0 in base 1 would rank like {1,3} if nobody looked at it.
  for (const BlockList& bad : {BlockList{{0, 2}, {1, 2}}, BlockList{{1, 6}}, BlockList{{3, 3}}})
    EXPECT_EQ(Written(MakeDesign(5, 2, bad)), "<failed>");
}

// Feeds `items` (the lines after the ID line) to the reader with an array of
// exactly b blocks, so that any write past it shows under the sanitizers.
// Returns the blocks read, or the console output when nothing was read.
std::string ReadItems(const std::string& items, uint16_t v = 5, uint16_t k = 2, uint32_t b = 4,
                      uint32_t chi = 4, uint32_t cei = 2) {
  TextCursor text = CursorOver(items.data(), items.size());
  BlockArray blocks = AllocBlocks(b, k);
  ConsoleCapture cap;
  if (ReadCText(blocks.get(), text, v, k, b, chi, cei) != b) return cap.out;
  std::string out = cap.out + "k=" + std::to_string(k);
  for (const auto& block : ListOf(blocks.get(), b, k))
    for (size_t i = 0; i < block.size(); ++i)
      out.append(i == 0 ? " " : ",").append(std::to_string(block[i]));
  return out;
}

// Any line split, separator and item counts read; each failure gives its one
// message.
TEST(CTextReader, Outcomes) {
  const char* const read = "k=2 1,2 1,3 2,4 3,5";
  const struct {
    const char* items;
    const char* expected; // the blocks read, or the message
    uint32_t b = 4;
    uint16_t v = 5, k = 2;
    uint32_t chi = 4, cei = 2;
  } cases[] = {
      {"4,4,5,2,\n1^2,\n4,3,\n18,\n9\n", read},
      {"4 4 5 2 1^2 4 3 18 9", read},
      {"4/4/5/2/1^2/4/3/18/9\r\n", read},
      {"\n  # a comment line\n4,\t4, 5,2 ;rest ignored\n1,1,4,3,18,9\n", read},
      {"4,4,5,2,1^2,4,3,18,9,and words after the end\n", read},
      {"4,4,5,2,1^2,4,3,18,9,77,88\n", read}, // items past CS2 are never read
      {"4,4,65541,2,1^2,4,3,18,9", read},     // v is compared in its low 16 bits
      {"5,4,5,2,123456,1^2,4,3,18,9", read, 4, 5, 2, 5},
      {"31,4,5,2,1^27,1^2,4,3,18,9", read, 4, 5, 2, 31},
      {"4,4,5,2,1^2,4,3,18,9,1,1", read, 4, 5, 2, 4, 4},
      {"4,1,5,2,10,10,10\n", "k=2 4,5", 1}, // the last rank itself
      {"3,4,5,2,1^2,4,3,18,9", "Err cH=3 vs. AulHdrItems=4\n"},
      {"4,5,6,3,1^2,4,3,18,9", "Err bH=5 vs. Ab=4\n"}, // the first mismatch stops
      {"4,4,6,2,1^2,4,3,18,9", "Err vH=6 vs. Av=5\n"},
      {"4,4,5,3,1^2,4,3,18,9", "Err kH=3 vs. Ak=2\n"},
      // Truncated: header items that never come are no mismatch.
      {"4,4,5", "Err b=0 vs. Ab=4\n"},
      {"4,4,5,2,1^2,4", "Err b=3 vs. Ab=4\n"},
      {"4,4,5,2,1^2,4,3", "Err CS1=18 vs. CS1File=1\n"},
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
      {"4,4,5,2,1^2,4,3,18,9", "", 4, 1025, 2},
      // A design whose ranks pass 32 bits is refused, with the way out.
      {"4,4,100,20,1^2,4,3,18,9",
       "Err: the 535983370403809682970 blocks of C(100,20) have ranks beyond the 32 bits of the "
       "compressed formats;\n     write and read such a design as plain text (-g0).\n",
       4, 100, 20},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReadItems(c.items, c.v, c.k, c.b, c.chi, c.cei), c.expected) << c.items;
}

} // namespace
} // namespace kovra
