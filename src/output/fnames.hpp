// File names that carry a design's parameters: old style and base-36 new style.
//
// Old style "VVBBBBTa.MLK" (decimal; L is the digit of l under -f1, else "a"):
// C(49,6,3,6,1,=168) is 4901683a.616. New style "VVKTMLLX.BBB" in base 36:
// the same design is 1d636012.04o.
#pragma once

#include "design/sys.hpp"

#include <cstdint>
#include <string>

namespace kovra {

// Upper bounds of the new-style fields.
struct FNameLimits {
  int32_t v = 255;
  int32_t k = 35, t = 35, m = 35;
  int32_t l = 1295;
  int32_t xFlags = 31;
  int32_t b = 46655;
};

// Computes the limits; called once at start-up.
void InitFNameLimits();
const FNameLimits& GetFNameLimits();

struct NewStyleFName {
  char name[13] = {};
  int16_t v = 0, k = 0, t = 0, m = 0, l = 0, xFlags = 0;
  int32_t b = 0;
  bool valid = false;
};

// Fills `out`; false (name empty) when a value does not fit.
bool BuildNewStyleFName(NewStyleFName& out, int16_t v, int16_t k, int16_t t, int16_t m, int16_t l,
                        int32_t b, int16_t xFlags);

// "%02hu%04lu%hu%c.%hu%c%hu" of v, b, t, 'a', m, L, k; no range check.
std::string MakeOldStyleFName(const Sys& sys, bool useL);

} // namespace kovra
