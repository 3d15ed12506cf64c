// The ID line: its 16 numbers, their widths and normalisations, and the check
// of an old-style file name against them.
#include "base/console.hpp"
#include "formats/idline.hpp"
#include "formats/textfmt.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace kovra {
namespace {

// The 16 fields as one text, so that a whole record compares at once.
std::string Fields(const IdRecord& id) {
  return std::to_string(id.v) + " " + std::to_string(id.b) + " " + std::to_string(id.k) + " " +
         std::to_string(id.v1) + " " + std::to_string(id.w1) + "/" + std::to_string(id.w2) + " " +
         std::to_string(id.t) + "/" + std::to_string(id.m) + " " + std::to_string(id.L) + " " +
         std::to_string(id.x) + " " + std::to_string(id.Base) + " " + std::to_string(id.bCmpr) +
         " " + std::to_string(id.CHI) + " " + std::to_string(id.CEI) + " " +
         std::to_string(id.CLL) + " " + std::to_string(id.CfExp);
}

IdRecord Parse(const char* line, int* count = nullptr) {
  IdRecord id;
  const int n = ParseIdLine(id, line, true, nullptr, false);
  if (count != nullptr) *count = n;
  return id;
}

TEST(ParseIdLine, TheWrittenExample) {
  int count = 0;
  const IdRecord id = Parse("ID       49 168 6 49 0/0 3/6 1 2 1 0 4 2 64 1 ...\n", &count);
  EXPECT_EQ(count, 16);
  EXPECT_EQ(Fields(id), "49 168 6 49 0/0 3/6 1 2 1 0 4 2 64 1");
}

TEST(ParseIdLine, ResetValuesAndPrefilledValues) {
  EXPECT_EQ(Fields(Parse("ID")), "1 0 1 1 0/0 1/1 1 2 1 0 4 2 64 1");
  int count = -1;
  Parse("no digits at all", &count);
  EXPECT_EQ(count, 0);

  // Without reset the caller's values stay where the line has no number.
  IdRecord id;
  id.t = 4;
  id.m = 5;
  id.L = 7;
  id.Base = 0;
  EXPECT_EQ(ParseIdLine(id, "ID 49 168 6", false, nullptr, false), 3);
  EXPECT_EQ(Fields(id), "49 168 6 1 0/0 4/5 7 2 0 0 4 2 64 1"); // v1 1 is within v
}

TEST(ParseIdLine, Normalisations) {
  EXPECT_EQ(Parse("ID 49 1 6 0 0/0 3/6 0 2 5 1 2 1 64 9").v1, 49);
  const IdRecord id = Parse("ID 49 1 6 60 0/0 3/6 0 2 5 1 2 1 64 9");
  EXPECT_EQ(id.v1, 49);   // above v
  EXPECT_EQ(id.L, 1);     // 0
  EXPECT_EQ(id.Base, 1);  // compressed
  EXPECT_EQ(id.CHI, 4u);  // below 4
  EXPECT_EQ(id.CEI, 2u);  // below 2
  EXPECT_EQ(id.CfExp, 1); // non-zero
  EXPECT_EQ(Parse("ID 49 1 6 12 0/0 3/6 0 2 5 0").v1, 12);
  EXPECT_EQ(Parse("ID 49 1 6 12 0/0 3/6 0 2 5 0").Base, 5);
  EXPECT_EQ(Parse("ID 1 1 1 1 0/0 1/1 1 2 1 0 4 2 64 0").CfExp, 0);
  // CfExp 65536 is non-zero although its low 16 bits are not.
  EXPECT_EQ(Parse("ID 1 1 1 1 0/0 1/1 1 2 1 0 4 2 64 65536").CfExp, 1);
}

TEST(ParseIdLine, ValuesAreCutToTheirFieldWidths) {
  const IdRecord id = Parse("ID 65585 4294967465 65542 0 65536/65537 65539/65542 65537 65538 "
                            "65536 258 4294967300 4294967298 4294967360");
  EXPECT_EQ(id.v, 49);
  EXPECT_EQ(id.b, 169u);
  EXPECT_EQ(id.k, 6);
  EXPECT_EQ(id.v1, 49);
  EXPECT_EQ(id.w1, 0);
  EXPECT_EQ(id.w2, 1);
  EXPECT_EQ(id.t, 3);
  EXPECT_EQ(id.m, 6);
  EXPECT_EQ(id.L, 1);
  EXPECT_EQ(id.x, 2);
  EXPECT_EQ(id.bCmpr, 2); // 258 cut to 8 bits
  EXPECT_EQ(id.Base, 1);  // ... which makes the file compressed
  EXPECT_EQ(id.CHI, 4u);
  EXPECT_EQ(id.CEI, 2u);
  EXPECT_EQ(id.CLL, 64u);
  // A number of hundreds of digits reads as the largest 64-bit value.
  const IdRecord huge = Parse(("ID 7 " + std::string(300, '9') + " 3").c_str());
  EXPECT_EQ(huge.b, 0xFFFFFFFFu);
  EXPECT_EQ(huge.k, 3);
}

TEST(ParseIdLine, TokensSeparatorsAndTheEnd) {
  int count = 0;
  // Commas, dots and TABs separate too; a word ends the numbers.
  const IdRecord id = Parse("id\t7,7.3 7 0/0 2/2 x 9 9", &count);
  EXPECT_EQ(count, 8);
  EXPECT_EQ(Fields(id), "7 7 3 7 0/0 2/2 1 2 1 0 4 2 64 1");
  // Numbers after the 16th are counted and ignored.
  Parse("ID 1 2 1 1 0/0 1/1 1 2 1 0 4 2 64 1 55 66 77", &count);
  EXPECT_EQ(count, 19);
  // A token is read from its leading digits.
  EXPECT_EQ(Parse("ID 49abc 7").v, 49);
  EXPECT_EQ(Parse("ID 49abc 7").b, 7u);
  // Text before the first digit is skipped whatever it is.
  EXPECT_EQ(Parse("ID v=49").v, 49);
}

TEST(ParseIdLine, WrittenHeaderReadsBackTheSixteenValues) {
  for (const uint8_t cmpr : {0, 1, 2}) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    WriteIdHeader(f, 54, 7, 5, 7, 255, 4000000000u, 9, 0, nullptr, cmpr, 31, 30, 224, 0, false);
    std::rewind(f);
    char line[LINE_BUFSIZE];
    bool found = false;
    while (!found && ReadTextLine(line, f, false, true, true))
      found = IsKeyword(SkipLead(line), "ID ");
    std::fclose(f);
    ASSERT_TRUE(found);
    IdRecord id;
    ASSERT_EQ(ParseIdLine(id, SkipLead(line), true, nullptr, false), 16);
    EXPECT_EQ(Fields(id), "54 4000000000 7 54 0/0 5/7 255 9 " + std::string(cmpr == 0 ? "0" : "1") +
                              " " + std::to_string(cmpr) + " 31 30 224 0");
  }
}

// The mismatch lines printed for a path and an ID line.
std::string Check(const char* path, const char* line, IdRecord* out = nullptr,
                  bool newScheme = false) {
  ConsoleCapture capture;
  IdRecord id;
  ParseIdLine(id, line, true, path, newScheme);
  if (out != nullptr) *out = id;
  EXPECT_EQ(capture.err, "");
  return capture.out;
}

constexpr char kDesign[] = "ID       49 168 6 49 0/0 3/6 1 2 1 0 4 2 64 1 ...\n";

TEST(CheckFNameAgainstId, MatchingOldStyleNamesAreSilent) {
  EXPECT_EQ(Check("4901683a.616", kDesign), "");
  EXPECT_EQ(Check("4901683a.6a6", kDesign), "");
  EXPECT_EQ(Check("4901683A.616", kDesign), "");
  // The directory may hold any digits; only the base name and extension count.
  EXPECT_EQ(Check("../system/K6/3a6a6/4901683a.6a6", kDesign), "");
  EXPECT_EQ(Check("12.34/4901683a.616", kDesign), "");
}

TEST(CheckFNameAgainstId, OneDifferenceGivesOneLine) {
  EXPECT_EQ(Check("dir/4901683a.616", "ID 49 170 6 49 0/0 3/6 1 2 1 0 4 2 64 1 ...\n"),
            "# b=170 vs 168: FName/ID mismatch! dir/4901683a.616\n");
  EXPECT_EQ(Check("4901683a.616", "ID 50 168 6 50 0/0 3/6 1 2 1 0 4 2 64 1 ...\n"),
            "# v=50 vs 49: FName/ID mismatch! 4901683a.616\n");
}

TEST(CheckFNameAgainstId, AnyOtherNameGivesAllFiveLinesWithZero) {
  EXPECT_EQ(Check("design.txt", kDesign), "# v=49 vs 0: FName/ID mismatch! design.txt\n"
                                          "# b=168 vs 0: FName/ID mismatch! design.txt\n"
                                          "# t=3 vs 0: FName/ID mismatch! design.txt\n"
                                          "# m=6 vs 0: FName/ID mismatch! design.txt\n"
                                          "# k=6 vs 0: FName/ID mismatch! design.txt\n");
  // Short names: positions past the end count as empty.
  EXPECT_EQ(Check("49", "ID 49 168 6 49 0/0 3/6"), "# b=168 vs 0: FName/ID mismatch! 49\n"
                                                   "# t=3 vs 0: FName/ID mismatch! 49\n"
                                                   "# m=6 vs 0: FName/ID mismatch! 49\n"
                                                   "# k=6 vs 0: FName/ID mismatch! 49\n");
  // A long path of any length is only read, never copied into a buffer.
  const std::string longPath = std::string(400, 'd') + "/4901683a.616";
  EXPECT_EQ(Check(longPath.c_str(), kDesign), "");
}

TEST(CheckFNameAgainstId, FillsZeroTAndMFromTheName) {
  IdRecord id;
  EXPECT_EQ(Check("4901683a.616", "ID 49 168 6 49 0/0 0/0 1", &id), "");
  EXPECT_EQ(id.t, 3);
  EXPECT_EQ(id.m, 6);
  // From a name without digits there: 0, and then no mismatch for it.
  EXPECT_EQ(Check("490168xa.x16", "ID 49 168 6 49 0/0 0/0 1", &id), "");
  EXPECT_EQ(id.t, 0);
  EXPECT_EQ(id.m, 0);
}

TEST(CheckFNameAgainstId, SilentForNewStyleRunsAndWithoutPath) {
  EXPECT_EQ(Check("design.txt", kDesign, nullptr, true), "");
  EXPECT_EQ(Check(nullptr, kDesign), "");
  IdRecord id;
  id.t = 0;
  ConsoleCapture capture;
  CheckFNameAgainstId(id, "4901683a.616", true);
  EXPECT_EQ(id.t, 0);
  EXPECT_EQ(capture.out, "");
}

} // namespace
} // namespace kovra
