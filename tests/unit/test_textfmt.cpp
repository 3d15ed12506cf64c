// The plain text reader's tolerances: line ends, comments, NULs, 255-character
// pieces, separators and numbers too large for their field. The loader's use
// of them shows in the golden load_* transcripts.
#include "formats/textfmt.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace kovra {
namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;

// Every line ReadTextLine returns, read with the given options.
Strings Lines(const std::string& text, bool cutEnd = true, bool cutComments = true,
              bool tabs = true) {
  TextCursor cursor = CursorOver(text.data(), text.size());
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

TEST(ReadBlockLine, SeparatorsCodesAndNumbersBeyondAPoint) {
  const std::vector<int> six = {1, 2, 3, 4, 5, 6};
  const struct {
    std::string text;
    int code;
    std::vector<int> points = {}; // for BLK_OK
    unsigned k = 6;
    long low = 1, high = 49;
  } cases[] = {
      {"01-02-03-04-05-06\r\n", BLK_OK, six},
      {"\t1 ,2//3--4 , 5\t6 ;comment", BLK_OK, six},
      // Text glued to a number is no number; a minus sign makes it negative.
      {"01,2,3,4,5,6x\r\n", BLK_NOT_BLOCK},
      {"1 2 3.5 4 5 6\n", BLK_NOT_BLOCK},
      {"1 2 3e5 4 5 6\n", BLK_NOT_BLOCK},
      {"-1 2 3 4 5 6\n", BLK_RANGE},
      {"[1, -2, 3, 4, 5, 6]\n", BLK_RANGE},
      {"Comments 12 blocks\n\nData\n1 2 3 4 5 6 words 7\n", BLK_OK, six},
      {std::string(200, '0') + "7 255 0\n", BLK_OK, {7, 255, 0}, 3, 0, 1000},
      {"1 2 3 4 5 x\n", BLK_TOO_FEW},
      {"1 2 3 4 5 50 50\n", BLK_RANGE}, // range before duplicates
      {"1 1 2 3 4 5\n", BLK_DUP},
      {"ID 49\nComments\n", BLK_MISSING},
      // Points beyond a byte are points; neither a caller's range beyond 16
      // bits nor numbers beyond 32 or 64 bits let a number wrap into a point.
      {"328 1 2 3 4 5\n", BLK_OK, {328, 1, 2, 3, 4, 5}, 6, 0, 328},
      {"65536 1 2 3 4 5\n", BLK_RANGE, {}, 6, 0, 70000},
      {std::string(300, '9') + " 1 2 3 4 5\n", BLK_RANGE, {}, 6, 0, 255},
      {"18446744073709551617 2 3 4 5 6\n", BLK_RANGE, {}, 6, 0, 255},
      // k beyond the most points a block holds.
      {"1 2 3 4 5 6 7 8\n", BLK_TOO_MANY, {}, MAX_K + 1, 1, 99},
  };
  for (const auto& c : cases) {
    TextCursor cursor = CursorOver(c.text.data(), c.text.size());
    Point block[MAX_K + 1];
    std::fill(std::begin(block), std::end(block), Point{7777});
    EXPECT_EQ(ReadBlockLine(block, c.k, c.low, c.high, cursor), c.code) << c.text;
    if (c.code != BLK_OK) continue;
    EXPECT_EQ(std::vector<int>(block, block + c.k), c.points);
    EXPECT_EQ(block[c.k], 7777); // nothing written past k
  }
}

} // namespace
} // namespace kovra
