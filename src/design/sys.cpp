// Operations on a design in memory.
#include "design/sys.hpp"

#include "base/console.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kovra {

void BlockArrayFree::operator()(Block* p) const { std::free(p); }

BlockArray AllocBlocks(uint64_t n) {
  if (n == 0 || n > SIZE_MAX / sizeof(Block)) return nullptr;
  return BlockArray(static_cast<Block*>(std::calloc(static_cast<size_t>(n), sizeof(Block))));
}

bool SetSysFileName(Sys& sys, const char* name) {
  if (name == nullptr) name = "";
  if (std::strlen(name) > static_cast<size_t>(FNAME_CAPACITY)) {
    DualPrint("Err: file name longer than %d characters: %s\n", FNAME_CAPACITY, name);
    sys.szFileName[0] = '\0';
    return false;
  }
  std::snprintf(sys.szFileName, sizeof sys.szFileName, "%s", name);
  return true;
}

void ChangeBase(Sys& sys, int16_t newBase) {
  if (newBase < 0) newBase = static_cast<int16_t>(sys.base);
  // Point p of the old base becomes p - base + newBase, in byte arithmetic.
  // (Mapping the smallest point present to the new base instead would
  // renumber a design that does not use its first point: its losing
  // combinations would then be printed, and its blocks written, under other
  // numbers than the file's.)
  const auto delta = static_cast<uint8_t>(static_cast<unsigned>(newBase) - sys.base);
  sys.base = static_cast<uint16_t>(newBase);
  if (delta == 0 || !sys.blocks || sys.b == 0) return;
  const unsigned k = std::min<unsigned>(BlockK(sys.blocks[0]), MAX_K);
  for (uint32_t i = 0; i < sys.b; ++i)
    for (unsigned j = 0; j < k; ++j)
      sys.blocks[i].pt[j] = static_cast<uint8_t>(sys.blocks[i].pt[j] + delta);
}

unsigned CloseGaps(Block* blocks, uint32_t b, int16_t newBase) {
  if (blocks == nullptr || b == 0) return 0;
  const unsigned k = BlockK(blocks[0]);
  unsigned entry[256] = {};
  unsigned count = 0;
  for (uint32_t i = 0; i < b; ++i)
    for (unsigned j = 0; j < k; ++j)
      if (entry[blocks[i].pt[j]] == 0) entry[blocks[i].pt[j]] = ++count;
  for (uint32_t i = 0; i < b; ++i)
    for (unsigned j = 0; j < k; ++j)
      blocks[i].pt[j] =
          static_cast<uint8_t>(static_cast<unsigned>(newBase) + entry[blocks[i].pt[j]] - 1);
  return count;
}

void SortBlocks(Block* blocks, uint32_t b, bool pointsOnly) {
  if (blocks == nullptr || b == 0) return;
  const unsigned k = std::min<unsigned>(BlockK(blocks[0]), 7);
  for (uint32_t i = 0; i < b; ++i) std::sort(blocks[i].pt, blocks[i].pt + k);
  if (!pointsOnly) {
    std::sort(blocks, blocks + b, [](const Block& x, const Block& y) {
      return std::memcmp(x.pt, y.pt, sizeof x.pt) < 0;
    });
    SetBlockK(blocks[0], k);
  }
}

void PrintSysParams(const Sys& sys, bool newline) {
  DualPrint("v=%d,k=%d,t=%d,m=%d,l=%d,b=%lu%s", sys.v, sys.k, sys.t, sys.m, sys.l,
            static_cast<unsigned long>(sys.b), newline ? "\n" : "");
}

bool CheckDesignParams(const DesignParams& p, int32_t b, int16_t v1, bool report) {
  // Compared as signed 16-bit numbers, as the values have always been.
  const auto v = static_cast<int16_t>(p.v), k = static_cast<int16_t>(p.k),
             t = static_cast<int16_t>(p.t), m = static_cast<int16_t>(p.m),
             l = static_cast<int16_t>(p.l);
  const bool invalid = k < 1 || k > MAX_K || v < k || v > MAX_V || t < 1 || k < t || m < t ||
                       m > MAX_M || l < 1 || (b != -1 && b < 1) || (v1 != -1 && (v1 < 1 || v < v1));
  if (invalid && report) {
    DualPrint("Err: invalid design parameters v=%hd,k=%hd,t=%hd,m=%hd,l=%hd,b=%ld,v1=%hd.\n", v, k,
              t, m, l, static_cast<long>(b), v1);
    DualPrint("     All values must be >= 1. ");
    if (t > m)
      DualPrint("t or m invalid: t must be <= m\n");
    else if (t > k)
      DualPrint("t or k invalid: t must be <= k\n");
    else if (v < k)
      DualPrint("v or k invalid: v must be >= k\n");
    else
      DualPrint("Check limits and ranges.\n");
  }
  return !invalid;
}

} // namespace kovra
