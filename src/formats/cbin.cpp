// The compressed binary format.
#include "formats/cbin.hpp"

namespace kovra {

// Placeholders until the format is written: nothing is encoded or decoded.
void PutBit(BitStream&, unsigned) {}
void PutBits(BitStream&, uint64_t, unsigned) {}
void FlushBits(BitStream&) {}
int GetBit(BitStream&) { return -1; }
uint64_t GetBits(BitStream&, unsigned) { return 0; }
unsigned BitLength(uint64_t n) {
  unsigned bits = 1;
  while (n > 1) {
    n >>= 1;
    ++bits;
  }
  return bits;
}
void PrintBinStats(const BitStream&, uint64_t) {}
void PutCBinValue(BitStream&, uint32_t) {}
bool WriteCBin(Sys&, const char*, bool) { return false; }
uint32_t ReadCBin(Block*, const char*, long, uint16_t, uint16_t, uint32_t, uint32_t, uint32_t) {
  return 0;
}

} // namespace kovra
