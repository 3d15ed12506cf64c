// File names that carry a design's parameters: old style and base-36 new style.
//
// Old style "VVBBBBTa.MLK" (decimal; L is the digit of l under -f1, else "a"):
// C(49,6,3,6,1,=168) is 4901683a.616. New style "VVKTMLLX.BBB" in base 36
// (digits 0-9 then a-z, each field right-aligned and zero-padded): the same
// design is 1d636012.04o (v=49 is 1d, l=1 is 01, xFlags=2, b=168 is 04o).
#pragma once

#include "design/sys.hpp"

#include <cstdint>
#include <string>

namespace kovra {

// Upper bounds of the new-style fields: 36^1-1, 36^2-1, 36^3-1 and 2^5-1.
// v is held to MAX_V although its two base-36 digits could carry 1295;
// xFlags has five flag bits, so 31 rather than 35.
struct FNameLimits {
  int32_t v = MAX_V;
  int32_t k = 35, t = 35, m = 35;
  int32_t l = 1295;
  int32_t xFlags = 31;
  int32_t b = 46655;
};
inline constexpr FNameLimits NEW_STYLE_LIMITS{};

struct NewStyleFName {
  char name[13] = {}; // "VVKTMLLX.BBB"; empty after a failed build
  int16_t v = 0, k = 0, t = 0, m = 0, l = 0, xFlags = 0;
  int32_t b = 0;
  bool valid = false;
};

// Fills `out`. False (name empty, valid clear) unless v <= 255, k, t, m <= 35,
// l <= 1295, 0 <= b <= 46655, 0 <= xFlags <= 31, v >= k >= t >= 1, m >= t,
// l >= 1 and v >= t. m may exceed k and v. Comparisons are signed.
bool BuildNewStyleFName(NewStyleFName& out, int16_t v, int16_t k, int16_t t, int16_t m, int16_t l,
                        int32_t b, int16_t xFlags);

// "%02hu%04lu%hu%c.%hu%c%hu" of v, b, t, 'a', m, L, k: the old-style name
// with `L` in the place of l. No range check: a value wider than its field
// makes the name longer.
std::string OldStyleFName(const DesignParams& p, uint32_t b, char L);

// The design's old-style name: L is the digit of l when useL is set and
// l <= 9, else 'a'.
std::string MakeOldStyleFName(const Sys& sys, bool useL);

// The old-style name fits its twelve characters and its point numbers fit a
// byte: v <= 99, base + v - 1 <= 255 (the design's current base), k, t, m <= 9,
// b <= 9999, and l <= 9 when useL is set.
bool FitsOldStyleFName(const Sys& sys, bool useL);

} // namespace kovra
