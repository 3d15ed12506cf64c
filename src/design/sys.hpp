// A design in memory: its parameters and its block array.
//
// The blocks are b rows of k points each, one after another in one array
// (row i starts at i * k). A point (base/limits.hpp) is a 16-bit number in
// the design's current base, so that every base 0..201 and every v up to 1024
// fit.
#pragma once

#include "base/limits.hpp"
#include "base/settings.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kovra {

struct PointArrayFree {
  void operator()(Point* p) const;
};
using BlockArray = std::unique_ptr<Point[], PointArrayFree>;

// Room for `blocks` rows of k points, zero-filled, or null when memory is
// short (or the size does not fit the address space). The memory comes from
// the system already zeroed and is touched only where blocks are written, so
// a file that claims far more blocks than it holds costs address space, not
// time or resident memory, before its reader finds out.
BlockArray AllocBlocks(uint64_t blocks, unsigned k);

// Makes room for at least `rows` rows of k points in an array that has `room`
// rows now (null with room 0 to start one): it grows to twice its room (at
// least 4096 rows), but never beyond `most` rows unless `rows` asks for more,
// so that a reader that grows it as blocks arrive holds about what it read,
// not what a file claims. The rows held are kept; new rows are not zeroed.
// False, the array unchanged, when memory is short.
bool GrowBlocks(BlockArray& blocks, uint64_t& room, uint64_t rows, uint64_t most, unsigned k);

struct Sys : DesignParams {
  Sys() : DesignParams{1, 1, 1, 1, 1} {}
  uint16_t base = 1;    // base the block array is numbered in now
  uint16_t x = 2;       // written into the x column of the ID line
  uint32_t b = 0;       // blocks in the array
  uint32_t ulAlloc = 0; // blocks the array was made for
  BlockArray blocks;    // b rows of k points
  char szFileName[FNAME_CAPACITY + 1] = {};
  uint8_t fLoaded = 0;
  uint8_t fNewFNameScheme = 0; // this run's copy of -f2
  uint8_t fIdLine = 0;         // the file's ID line gave the parameters
  uint8_t fKFromData = 0;      // k is the size of the file's blocks, given by nobody
  uint8_t fVFromData = 0;      // v is the file's own without an ID line (XML)
  CmdGiven given;
  // -z: the number point p (base 1) had in the file is fileNumbers[p - 1];
  // empty when the points kept their numbers.
  std::vector<Point> fileNumbers;
};

// Copies `name` into sys.szFileName. A name longer than the record holds is
// refused with a message (false, the record's name left empty): a cut name
// could name another file.
bool SetSysFileName(Sys& sys, const char* name);

// Row i of the block array.
inline Point* BlockAt(Sys& sys, uint32_t i) { return sys.blocks.get() + size_t{i} * sys.k; }
inline const Point* BlockAt(const Sys& sys, uint32_t i) {
  return sys.blocks.get() + size_t{i} * sys.k;
}

inline bool IsSysLoaded(const Sys& sys) { return sys.fLoaded != 0; }

// Renumbers the blocks from the record's base to newBase (a negative value
// keeps the record's base): every point moves by the difference of the bases.
void ChangeBase(Sys& sys, int16_t newBase);
// Renumbers the b rows of k points densely from newBase, in the order of
// their numbers (the smallest number present becomes newBase). Points must
// be at most MAX_N. Returns the number of distinct points found.
unsigned CloseGaps(Point* blocks, uint32_t b, unsigned k, int16_t newBase);

// While an instance lives, CloseGaps on this thread records here the number
// each point had before: original[i] for the point newBase + i. The loader
// closes the gaps deep inside; -z, whose outputs speak of the points by
// the file's numbers, takes the numbers from here.
class ClosedGapsRecord {
public:
  ClosedGapsRecord();
  ~ClosedGapsRecord();
  ClosedGapsRecord(const ClosedGapsRecord&) = delete;
  ClosedGapsRecord& operator=(const ClosedGapsRecord&) = delete;

  std::vector<Point> original;

private:
  ClosedGapsRecord* previous_;
};
// Sorts the points of each row and, unless pointsOnly, the rows (as tuples).
void SortBlocks(Point* blocks, uint32_t b, unsigned k, bool pointsOnly);

void PrintSysParams(const Sys& sys, bool newline);

// False when a parameter (or b, unless -1) is above its compiled limit;
// prints "Err: k = 33 is above the limit 32." for each when `report` is set.
bool ParamsWithinLimits(const DesignParams& p, int64_t b, bool report);

// The limits first (above), then the relations, compared as signed 16-bit
// parameters; -1 for b or v1 means unknown. Prints the reason when invalid
// and `report` is set.
bool CheckDesignParams(const DesignParams& p, int64_t b, int16_t v1, bool report);

} // namespace kovra
