// The plain text format: line reading, keywords, block lines, header writing.
#include "base/clock.hpp"
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "formats/idline.hpp"
#include "formats/textfmt.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace kovra {
namespace {

using namespace std::string_literals;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// An anonymous file holding `text`, positioned at its start.
FilePtr StreamOf(const std::string& text) {
  FilePtr f(std::tmpfile());
  EXPECT_NE(f, nullptr);
  std::fwrite(text.data(), 1, text.size(), f.get());
  std::rewind(f.get());
  return f;
}

std::string ContentOf(std::FILE* f) {
  std::rewind(f);
  std::string text;
  for (int c = std::getc(f); c != EOF; c = std::getc(f)) text += static_cast<char>(c);
  return text;
}

// Every line ReadTextLine returns, read with the given options.
std::vector<std::string> Lines(const std::string& text, bool cutEnd = true, bool cutComments = true,
                               bool tabs = true) {
  FilePtr f = StreamOf(text);
  std::vector<std::string> lines;
  char buf[LINE_BUFSIZE];
  while (ReadTextLine(buf, f.get(), cutEnd, cutComments, tabs)) lines.emplace_back(buf);
  return lines;
}

using Strings = std::vector<std::string>;

TEST(ReadTextLine, CutsCommentsTabsAndLineEnds) {
  EXPECT_EQ(Lines("1 2 3 # four\n;all comment\nab;c#d\n"), (Strings{"1 2 3 ", "", "ab"}));
  EXPECT_EQ(Lines("a\tb\n", true, true, false), Strings{"a\tb"});
  EXPECT_EQ(Lines("a\tb\n", true, true, true), Strings{"a b"});
  EXPECT_EQ(Lines("a#b\n", true, false, true), Strings{"a#b"});
  EXPECT_EQ(Lines("ab\n", false), Strings{"ab\n"});
  EXPECT_EQ(Lines("ab\x8D"
                  "cd\n"),
            Strings{"ab"});
}

TEST(ReadTextLine, EndOfFile) {
  EXPECT_TRUE(Lines("").empty());
  EXPECT_EQ(Lines("last line without end"), Strings{"last line without end"});
  EXPECT_EQ(Lines("\n\n"), (Strings{"", ""}));
}

TEST(ReadTextLine, AcceptsCrLfAndLoneCrLineEnds) {
  EXPECT_EQ(Lines("a\r\nb\r\n"), (Strings{"a", "b"}));
  EXPECT_EQ(Lines("a\rb\rc"), (Strings{"a", "b", "c"}));
  EXPECT_EQ(Lines("a\r\rb\n"), (Strings{"a", "", "b"}));
  // Kept line ends stay as they were.
  EXPECT_EQ(Lines("a\r\nb\rc\n", false), (Strings{"a\r\n", "b\r", "c\n"}));
}

TEST(ReadTextLine, LongLinesArriveIn255CharacterPieces) {
  const std::string longLine = std::string(255, 'x') + std::string(10, 'y') + "\nz\n";
  EXPECT_EQ(Lines(longLine), (Strings{std::string(255, 'x'), std::string(10, 'y'), "z"}));
  // A line of exactly 255 characters is not longer than the buffer: its line
  // end does not come back as an empty line.
  EXPECT_EQ(Lines(std::string(255, 'x') + "\nz\n"), (Strings{std::string(255, 'x'), "z"}));
  EXPECT_EQ(Lines(std::string(255, 'x') + "\r\nz\n"), (Strings{std::string(255, 'x'), "z"}));
  EXPECT_EQ(Lines(std::string(254, 'x') + "\r\nz\n"), (Strings{std::string(254, 'x'), "z"}));
}

TEST(ReadTextLine, OverlongCommentDoesNotResurfaceAsData) {
  const std::string text = "1 2 3 # " + std::string(250, 'c') + " 4 5 6 and so on\n7 8 9\n";
  EXPECT_EQ(Lines(text), (Strings{"1 2 3 ", "7 8 9"}));
  // The same for a comment that starts in a later piece of the line.
  const std::string late = std::string(260, ' ') + "# 4 5 6" + std::string(300, ' ') + "1 1\n2\n";
  EXPECT_EQ(Lines(late), (Strings{std::string(255, ' '), std::string(5, ' '), "2"}));
}

TEST(ReadTextLine, NulByteHidesTheRestOfItsLine) {
  const std::string text = "1 2\0 3\n4 5 6\n"s;
  EXPECT_EQ(Lines(text), (Strings{"1 2", "4 5 6"}));
  const std::string longer = "9\0"s + std::string(300, '7') + "\n4\n"; // the 7s never appear
  EXPECT_EQ(Lines(longer), (Strings{"9", "4"}));
}

TEST(SkipLead, StopsAtTheListedCharacters) {
  EXPECT_STREQ(SkipLead("  \t\x01"
                        "abc"),
               "abc");
  EXPECT_STREQ(SkipLead("@~` 12"), "12");
  for (const char* s : {"\\", "{", "}", "[", "]", "!", "$", "%", "&", "/", "(", ")", "\"", "=", "?",
                        "+",  "*", "#", "'", "-", "_", ":", ".", ",", ";", "<", ">", "|",  "^"})
    EXPECT_EQ(SkipLead(s), s) << s;
  for (const char* s : {"\x15", "\xE1", "\x84", "\x8E", "\x94", "\x99", "\x81", "\x9A"})
    EXPECT_EQ(SkipLead(s), s);
  EXPECT_EQ(*SkipLead(" \x80\xFF "), '\0');
}

TEST(Keywords, AreComparedWithoutCaseOverTheirLength) {
  EXPECT_TRUE(IsKeyword("ID 49", "ID "));
  EXPECT_TRUE(IsKeyword("id 49", "ID "));
  EXPECT_TRUE(IsKeyword("Id 49", "ID "));
  EXPECT_FALSE(IsKeyword("IDENT 49", "ID "));
  EXPECT_FALSE(IsKeyword("ID", "ID "));
  EXPECT_TRUE(IsKeyword("DATA", "data"));
  EXPECT_TRUE(IsKeyword("Data\n", "data"));
  EXPECT_FALSE(IsKeyword("Date     Sat", "data"));
  EXPECT_TRUE(IsKeyword("LOAD x", "load"));
  EXPECT_FALSE(IsKeyword("lo", "load"));
  EXPECT_TRUE(IsDataLine("  7 8"));
  EXPECT_FALSE(IsDataLine(" -7 8"));
  EXPECT_FALSE(IsDataLine(""));
}

// Reads one block of k points from `text` and returns the code.
int ReadBlock(const std::string& text, std::vector<int>& points, unsigned k = 6, long low = 1,
              long high = 49, const char* first = nullptr) {
  FilePtr f = StreamOf(text);
  Block block{};
  const int code = ReadBlockLine(block, k, low, high, f.get(), first);
  points.assign(block.pt, block.pt + k);
  return code;
}

TEST(ReadBlockLine, AllWrittenFormsGiveTheSameBlock) {
  const std::vector<int> expected{1, 2, 3, 4, 5, 6};
  for (const char* text :
       {"1,2,3,4,5,6\n", "1 2 3 4 5 6 ;comment\n", "1/2/3/4/5/6\n", "1-2-3-4-5-6\n",
        "\t1 ,2//3--4 , 5\t6", "Comments 12 blocks\n\nData\n1 2 3 4 5 6\n", "1 2 3 4 5 6 words 7\n",
        "01 2 3 4 5 6x\n", "1 2 3 4 5 6\r\n"}) {
    std::vector<int> points;
    EXPECT_EQ(ReadBlock(text, points), BLK_OK) << text;
    EXPECT_EQ(points, expected) << text;
  }
}

TEST(ReadBlockLine, CodesFromTheSmallestLines) {
  std::vector<int> points;
  EXPECT_EQ(ReadBlock("1 2 3 4 5 6 7\n", points), BLK_TOO_MANY);
  EXPECT_EQ(ReadBlock("1 2 3 4 5\n", points), BLK_TOO_FEW);
  EXPECT_EQ(ReadBlock("1 2 3 4 5 x\n", points), BLK_TOO_FEW);
  EXPECT_EQ(ReadBlock("1 2 3 4 5 1\n", points), BLK_DUP);
  EXPECT_EQ(ReadBlock("0 2 3 4 5 6\n", points), BLK_RANGE);
  EXPECT_EQ(ReadBlock("1 2 3 4 5 50\n", points), BLK_RANGE);
  EXPECT_EQ(ReadBlock("", points), BLK_MISSING);
  EXPECT_EQ(ReadBlock("ID 49\nComments\n", points), BLK_MISSING);
  // The order of the checks within one number: range before duplicates.
  EXPECT_EQ(ReadBlock("1 2 3 4 5 50 50\n", points), BLK_RANGE);
  // With the close-gaps range 0 counts, 257 never does.
  EXPECT_EQ(ReadBlock("0 2 3 4 5 6\n", points, 6, 0, 255), BLK_OK);
  EXPECT_EQ(ReadBlock("257 2 3 4 5 6\n", points, 6, 0, 255), BLK_RANGE);
}

TEST(ReadBlockLine, NumbersNeverExceedAByteOrOverflow) {
  std::vector<int> points;
  // A caller's range beyond 255 does not let a number wrap into a byte.
  EXPECT_EQ(ReadBlock("256 1\n", points, 2, 0, 1000), BLK_RANGE);
  EXPECT_EQ(ReadBlock("255 1\n", points, 2, 0, 1000), BLK_OK);
  EXPECT_EQ(points, (std::vector<int>{255, 1}));
  const std::string huge = std::string(300, '9');
  EXPECT_EQ(ReadBlock(huge + " 1\n", points, 2, 0, 255), BLK_RANGE);
  // 2^64 + 1 would wrap to 1 in 64-bit arithmetic.
  EXPECT_EQ(ReadBlock("18446744073709551617 2\n", points, 2, 0, 255), BLK_RANGE);
  EXPECT_EQ(ReadBlock("4294967297 2\n", points, 2, 0, 255), BLK_RANGE);
  EXPECT_EQ(ReadBlock(std::string(200, '0') + "7 2\n", points, 2, 0, 255), BLK_OK);
  EXPECT_EQ(points, (std::vector<int>{7, 2}));
}

TEST(ReadBlockLine, FirstLineIsExaminedOnceBeforeTheStream) {
  FilePtr f = StreamOf("4 5 6\n");
  Block block{};
  ASSERT_EQ(ReadBlockLine(block, 3, 1, 9, f.get(), "1 2 3\n"), BLK_OK);
  EXPECT_EQ(std::vector<int>(block.pt, block.pt + 3), (std::vector<int>{1, 2, 3}));
  ASSERT_EQ(ReadBlockLine(block, 3, 1, 9, f.get(), nullptr), BLK_OK);
  EXPECT_EQ(std::vector<int>(block.pt, block.pt + 3), (std::vector<int>{4, 5, 6}));
  EXPECT_EQ(ReadBlockLine(block, 3, 1, 9, f.get(), nullptr), BLK_MISSING);
  // A first line that is no block line is skipped like any other.
  std::vector<int> points;
  EXPECT_EQ(ReadBlock("7 8 9\n", points, 3, 1, 9, "Data\n"), BLK_OK);
  EXPECT_EQ(points, (std::vector<int>{7, 8, 9}));
}

TEST(ReadBlockLine, KeepsToTheBlockAndRefusesOversizedK) {
  FilePtr f = StreamOf("1 2 3 4 5 6 7 8\n");
  Block blocks[2] = {};
  blocks[0].kf = 0xFF;
  blocks[1].pt[0] = 0xAA;
  EXPECT_EQ(ReadBlockLine(blocks[0], 8, 1, 9, f.get(), nullptr), BLK_TOO_MANY);
  EXPECT_EQ(blocks[0].kf, 0xFF);
  EXPECT_EQ(blocks[1].pt[0], 0xAA);
  std::rewind(f.get());
  EXPECT_EQ(ReadBlockLine(blocks[0], 7, 1, 9, f.get(), nullptr), BLK_TOO_MANY);
  EXPECT_EQ(blocks[0].kf, 0xFF); // byte 7 holds k and the flags, not a point
}

TEST(ReadBlockLineOrExit, EndsWithTheCodeAndItsText) {
  const struct {
    const char* text;
    int code;
    const char* message;
  } cases[] = {
      {"0 1 2\n", 6, "\nErrExit: 6 <Range Err; check Base and try the \"CloseGaps\" option>\n"},
      {"1 2 1\n", 7, "\nErrExit: 7 <Dup Err>\n"},
      {"1 2 3 4\n", 8, "\nErrExit: 8 <More than k nbr in line>\n"},
      {"", 11, "\nErrExit: 11 <Missing blocks>\n"},
      {"1 2\n", 12, "\nErrExit: 12 <Less than k nbrs in line>\n"},
  };
  for (const auto& c : cases) {
    FilePtr f = StreamOf(c.text);
    Block block{};
    ConsoleCapture capture;
    try {
      ReadBlockLineOrExit(block, 3, 1, 9, f.get(), nullptr);
      ADD_FAILURE() << "no exit for " << c.text;
    } catch (const FatalExit& e) {
      EXPECT_EQ(e.code, c.code);
    }
    EXPECT_EQ(capture.out, c.message);
  }
  FilePtr f = StreamOf("1 2 3\n");
  Block block{};
  EXPECT_NO_THROW(ReadBlockLineOrExit(block, 3, 1, 9, f.get(), nullptr));
}

TEST(ReadNumberLine, ReadsDigitTokensUntilTheFirstWord) {
  int32_t n[8];
  bool overflow = true;
  EXPECT_EQ(ReadNumberLine(n, 8, "  12,7/3\t4 5\r\n", &overflow), 5);
  EXPECT_FALSE(overflow);
  EXPECT_EQ(std::vector<int32_t>(n, n + 5), (std::vector<int32_t>{12, 7, 3, 4, 5}));
  EXPECT_EQ(ReadNumberLine(n, 8, "1 2 three 4", &overflow), 2);
  EXPECT_EQ(ReadNumberLine(n, 8, "x 1 2", &overflow), 0);
  EXPECT_EQ(ReadNumberLine(n, 8, "", &overflow), 0);
  // "-" is no separator here: "-2" is a word and ends the list.
  EXPECT_EQ(ReadNumberLine(n, 8, "1 -2 3", &overflow), 1);
  EXPECT_EQ(ReadNumberLine(n, 8, "1-2 3", &overflow), 2);
  EXPECT_EQ(n[0], 1);
}

TEST(ReadNumberLine, OverflowAndHugeNumbers) {
  int32_t n[3];
  bool overflow = false;
  EXPECT_EQ(ReadNumberLine(n, 3, "1 2 3 4 5", &overflow), 3);
  EXPECT_TRUE(overflow);
  EXPECT_EQ(ReadNumberLine(n, 3, "1 2 3 x", &overflow), 3);
  EXPECT_FALSE(overflow);
  EXPECT_EQ(
      ReadNumberLine(n, 3, (std::string(400, '9') + " 2147483648 2147483647").c_str(), &overflow),
      3);
  EXPECT_EQ(n[0], INT32_MAX);
  EXPECT_EQ(n[1], INT32_MAX);
  EXPECT_EQ(n[2], INT32_MAX);
}

std::time_t FixedClock() { return 1796508545; }

TEST(WriteIdHeader, PlainHeaderLineByLine) {
  SetClockForTest(&FixedClock);
  FilePtr f(std::tmpfile());
  WriteIdHeader(f.get(), 49, 6, 3, 6, 1, 168, 2, 1, "Converted by KOVRA", 0, 4, 2, 64, 1, false);
  SetClockForTest(nullptr);
  const std::string expected = "#ID      v b k v1 w1/w2 t/m L x Base bCmpr CHI CEI CLL CfExp ...\n"
                               "ID       49 168 6 49 0/0 3/6 1 2 1 0 4 2 64 1 ...\n"
                               "Date     " +
                               DateText(FixedClock()) +
                               "\n"
                               "Author   \n"
                               "Comments Converted by KOVRA\n"
                               "Data\n";
  EXPECT_EQ(ContentOf(f.get()), expected);
  EXPECT_EQ(DateText(FixedClock()).size(), 24u);
  // The first number of the ID line stands under the "v" of the column line.
  EXPECT_EQ(expected.find('v'), expected.find("49") - expected.find('\n') - 1);
}

TEST(WriteIdHeader, CompressedFilesGetTheBareIdLineWithBaseOne) {
  FilePtr f(std::tmpfile());
  WriteIdHeader(f.get(), 5, 2, 2, 2, 1, 4, 2, 0, "ignored", 1, 4, 2, 64, 1, false);
  EXPECT_EQ(ContentOf(f.get()), "ID 5 4 2 5 0/0 2/2 1 2 1 1 4 2 64 1 ...\n");
}

TEST(WriteBlockLines, WidthTwoSeparatedByOneBlankSkippingFlaggedBlocks) {
  Block blocks[3] = {{{1, 5, 12, 23, 34, 49, 0}, 0},
                     {{2, 3, 4, 5, 6, 7, 0}, BLOCK_SKIP},
                     {{100, 2, 3, 4, 5, 6, 0}, 0}};
  SetBlockK(blocks[0], 6);
  FilePtr f(std::tmpfile());
  WriteBlockLines(blocks, 3, f.get());
  EXPECT_EQ(ContentOf(f.get()), " 1  5 12 23 34 49\n100  2  3  4  5  6\n");
  // Only the first block's k counts.
  SetBlockK(blocks[0], 2);
  SetBlockK(blocks[2], 6);
  FilePtr g(std::tmpfile());
  WriteBlockLines(blocks, 3, g.get());
  EXPECT_EQ(ContentOf(g.get()), " 1  5\n100  2\n");
}

} // namespace
} // namespace kovra
