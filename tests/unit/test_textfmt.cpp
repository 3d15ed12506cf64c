// The plain text format: line reading, keywords, block lines, header writing.
#include "base/clock.hpp"
#include "formats/textfmt.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace kovra {
namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string ContentOf(std::FILE* f) {
  std::rewind(f);
  std::string text;
  for (int c = std::getc(f); c != EOF; c = std::getc(f)) text += static_cast<char>(c);
  return text;
}

TextCursor CursorOf(const std::string& text) { return CursorOver(text.data(), text.size()); }

// Every line ReadTextLine returns, read with the given options.
Strings Lines(const std::string& text, bool cutEnd = true, bool cutComments = true,
              bool tabs = true) {
  TextCursor cursor = CursorOf(text);
  Strings lines;
  char buf[LINE_BUFSIZE];
  while (ReadTextLine(buf, cursor, cutEnd, cutComments, tabs)) lines.emplace_back(buf);
  return lines;
}

TEST(ReadTextLine, CommentsTabsLineEndsAndLongLines) {
  const std::string x255(255, 'x');
  const struct {
    std::string text;
    Strings lines;
  } cases[] = {
      {"", {}},
      {"1 2 3 # four\n;all comment\nab;c#d\n", {"1 2 3 ", "", "ab"}},
      {"a\tb\n\nlast line without end", {"a b", "", "last line without end"}},
      {"ab\x8D-cd\n", {"ab"}},
      // LF, CR LF and a lone CR all end a line.
      {"a\r\nb\rc\r\rd", {"a", "b", "c", "", "d"}},
      // 255 characters at a time; a line of exactly 255 has no empty tail.
      {x255 + "yyy\nz\n", {x255, "yyy", "z"}},
      {x255 + "\nz\n", {x255, "z"}},
      {x255 + "\r\nz\n", {x255, "z"}},
      // A comment or a NUL runs to the true end of its line, so the rest of
      // an overlong line never comes back as data.
      {"1 2 3 # " + std::string(250, 'c') + " 4 5 6\n7 8 9\n", {"1 2 3 ", "7 8 9"}},
      {"1 2\0 3\n4 5 6\n"s, {"1 2", "4 5 6"}},
      {"9\0"s + std::string(300, '7') + "\n4\n", {"9", "4"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Lines(c.text), c.lines) << c.text;
  // Each option on its own.
  EXPECT_EQ(Lines("a\tb\n", true, true, false), Strings{"a\tb"});
  EXPECT_EQ(Lines("a#b\n", true, false, true), Strings{"a#b"});
  EXPECT_EQ(Lines("a\r\nb\rc\n", false), (Strings{"a\r\n", "b\r", "c\n"}));
}

TEST(TextLine, SignificantStartAndKeywords) {
  const std::string listed = "aZ09\\{}[]!$%&/()\"=?+*#'-_:.,;<>|^\x15\xE1\x84\x8E\x94\x99\x81\x9A";
  for (const char c : listed) EXPECT_EQ(*SkipLead((" \t\x01@~`\x80\xFF"s + c).c_str()), c) << c;
  EXPECT_EQ(*SkipLead(" \x80\xFF@~` "), '\0');
  for (const char* yes : {"ID 49", "id 49", "Id 49"}) EXPECT_TRUE(IsKeyword(yes, "ID ")) << yes;
  for (const char* no : {"IDENT 49", "ID"}) EXPECT_FALSE(IsKeyword(no, "ID ")) << no;
  EXPECT_TRUE(IsKeyword("DATA", "data"));
  EXPECT_FALSE(IsKeyword("Date     Sat", "data"));
  EXPECT_TRUE(IsKeyword("LOAD x", "load"));
  EXPECT_TRUE(IsDataLine("  7 8"));
  EXPECT_FALSE(IsDataLine(" -7 8"));
}

// Reads one block of k points from `text` and returns the code.
int ReadBlock(const std::string& text, std::vector<int>& points, unsigned k = 6, long low = 1,
              long high = 49) {
  TextCursor cursor = CursorOf(text);
  Block block{};
  const int code = ReadBlockLine(block, k, low, high, cursor);
  points.assign(block.pt, block.pt + k);
  return code;
}

TEST(ReadBlockLine, AllWrittenFormsGiveTheSameBlock) {
  for (const char* text :
       {"1,2,3,4,5,6\n", "1 2 3 4 5 6 ;comment\n", "1/2/3/4/5/6\n", "1-2-3-4-5-6\n",
        "\t1 ,2//3--4 , 5\t6", "Comments 12 blocks\n\nData\n1 2 3 4 5 6\n", "1 2 3 4 5 6 words 7\n",
        "01 2 3 4 5 6x\n", "1 2 3 4 5 6\r\n"}) {
    std::vector<int> points;
    EXPECT_EQ(ReadBlock(text, points), BLK_OK) << text;
    EXPECT_EQ(points, (std::vector<int>{1, 2, 3, 4, 5, 6})) << text;
  }
}

// The codes with their texts come from the loader's tests; here the order
// of the checks and numbers too large for a point.
TEST(ReadBlockLine, CodesForOddNumbers) {
  const struct {
    std::string text;
    int code;
    long low = 1, high = 49;
  } cases[] = {
      {"1 2 3 4 5 x\n", BLK_TOO_FEW},
      {"1 2 3 4 5 50 50\n", BLK_RANGE}, // range before duplicates
      {"ID 49\nComments\n", BLK_MISSING},
      // Neither a caller's range beyond 255 nor numbers beyond 32 or 64 bits
      // let a number wrap into a byte.
      {"256 1 2 3 4 5\n", BLK_RANGE, 0, 1000},
      {std::string(300, '9') + " 1 2 3 4 5\n", BLK_RANGE, 0, 255},
      {"4294967297 1 2 3 4 5\n", BLK_RANGE, 0, 255},
  };
  for (const auto& c : cases) {
    std::vector<int> points;
    EXPECT_EQ(ReadBlock(c.text, points, 6, c.low, c.high), c.code) << c.text;
  }
  std::vector<int> points;
  EXPECT_EQ(ReadBlock(std::string(200, '0') + "7 255 0\n", points, 3, 0, 1000), BLK_OK);
  EXPECT_EQ(points, (std::vector<int>{7, 255, 0}));
  // k beyond a block's seven points is refused without touching the k byte.
  TextCursor cursor = CursorOf("1 2 3 4 5 6 7 8\n");
  Block block{};
  block.kf = 0xFF;
  EXPECT_EQ(ReadBlockLine(block, 8, 1, 9, cursor), BLK_TOO_MANY);
  EXPECT_EQ(block.kf, 0xFF);
}

TEST(ReadNumberLine, DigitTokensUntilTheFirstWordOrTheCapacity) {
  const struct {
    const char* line;
    std::vector<int32_t> numbers;
    bool overflow = false;
  } cases[] = {
      {"  12,7/3\t4 5\r\n", {12, 7, 3, 4, 5}},
      {"x 1 2", {}},
      {"1-2-4 three 4", {1, 2, 4}}, // "-" separates, as in a block line
      {"1 2 3 4 5 6 7 8 9", {1, 2, 3, 4, 5, 6, 7, 8}, true},
      {"99999999999999999999 2147483648 2147483647", {INT32_MAX, INT32_MAX, INT32_MAX}},
  };
  for (const auto& c : cases) {
    int32_t n[8];
    bool overflow = !c.overflow;
    const int count = ReadNumberLine(n, 8, c.line, &overflow);
    EXPECT_EQ(std::vector<int32_t>(n, n + count), c.numbers) << c.line;
    EXPECT_EQ(overflow, c.overflow) << c.line;
  }
}

std::time_t FixedClock() { return 1796508545; }

// Values unlike the defaults in every column (test_idline.cpp reads these
// ID lines back); the documented example header comes from the whole program in
// test_roundtrip_decode_doc.cpp.
TEST(WriteIdHeader, PlainHeaderLineByLineAndTheBareCompressedIdLine) {
  SetClockForTest(&FixedClock);
  FilePtr f(std::tmpfile());
  IdRecord id = IdLineOf(DesignParams{54, 7, 5, 7, 255}, 4000000000u);
  id.x = 9;
  id.Base = 0;
  id.CHI = 31;
  id.CEI = 30;
  id.CLL = 224;
  id.CfExp = 0;
  WriteIdHeader(f.get(), id, "Converted by KOVRA");
  SetClockForTest(nullptr);
  // The date in the C library's fixed English form, day of month with a zero.
  const std::time_t when = FixedClock();
  char date[32];
  std::strftime(date, sizeof date, "%a %b %d %H:%M:%S %Y", std::localtime(&when));
  EXPECT_EQ(ContentOf(f.get()), "#ID      v b k v1 w1/w2 t/m L x Base bCmpr CHI CEI CLL CfExp ...\n"
                                "ID       54 4000000000 7 54 0/0 5/7 255 9 0 0 31 30 224 0 ...\n"
                                "Date     "s +
                                    date +
                                    "\n"
                                    "Author   \n"
                                    "Comments Converted by KOVRA\n"
                                    "Data\n");
  FilePtr g(std::tmpfile());
  id.bCmpr = 2;
  WriteIdHeader(g.get(), id, "no comment");
  EXPECT_EQ(ContentOf(g.get()), "ID 54 4000000000 7 54 0/0 5/7 255 9 1 2 31 30 224 0 ...\n");
}

TEST(WriteBlockLines, WidthTwoSeparatedByOneBlankSkippingFlaggedBlocks) {
  Block blocks[3] = {{{1, 5, 12, 23, 34, 49, 0}, 0},
                     {{2, 3, 4, 5, 6, 7, 0}, BLOCK_SKIP},
                     {{100, 2, 3, 4, 5, 6, 0}, 0}};
  SetBlockK(blocks[0], 6);
  FilePtr f(std::tmpfile());
  WriteBlockLines(blocks, 3, f.get());
  EXPECT_EQ(ContentOf(f.get()), " 1  5 12 23 34 49\n100  2  3  4  5  6\n");
}

} // namespace
} // namespace kovra
