// The compressed binary format (cbin, -g2): rank differences as a bit stream.
#pragma once

#include "design/sys.hpp"

#include <cstdint>
#include <cstdio>

namespace kovra {

// One bit reader or writer over a file; bits run from bit 7 to bit 0.
struct BitStream {
  std::FILE* in = nullptr;
  std::FILE* out = nullptr;
  uint8_t inByte = 0;
  uint8_t outByte = 0;
  uint8_t bitsPerByte = 8;
  uint64_t bytesRead = 0;
  uint64_t bytesWritten = 0;
  bool endOfInput = false;
  int inBit = -1; // next bit to take, 7..0; -1 = no byte loaded
  int outBit = 7; // next bit to set
  bool writeError = false;
};

void PutBit(BitStream& s, unsigned bit);
void PutBits(BitStream& s, uint64_t value, unsigned n);
void FlushBits(BitStream& s);
int GetBit(BitStream& s);
uint64_t GetBits(BitStream& s, unsigned n);
unsigned BitLength(uint64_t n);
void PrintBinStats(const BitStream& s, uint64_t bytesIn);
void PutCBinValue(BitStream& s, uint32_t value);

// Writes `sys` (whose blocks end up sorted) to fileName, or to a fresh
// temporary file when fileName is null.
bool WriteCBin(Sys& sys, const char* fileName, bool useRepeats);

// Reads b blocks from the bit stream starting at dataOffset of fileName.
// Returns b, or 0.
uint32_t ReadCBin(Block* blocks, const char* fileName, long dataOffset, uint16_t v, uint16_t k,
                  uint32_t b, uint32_t chi, uint32_t cei);

} // namespace kovra
