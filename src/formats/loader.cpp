// The design loader.
#include "formats/loader.hpp"

namespace kovra {

// Placeholder until the loader is written: loads nothing.
BlockArray SysLoad(const char*, LoadParams&, bool, uint8_t, bool, bool) { return nullptr; }

bool ReadSys(Sys& sys, bool, int16_t, bool, uint8_t, bool) {
  sys.fLoaded = 0;
  return false;
}

bool LoadSys(Sys& sys, const char* fileName, bool sort, int16_t base, uint8_t bCompressed,
             bool closeGaps) {
  sys.fLoaded = 0;
  SetSysFileName(sys, fileName);
  sys.fLoaded = ReadSys(sys, sort, base, false, bCompressed, closeGaps) ? 1 : 0;
  return sys.fLoaded != 0;
}

} // namespace kovra
