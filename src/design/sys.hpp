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

struct Sys {
  uint16_t v = 1;
  uint16_t k = 1;
  uint16_t t = 1;
  uint16_t m = 1;
  uint16_t l = 1;
  uint16_t base = 1;    // base the block array is numbered in now
  uint16_t x = 2;       // written into the x column of the ID line
  uint32_t b = 0;       // blocks in the array
  uint32_t ulAlloc = 0; // blocks the array was made for
  uint8_t fSorted = 0;
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

Sys& InitSys(Sys& sys);
// Frees the block array. (The record itself is owned by its holder.)
void FreeSys(Sys& sys);
bool AllocSys(Sys& sys, uint32_t n, unsigned k);
Sys& SetSysParams(Sys& sys, uint16_t v, uint16_t k, uint16_t t, uint16_t m, uint16_t l);
inline bool IsSysLoaded(const Sys& sys) { return sys.fLoaded != 0; }
bool CopySys(Sys& dst, const Sys& src);
bool AppendSys(Sys& dst, const Sys& src);

// Renumbers the blocks from the record's base to newBase (a negative value
// keeps the record's base): every point moves by the difference of the bases.
void ChangeBase(Sys& sys, int16_t newBase);
// Renumbers so that the smallest point present becomes newBase (or densely,
// with closeGaps), whatever base the points were in.
void ShiftPoints(Block* blocks, uint32_t b, int16_t newBase, bool closeGaps);
// Renumbers densely in order of first appearance from newBase. Returns the
// number of distinct points found.
unsigned CloseGaps(Block* blocks, uint32_t b, int16_t newBase);
bool SortBlocks(Block* blocks, uint32_t b, bool pointsOnly);

// Every block replaced by its s-subsets in lexicographic order of positions.
// Null when k < s, the count is 0, memory is short, or limit != 0 and < count.
BlockArray ExplodeBlocks(const Block* blocks, uint32_t b, unsigned s, uint32_t* newCount,
                         uint64_t limit);
bool ExplodeSys(Sys& sys, unsigned s);

void PrintSysParams(const Sys& sys, bool newline);

// Values are compared as signed (16-bit parameters, 32-bit b); -1 for b or v1
// means unknown. Prints three lines when invalid and `report` is set.
bool CheckDesignParams(int16_t v, int16_t k, int16_t t, int16_t m, int16_t l, int32_t b, int16_t v1,
                       bool report);

} // namespace kovra
