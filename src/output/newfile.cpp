// Writing a design to a new file.
#include "output/newfile.hpp"

namespace kovra {

// Placeholders until output files are written: nothing is created.
std::string TargetFileName(const Sys&, bool) { return {}; }
int CreateNewSysFile(Sys&, const char*, uint16_t, bool, bool, uint8_t, uint32_t, bool, bool, bool) {
  return CREATE_NOTHING;
}

} // namespace kovra
