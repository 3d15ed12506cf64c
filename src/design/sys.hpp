// A design in memory: its parameters and its block array.
//
// A block is 8 bytes: bytes 0..6 hold up to 7 points (one unsigned byte each,
// 0 from position k on); byte 7 holds k << 2 and two flag bits. Only the first
// block of an array carries an authoritative k: every operation that needs the
// block size reads it there, and every operation that builds or reorders an
// array writes it there, keeping that block's flag bits.
#pragma once

#include "base/limits.hpp"
#include "base/settings.hpp"

#include <cstdint>
#include <memory>

namespace kovra {

struct Block {
  uint8_t pt[7];
  uint8_t kf; // k << 2 | flags
};
static_assert(sizeof(Block) == 8, "a block is 8 bytes");

inline constexpr uint8_t BLOCK_SKIP = 1; // flag bit 0: the text writers leave the block out

inline unsigned BlockK(const Block& b) { return b.kf >> 2; }
inline void SetBlockK(Block& b, unsigned k) { b.kf = static_cast<uint8_t>((k << 2) | (b.kf & 3u)); }

struct BlockArrayFree {
  void operator()(Block* p) const;
};
using BlockArray = std::unique_ptr<Block[], BlockArrayFree>;

// n zero-filled blocks, or null when memory is short. The memory comes from
// the system already zeroed and is touched only where blocks are written, so
// a file that claims far more blocks than it holds costs address space, not
// time or resident memory, before its reader finds out.
BlockArray AllocBlocks(uint64_t n);

struct Sys : DesignParams {
  Sys() : DesignParams{1, 1, 1, 1, 1} {}
  uint16_t base = 1;    // base the block array is numbered in now
  uint16_t x = 2;       // written into the x column of the ID line
  uint32_t b = 0;       // blocks in the array
  uint32_t ulAlloc = 0; // blocks the array was made for
  BlockArray blocks;
  char szFileName[FNAME_CAPACITY + 1] = {};
  uint8_t fLoaded = 0;
  uint8_t fNewFNameScheme = 0; // this run's copy of -f2
  CmdGiven given;
};

// Copies `name` into sys.szFileName. A name longer than the record holds is
// refused with a message (false, the record's name left empty): a cut name
// could name another file.
bool SetSysFileName(Sys& sys, const char* name);

inline bool IsSysLoaded(const Sys& sys) { return sys.fLoaded != 0; }

// Renumbers the blocks from the record's base to newBase (a negative value
// keeps the record's base): every point moves by the difference of the bases.
void ChangeBase(Sys& sys, int16_t newBase);
// Renumbers densely in order of first appearance from newBase. Returns the
// number of distinct points found.
unsigned CloseGaps(Block* blocks, uint32_t b, int16_t newBase);
// Sorts the points of each block and, unless pointsOnly, the blocks.
void SortBlocks(Block* blocks, uint32_t b, bool pointsOnly);

void PrintSysParams(const Sys& sys, bool newline);

// Values are compared as signed (16-bit parameters, 32-bit b); -1 for b or v1
// means unknown. Prints three lines when invalid and `report` is set.
bool CheckDesignParams(const DesignParams& p, int32_t b, int16_t v1, bool report);

} // namespace kovra
