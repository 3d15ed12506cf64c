// The ID line: its 16 numbers, their widths and normalisations, and the check
// of an old-style file name against them.
#include "base/console.hpp"
#include "formats/idline.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace kovra {
namespace {

// The 16 fields as one text, so that a whole record compares at once.
std::string Fields(const IdRecord& id) {
  char text[160];
  std::snprintf(text, sizeof text, "%u %lu %u %u %u/%u %u/%u %u %u %u %u %lu %lu %lu %u", id.v,
                static_cast<unsigned long>(id.b), id.k, id.v1, id.w1, id.w2, id.t, id.m, id.L, id.x,
                id.Base, id.bCmpr, static_cast<unsigned long>(id.CHI),
                static_cast<unsigned long>(id.CEI), static_cast<unsigned long>(id.CLL), id.CfExp);
  return text;
}

TEST(ParseIdLine, FieldsCountsWidthsAndNormalisations) {
  const std::string huge = "ID 7 " + std::string(300, '9') + " 3";
  const struct {
    const char* line;
    int count;
    const char* fields;
  } cases[] = {
      // The written example, and the reset values where numbers are missing.
      {"ID       49 168 6 49 0/0 3/6 1 2 1 0 4 2 64 1 ...\n", 16,
       "49 168 6 49 0/0 3/6 1 2 1 0 4 2 64 1"},
      // The ID lines test_textfmt.cpp has WriteIdHeader write.
      {"ID       54 4000000000 7 54 0/0 5/7 255 9 0 0 31 30 224 0 ...\n", 16,
       "54 4000000000 7 54 0/0 5/7 255 9 0 0 31 30 224 0"},
      {"ID 54 4000000000 7 54 0/0 5/7 255 9 1 2 31 30 224 0 ...\n", 16,
       "54 4000000000 7 54 0/0 5/7 255 9 1 2 31 30 224 0"},
      {"ID", 0, "1 0 1 1 0/0 1/1 1 2 1 0 4 2 64 1"},
      {"no digits at all", 0, "1 0 1 1 0/0 1/1 1 2 1 0 4 2 64 1"},
      // Commas, dots and TABs separate too; a word ends the numbers; numbers
      // after the 16th are counted and ignored; a token counts by its
      // leading digits; text before the first digit is skipped.
      {"id\t7,7.3 7 0/0 2/2 x 9 9", 8, "7 7 3 7 0/0 2/2 1 2 1 0 4 2 64 1"},
      {"ID 1 2 1 1 0/0 1/1 1 2 1 0 4 2 64 0 55 66 77", 19, "1 2 1 1 0/0 1/1 1 2 1 0 4 2 64 0"},
      {"ID v=49abc 7", 2, "49 7 1 1 0/0 1/1 1 2 1 0 4 2 64 1"},
      // v1 0 or above v becomes v, L 0 becomes 1, Base 1 when compressed,
      // CHI below 4 becomes 4, CEI below 2 becomes 2, CfExp non-zero 1 (also
      // 65536, whose low 16 bits are 0).
      {"ID 49 1 6 0 0/0 3/6 0 2 5 1 2 1 64 9", 16, "49 1 6 49 0/0 3/6 1 2 1 1 4 2 64 1"},
      {"ID 49 1 6 60 0/0 3/6 0 2 5 0 2 1 64 65536", 16, "49 1 6 49 0/0 3/6 1 2 5 0 4 2 64 1"},
      {"ID 49 1 6 12 0/0 3/6 1 2 5 0", 12, "49 1 6 12 0/0 3/6 1 2 5 0 4 2 64 1"},
      // Each value cut to its field's width: 258 is bCmpr 2, which makes the
      // file compressed; hundreds of digits read as the largest value.
      {"ID 65585 4294967465 65542 0 65536/65537 65539/65542 65537 65538 65536 258 4294967300 "
       "4294967298 4294967360",
       15, "49 169 6 49 0/1 3/6 1 2 1 2 4 2 64 1"},
      {huge.c_str(), 3, "7 4294967295 3 1 0/0 1/1 1 2 1 0 4 2 64 1"},
  };
  for (const auto& c : cases) {
    IdRecord id;
    id.v = 99; // reset makes it 1 again
    EXPECT_EQ(ParseIdLine(id, c.line, true, nullptr, false), c.count) << c.line;
    EXPECT_EQ(Fields(id), c.fields) << c.line;
  }
}

TEST(CheckFNameAgainstId, MismatchLines) {
  const char* const design = "ID       49 168 6 49 0/0 3/6 1 2 1 0 4 2 64 1 ...\n";
  const std::string longPath = std::string(400, 'd') + "/4901683a.616";
  const struct {
    const char* path;
    const char* line;
    const char* out;
  } cases[] = {
      // Matching names are silent; only the base name and extension count.
      {"4901683a.616", design, ""},
      {"12.34/4901683a.6a6", design, ""},
      {longPath.c_str(), design, ""},
      {"dir/4901683a.616", "ID 49 170 6 49 0/0 3/6 1 2 1 0 4 2 64 1 ...\n",
       "# b=170 vs 168: FName/ID mismatch! dir/4901683a.616\n"},
      {"design.txt", design,
       "# v=49 vs 0: FName/ID mismatch! design.txt\n"
       "# b=168 vs 0: FName/ID mismatch! design.txt\n"
       "# t=3 vs 0: FName/ID mismatch! design.txt\n"
       "# m=6 vs 0: FName/ID mismatch! design.txt\n"
       "# k=6 vs 0: FName/ID mismatch! design.txt\n"},
      // A short name: positions past its end count as no digit.
      {"49", "ID 49 168 6 49 0/0 3/6",
       "# b=168 vs 0: FName/ID mismatch! 49\n# t=3 vs 0: FName/ID mismatch! 49\n"
       "# m=6 vs 0: FName/ID mismatch! 49\n# k=6 vs 0: FName/ID mismatch! 49\n"},
      // t and m 0 in the ID line are taken from the name (0 without digits).
      {"4901683a.616", "ID 49 168 6 49 0/0 0/0 1", ""},
      {"490168xa.x16", "ID 49 168 6 49 0/0 0/0 1", ""},
      {nullptr, design, ""},
  };
  for (const auto& c : cases) {
    ConsoleCapture capture;
    IdRecord id;
    ParseIdLine(id, c.line, true, c.path, false);
    EXPECT_EQ(capture.out, c.out) << (c.path ? c.path : "no path");
    EXPECT_EQ(capture.err, "");
  }
  IdRecord id;
  ParseIdLine(id, "ID 49 168 6 49 0/0 0/0 1", true, "4901683a.616", false);
  EXPECT_EQ(id.t, 3);
  EXPECT_EQ(id.m, 6);
  // A run with new-style names checks nothing and fills nothing.
  ConsoleCapture capture;
  ParseIdLine(id, "ID 49 168 6 49 0/0 0/0 1", true, "design.txt", true);
  CheckFNameAgainstId(id, "4901683a.616", true);
  EXPECT_EQ(id.t, 0);
  EXPECT_EQ(capture.out, "");
}

} // namespace
} // namespace kovra
