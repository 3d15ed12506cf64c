// The compressed text format (ctext, -g1): rank differences as decimal items.
//
// Both compressed encodings store a design the same way: the blocks sorted,
// each replaced by its lexicographic rank among the k-subsets of 1..v, and
// only the differences of consecutive ranks kept (the first difference is the
// first rank itself), closed by two checksums. For v = 5, k = 2 and the blocks
// {1,2} {1,3} {2,4} {3,5} the ranks are 1 2 6 9, the differences 1 1 4 3,
// CS1 = 1+2+6+9 = 18 and CS2 = 1+1+4+3 = 9; with repeats the ctext items are
// 4,4,5,2,1^2,4,3,18,9 (header 4,b,v,k first). The walker and the decoder
// below are shared with the compressed binary format (cbin.hpp).
#pragma once

#include "base/limits.hpp"
#include "design/combinatorics.hpp"
#include "design/sys.hpp"
#include "formats/textfmt.hpp"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kovra {

// The checksums are sums in wrapping 32-bit arithmetic, reduced modulo this
// number (not 65536) when they are written or compared.
inline constexpr uint32_t CHECKSUM_MODULUS = 65556;

// Header and end items the readers accept (the writers use 4 and 2).
inline constexpr uint32_t MIN_HDR_ITEMS = 4;
inline constexpr uint32_t MAX_HDR_ITEMS = 31;
inline constexpr uint32_t MIN_END_ITEMS = 2;
inline constexpr uint32_t MAX_END_ITEMS = 31;

// Writes the ID line and the items of `sys` (whose blocks end up sorted).
// Refuses a line length outside 32..224 with a message before writing
// anything; fails silently on a block that has no rank (a point outside 1..v
// in base 1, or a point repeated), leaving what was written to the caller.
// An error of the stream itself stays on the stream: the caller, who owns
// the file, reports it with its cause (a full disk, a file-size limit).
bool WriteCText(Sys& sys, std::FILE* stream, uint32_t cll, bool cfExp);

// Writes `line` with a line end once it has reached `threshold` characters
// (or whenever `final`, dropping a trailing ","), then empties it.
void FlushCTextLine(std::FILE* stream, std::string& line, size_t threshold, bool final);

// Reads b blocks from the item lines at the text's position into `blocks`
// (room for exactly b; nothing is written past them). Returns b, or 0 after
// printing why not; returns 0 silently when CHI or CEI is out of 4..31 / 2..31
// or v, k cannot describe a design (k outside 1..MAX_K, v outside k..MAX_V).
uint32_t ReadCText(Point* blocks, TextCursor& text, uint16_t v, uint16_t k, uint32_t b,
                   uint32_t chi, uint32_t cei);

// The same into an array that grows as blocks are decoded (see GrowBlocks),
// so that a file claiming more blocks than its data holds costs only what it
// holds. Throws std::bad_alloc when memory runs short.
uint32_t ReadCText(BlockArray& blocks, TextCursor& text, uint16_t v, uint16_t k, uint32_t b,
                   uint32_t chi, uint32_t cei);

// ---- Shared by both compressed encodings ---------------------------------

// Both encodings carry ranks and their sums in 32 bits: a design whose
// k-subsets of v points number 2^32 or more cannot be stored in them.
bool CompressedRanksFit(unsigned v, unsigned k);

// Prints why a design of v points and blocks of k cannot go into (or come
// from) a compressed file, and that plain text can carry it.
void PrintRanksDoNotFit(unsigned v, unsigned k);

// The checksums of one design as written (before the reduction).
struct RankSums {
  uint32_t cs1 = 0; // sum of the ranks
  uint32_t cs2 = 0; // sum of the differences
};

// Calls emitRun(difference, count) for each maximal run of equal consecutive
// rank differences of the sorted blocks, in order; count >= 1. The points are
// taken in `base` (converted to 1..v). Returns false at the first block that
// has no rank (a point outside 1..v, a point not above its predecessor) or a
// rank below the previous one; only the runs completed before it are emitted.
template <typename EmitRun>
bool ForEachRankRun(const Point* blocks, uint32_t b, unsigned v, unsigned k, unsigned base,
                    RankSums& sums, EmitRun&& emitRun);

// Turns running ranks back into blocks, guarding every rank.
struct RankDecoder {
  Point* blocks = nullptr;       // rows of k points
  uint32_t capacity = 0;         // blocks the design has
  BlockArray* growing = nullptr; // when set, blocks is its array, grown as blocks come
  uint64_t room = 0;             // rows the growing array has now
  uint32_t count = 0;            // blocks decoded so far
  unsigned v = 0;
  unsigned k = 0;
  uint64_t maxRank = 0; // C(v, k)
  uint64_t rank = 0;    // running rank
  uint64_t badRank = 0; // the rank that failed the check
  bool rankError = false;
  RankSums sums;
  // binom[n (k + 1) + j] = C(n, j) for the unranking loop.
  std::vector<uint64_t> binom;
};

// False when v and k cannot describe a design the readers may fill. With
// `growing` the blocks go to that array (which may be empty), grown as needed.
bool InitRankDecoder(RankDecoder& dec, Point* blocks, uint32_t capacity, unsigned v, unsigned k,
                     BlockArray* growing = nullptr);

// Adds the difference d to the running rank and writes the block of that rank
// at position `count`. Requires count < capacity. Returns false (setting
// rankError and badRank, writing nothing) when the rank would be 0 or above
// C(v, k): a file whose checksums pass can still carry such a rank, and its
// block would hold points outside 1..v. A growing array that cannot grow
// throws std::bad_alloc.
bool DecodeRankDiff(RankDecoder& dec, uint64_t d);

// Appends `count` copies of the last block decoded (a run of differences 0,
// as "0^n" or a repeat code gives it) in one step, with the checksums they
// add. Requires dec.count > 0 and count <= capacity - dec.count.
void RepeatLastBlock(RankDecoder& dec, uint64_t count);

// What a reader found, for the checks both readers end with.
struct ReadOutcome {
  uint64_t hdrItems = 0; // header item count, b, v and k as the data gave them
  uint64_t hdrB = 0;
  uint64_t hdrV = 0;
  uint64_t hdrK = 0;
  uint64_t blocksRead = 0; // may be b + 1 when a repeat ran past the end
  uint64_t cs1File = 1;    // 1 when the item never came
  uint64_t cs2File = 1;
};

// The readers' closing checks in their order: header items, b, v, k, the
// rank guard, the block count, CS1, CS2. Prints the first failure's message
// and returns false; true when all pass.
bool CheckCompressedRead(const RankDecoder& dec, const ReadOutcome& got, uint32_t chi, uint32_t b,
                         uint16_t v, uint16_t k);

// The data value the block gives: its rank, with points checked and moved to
// base 1. 0 when the block has none.
uint64_t RankOfBlock(const RankTable& table, const Point* block, unsigned base);

template <typename EmitRun>
bool ForEachRankRun(const Point* blocks, uint32_t b, unsigned v, unsigned k, unsigned base,
                    RankSums& sums, EmitRun&& emitRun) {
  if (k < 1 || k > MAX_K || v < k || v > MAX_V || !CompressedRanksFit(v, k)) return false;
  RankTable table; // k (v + 1) words, once per design
  InitRankTable(table, v, k);
  uint64_t previous = 0;
  uint64_t runValue = 0;
  uint64_t runLength = 0;
  for (uint32_t j = 0; j < b; ++j) {
    const uint64_t r = RankOfBlock(table, blocks + size_t{j} * k, base);
    if (r == 0 || r < previous) return false;
    const uint64_t d = r - previous;
    sums.cs1 += static_cast<uint32_t>(r);
    sums.cs2 += static_cast<uint32_t>(d);
    previous = r;
    if (runLength != 0 && d == runValue) {
      ++runLength;
      continue;
    }
    if (runLength != 0) emitRun(runValue, runLength);
    runValue = d;
    runLength = 1;
  }
  if (runLength != 0) emitRun(runValue, runLength);
  return true;
}

} // namespace kovra
