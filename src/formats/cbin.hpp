// The compressed binary format (cbin, -g2): rank differences as a bit stream.
//
// The file is the compressed-file ID line (ending in a single LF) followed by
// a bit stream packed from bit 7 down to bit 0 of each byte. The stream holds
// 5 bits H (4), 32 bits b, 8 bits v, 8 bits k, H - 4 further 8-bit header
// items, the b rank differences of ctext.hpp as codes, 32 bits CS1, 32 bits
// CS2, CEI - 2 further 8-bit end items, and filler bits to the byte end.
// Codes: 0 + 7 bits (a value 0..127); 10 + q (3 bits, 0..6) + 4q + 8 bits
// (a larger value); 10 + 111 + 36 bits (filler, skipped); 11 + q (3 bits) +
// 3q + 2 bits (a count of further blocks with the previous difference).
#pragma once

#include "base/input.hpp"
#include "design/sys.hpp"
#include "formats/textfmt.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kovra {

// Longest count one repeat code carries (23 bits); longer runs take several.
inline constexpr uint32_t MAX_CBIN_REPEAT = 8388607;
// The header holds v and k in eight bits each: a design of more points is
// refused by the writer (and its header could not match its ID line).
inline constexpr unsigned MAX_CBIN_V = 255;

// One bit reader over bytes in memory, or writer to a file; bits run from
// bit 7 to bit 0. A writer with no output stream only counts (useful to
// measure codes).
struct BitStream {
  const uint8_t* in = nullptr; // the bytes still to read, up to inEnd
  const uint8_t* inEnd = nullptr;
  InputStream* source = nullptr; // refills [in, inEnd) when set
  std::FILE* out = nullptr;
  uint8_t inByte = 0;
  uint8_t outByte = 0;
  uint8_t bitsPerByte = 8;
  uint64_t bytesRead = 0;
  uint64_t bytesWritten = 0;
  bool endOfInput = false; // a byte could not be read; every later read fails
  int inBit = -1;          // next bit to take, 7..0; -1 = no byte loaded
  int outBit = 7;          // next bit to set
  bool writeError = false; // a byte could not be written
};

// Appends one bit; a completed byte goes to the output stream.
void PutBit(BitStream& s, unsigned bit);
// Appends bits n-1 down to 0 of value (n <= 64).
void PutBits(BitStream& s, uint64_t value, unsigned n);
// Writes a partly filled byte (its unused low bits 0).
void FlushBits(BitStream& s);
// The next bit, or -1 at the end of the input.
int GetBit(BitStream& s);
// The next n bits (n <= 64), first bit highest. At the end of the input the
// missing low bits are 0.
uint64_t GetBits(BitStream& s, unsigned n);
// Significant bits of n: 1 for 0 and 1, 8 for 128..255.
unsigned BitLength(uint64_t n);
// "BinCompressed: ..." and, for a writer, the "Ratio: ..." line. bytesIn 0
// shows the bytes read and no ratio.
void PrintBinStats(const BitStream& s, uint64_t bytesIn);
// The shortest value code for value.
void PutCBinValue(BitStream& s, uint32_t value);
// The shortest repeat code for count (1..MAX_CBIN_REPEAT).
void PutCBinRepeat(BitStream& s, uint32_t count);

// Writes `sys` (whose blocks end up sorted) to `out`, then the statistics
// lines. False when the design cannot be stored (ranks beyond 32 bits) or a
// block has no rank ("ERROR happened!"); an error of the stream itself stays
// on the stream for the caller, who owns the file and reports it with its
// cause.
bool WriteCBin(Sys& sys, std::FILE* out, bool useRepeats);

// Reads b blocks from the bit stream in data[0..size-1] (a file's bytes behind
// its ID line) into `blocks` (room for exactly b; nothing is written past
// them). Returns b, or 0: silently when CHI/CEI are out of 4..31 / 2..31 or
// v and k cannot describe a design; otherwise after the statistics line and
// the message that says why.
uint32_t ReadCBin(Point* blocks, const char* data, size_t size, uint16_t v, uint16_t k, uint32_t b,
                  uint32_t chi, uint32_t cei);

// The same from the text's position on, into an array that grows as blocks
// are decoded (see GrowBlocks); throws std::bad_alloc when memory runs short.
uint32_t ReadCBin(BlockArray& blocks, TextCursor& text, uint16_t v, uint16_t k, uint32_t b,
                  uint32_t chi, uint32_t cei);

} // namespace kovra
