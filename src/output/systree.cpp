// The system tree.
#include "output/systree.hpp"

namespace kovra {

// Placeholders until the system tree is written: it holds nothing.
bool FindBestSysFile(uint16_t, uint16_t, uint16_t, uint16_t, std::string& path, uint32_t& count) {
  path.clear();
  count = 0;
  return false;
}
bool SetSysDirFName(Sys&, uint16_t, uint16_t, uint16_t, uint16_t, uint16_t, uint32_t) {
  return false;
}
bool MakeSys(Sys& sys, uint16_t, uint16_t, uint16_t, uint16_t, uint16_t, bool, int16_t, const char*,
             uint8_t, bool) {
  sys.fLoaded = 0;
  return false;
}

} // namespace kovra
