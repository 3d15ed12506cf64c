// The ID line: its 16 numbers, their widths, refusals and normalisations. The check of
// an old-style file name against them shows in golden transcripts (names_*,
// write_out_base, bad_line_*).
#include "formats/idline.hpp"

#include "base/console.hpp"

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
  const std::string hugeRead =
      "7 4294967295 3 1 0/0 1/1 1 2 1 0 4 2 64 1 refused: Err: b = " + std::string(300, '9') +
      " is above the limit 2147483647.\n";
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
      // The largest values that fit their fields are read as they are.
      {"ID 65535 4294967295 65535 70000 65535/65535 65535/65535 65535 65535 65535 255 4294967295 "
       "4294967295 4294967295",
       15,
       "65535 4294967295 65535 65535 65535/65535 65535/65535 65535 65535 1 255 4294967295 "
       "4294967295 4294967295 1"},
      // One more is refused by name, never cut to its low bits (258 would be
      // bCmpr 2, the file compressed); v1 and CfExp read any number as ever.
      // The field keeps its largest value.
      {"ID 65585 4294967465 65542 0 65536/65537 65539/65542 65537 65538 65536 258 4294967300 "
       "4294967298 4294967360 99999999999999999999999",
       16,
       "65535 4294967295 65535 65535 65535/65535 65535/65535 65535 65535 1 255 4294967295 "
       "4294967295 4294967295 1 refused: "
       "Err: v = 65585 is above the limit 1024.\n"
       "Err: b = 4294967465 is above the limit 2147483647.\n"
       "Err: k = 65542 is above the limit 32.\n"
       "Err: w1 = 65536 is above the limit 65535.\n"
       "Err: w2 = 65537 is above the limit 65535.\n"
       "Err: t = 65539 is above the limit 8.\n"
       "Err: m = 65542 is above the limit 20.\n"
       "Err: L = 65537 is above the limit 255.\n"
       "Err: x = 65538 is above the limit 65535.\n"
       "Err: Base = 65536 is above the limit 65535.\n"
       "Err: bCmpr = 258 is above the limit 255.\n"
       "Err: CHI = 4294967300 is above the limit 4294967295.\n"
       "Err: CEI = 4294967298 is above the limit 4294967295.\n"
       "Err: CLL = 4294967360 is above the limit 4294967295.\n"},
      {huge.c_str(), 3, hugeRead.c_str()},
  };
  for (const auto& c : cases) {
    IdRecord id;
    id.v = 99; // reset makes it 1 again
    ConsoleCapture cap;
    EXPECT_EQ(ParseIdLine(id, c.line, true, nullptr, false), c.count) << c.line;
    EXPECT_EQ(Fields(id) + (id.tooLarge ? " refused: " + cap.out : cap.out), c.fields) << c.line;
  }
}

} // namespace
} // namespace kovra
