// Operations on a design in memory.
#include "design/sys.hpp"

#include "base/console.hpp"
#include "design/combinatorics.hpp"

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

Sys& InitSys(Sys& sys) {
  sys = Sys{};
  return sys;
}

void FreeSys(Sys& sys) {
  sys.blocks.reset();
  sys.fLoaded = 0;
}

bool AllocSys(Sys& sys, uint32_t n, unsigned k) {
  sys.blocks.reset();
  sys.b = 0;
  sys.ulAlloc = 0;
  sys.szFileName[0] = '\0';
  sys.fLoaded = 0;
  sys.k = 0;
  if (k > MAX_K) return false;
  sys.k = static_cast<uint16_t>(k);
  sys.blocks = AllocBlocks(n);
  if (!sys.blocks) return false;
  sys.ulAlloc = n;
  sys.fLoaded = 1;
  return true;
}

Sys& SetSysParams(Sys& sys, uint16_t v, uint16_t k, uint16_t t, uint16_t m, uint16_t l) {
  sys.v = v;
  sys.k = k;
  sys.t = t;
  sys.m = m;
  sys.l = l;
  return sys;
}

bool AppendSys(Sys& dst, const Sys& src) {
  if (src.k != dst.k) {
    DualPrint("Err! AppendSys: different k's\n");
    return false;
  }
  const uint64_t total = static_cast<uint64_t>(dst.b) + src.b;
  if (total > UINT32_MAX) return false;
  BlockArray merged = AllocBlocks(total);
  if (!merged) return false;
  if (dst.blocks && dst.b != 0) std::memcpy(merged.get(), dst.blocks.get(), dst.b * sizeof(Block));
  if (src.blocks && src.b != 0)
    std::memcpy(merged.get() + dst.b, src.blocks.get(), src.b * sizeof(Block));
  SetBlockK(merged[0], dst.k);
  dst.blocks = std::move(merged);
  dst.b = static_cast<uint32_t>(total);
  return true;
}

bool CopySys(Sys& dst, const Sys& src) {
  // A failed step shows up later, when ExplodeSys finds nothing loaded.
  if (AllocSys(dst, src.b, src.k)) AppendSys(dst, src);
  SetSysParams(dst, src.v, src.k, src.t, src.m, src.l);
  return true;
}

void ChangeBase(Sys& sys, int16_t newBase) {
  if (newBase < 0) newBase = static_cast<int16_t>(sys.base);
  // Point p of the old base becomes p - base + newBase, in byte arithmetic.
  // (ShiftPoints would map the smallest point present to the new base, which
  // renumbers a design that does not use its first point: its losing
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

void ShiftPoints(Block* blocks, uint32_t b, int16_t newBase, bool closeGaps) {
  if (blocks == nullptr || b == 0) return;
  if (closeGaps) {
    CloseGaps(blocks, b, newBase);
    return;
  }
  const unsigned k = BlockK(blocks[0]);
  unsigned smallest = 256;
  for (uint32_t i = 0; i < b && smallest != 0; ++i)
    for (unsigned j = 0; j < k; ++j) smallest = std::min<unsigned>(smallest, blocks[i].pt[j]);
  if (smallest == 256) return;
  // Byte arithmetic: the smallest point present becomes the new base.
  const auto delta = static_cast<uint8_t>(static_cast<unsigned>(newBase) - smallest);
  for (uint32_t i = 0; i < b; ++i)
    for (unsigned j = 0; j < k; ++j)
      blocks[i].pt[j] = static_cast<uint8_t>(blocks[i].pt[j] + delta);
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

bool SortBlocks(Block* blocks, uint32_t b, bool pointsOnly) {
  if (blocks == nullptr || b == 0) return true;
  const unsigned k = std::min<unsigned>(BlockK(blocks[0]), 7);
  for (uint32_t i = 0; i < b; ++i) std::sort(blocks[i].pt, blocks[i].pt + k);
  if (!pointsOnly) {
    std::sort(blocks, blocks + b, [](const Block& x, const Block& y) {
      return std::memcmp(x.pt, y.pt, sizeof x.pt) < 0;
    });
    SetBlockK(blocks[0], k);
  }
  return true;
}

BlockArray ExplodeBlocks(const Block* blocks, uint32_t b, unsigned s, uint32_t* newCount,
                         uint64_t limit) {
  if (blocks == nullptr || b == 0) return nullptr;
  const unsigned k = BlockK(blocks[0]);
  if (k < s || k > MAX_K) return nullptr;
  const uint64_t n = static_cast<uint64_t>(b) * Binomial(k, s);
  if (n == 0 || n > UINT32_MAX || (limit != 0 && limit < n)) return nullptr;
  BlockArray out = AllocBlocks(n);
  if (!out) return nullptr;
  uint64_t next = 0;
  uint8_t pos[8];
  for (uint32_t i = 0; i < b; ++i) {
    FirstComb(pos, s, 0, k, true, sizeof pos);
    do {
      for (unsigned j = 0; j < s; ++j) out[next].pt[j] = blocks[i].pt[pos[j]];
      ++next;
    } while (NextComb(pos, s, 0, k, true));
  }
  SetBlockK(out[0], s);
  if (newCount != nullptr) *newCount = static_cast<uint32_t>(n);
  return out;
}

bool ExplodeSys(Sys& sys, unsigned s) {
  if (sys.b == 0 || !sys.blocks || sys.k < s || !IsSysLoaded(sys)) return false;
  if (s == sys.k) return true;
  uint32_t n = 0;
  BlockArray exploded = ExplodeBlocks(sys.blocks.get(), sys.b, s, &n, 0);
  if (!exploded) return false;
  sys.blocks = std::move(exploded);
  sys.b = n;
  sys.ulAlloc = n;
  sys.k = static_cast<uint16_t>(s);
  if (sys.t > s) sys.t = static_cast<uint16_t>(s);
  if (sys.m > s) sys.m = static_cast<uint16_t>(s);
  return true;
}

void PrintSysParams(const Sys& sys, bool newline) {
  DualPrint("v=%d,k=%d,t=%d,m=%d,l=%d,b=%lu%s", sys.v, sys.k, sys.t, sys.m, sys.l,
            static_cast<unsigned long>(sys.b), newline ? "\n" : "");
}

bool CheckDesignParams(int16_t v, int16_t k, int16_t t, int16_t m, int16_t l, int32_t b, int16_t v1,
                       bool report) {
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
