// The compressed text format.
#include "formats/ctext.hpp"

namespace kovra {

// Placeholders until the format is written: nothing is encoded or decoded.
bool WriteCText(Sys&, std::FILE*, uint32_t, bool) { return false; }
void FlushCTextLine(std::FILE*, std::string& line, size_t, bool) { line.clear(); }
uint32_t ReadCText(Block*, std::FILE*, uint16_t, uint16_t, uint32_t, uint32_t, uint32_t) {
  return 0;
}

} // namespace kovra
