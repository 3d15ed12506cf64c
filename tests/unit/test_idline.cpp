// The ID line: its 16 numbers, their widths and normalisations. The check of
// an old-style file name against them shows in golden transcripts (names_*,
// write_out_base, bad_line_*).
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
      // The reset values where numbers are missing.
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

} // namespace
} // namespace kovra
