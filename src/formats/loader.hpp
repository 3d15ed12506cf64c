// The design loader: every design file enters the program here.
#pragma once

#include "design/sys.hpp"

#include <cstdint>

namespace kovra {

// In/out values of SysLoad. On return they hold what was read, whatever the result.
struct LoadParams {
  uint16_t v = 0, k = 0, t = 0, m = 0, l = 0;
  uint16_t base = 1;
  uint32_t b = 0;
  uint16_t v1 = 0, w1 = 0, w2 = 0;
};

// Opens `fileName`, recognises plain text, ctext or cbin, takes the parameters
// from the ID line (or from `io` when nameGiven and the file has none),
// allocates the block array at full size and fills it. Returns the array
// (b blocks, k in the first block) or null. Malformed plain files end the
// program through ErrExit.
BlockArray SysLoad(const char* fileName, LoadParams& io, bool nameGiven, uint8_t expectedKind,
                   bool closeGaps, bool newFNameSchemeRun);

// Reads the design named in sys.szFileName into sys (see the design record).
// A negative base keeps sys.base.
bool ReadSys(Sys& sys, bool sort, int16_t base, bool nameGiven, uint8_t bCompressed,
             bool closeGaps);

// Loads `fileName` taking the parameters from the file.
bool LoadSys(Sys& sys, const char* fileName, bool sort, int16_t base, uint8_t bCompressed,
             bool closeGaps);

} // namespace kovra
