// The ID line of a design file and its check against an old-style file name.
#pragma once

#include "base/settings.hpp"

#include <cstdint>

namespace kovra {

// The 16 numbers of an ID line, in column order.
struct IdRecord {
  uint16_t v = 1;
  uint32_t b = 0;
  uint16_t k = 1;
  uint16_t v1 = 1;
  uint16_t w1 = 0;
  uint16_t w2 = 0;
  uint16_t t = 1;
  uint16_t m = 1;
  uint16_t L = 1;
  uint16_t x = 2;
  uint16_t Base = 1;
  uint8_t bCmpr = 0;
  uint32_t CHI = 4;
  uint32_t CEI = 2;
  uint32_t CLL = 64;
  uint16_t CfExp = 1;
  bool tooLarge = false; // a number did not fit its column (refused, see ParseIdLine)
};

// The ID line of a design with b blocks: v1 = v, w1 = w2 = 0 and the other
// fields at their reset values (x 2, Base 1, bCmpr 0, CHI 4, CEI 2, CLL 64,
// CfExp 1), for a writer to adjust.
IdRecord IdLineOf(const DesignParams& p, uint32_t b);

// Reads the numbers of an ID line (the text from its significant start) into
// `id` and normalises them: v1 0 or above v becomes v, L 0 becomes 1, Base
// becomes 1 for a compressed file, CHI below 4 becomes 4, CEI below 2 becomes
// 2, any non-zero CfExp becomes 1. A number too large for its column is never
// cut to its low bits (L 65537 would read as 1): v1 and CfExp take it as
// above, every other column refuses it with "Err: L = 65537 is above the
// limit 255." (the parameter's own limit, or the column's), keeps its
// largest value and sets id.tooLarge. With `reset` the record is first set
// to the reset values. When `path` is given and nothing was refused, the
// numbers are checked against the old-style file name (unless the run uses
// new-style names). Returns the count of numbers read, the ones after the
// 16th included.
int ParseIdLine(IdRecord& id, const char* line, bool reset, const char* path,
                bool newFNameSchemeRun);

// Compares the ID line's v, b, t, m and k with an old-style file name
// "VVBBBBTa.MLK" and prints a "# ...: FName/ID mismatch!" line for each
// difference; fills t and m from the name when the ID line gave 0 (a
// missing character counts as no digit). Only the base name and extension
// after the last "/" are read. Nothing is done when path is null or the run
// uses new-style names, and nothing printed when the name does not follow
// the old-style scheme (seven digits and 'a' or 'A', a dot, a digit, a digit
// or 'a'/'A', a digit): a name such as reduced.txt says nothing to compare.
void CheckFNameAgainstId(IdRecord& id, const char* path, bool newFNameSchemeRun);

} // namespace kovra
