// Fuzz target: the reader of designs written as one nested list (JSON arrays,
// JSON objects with "blocks", GAP lists), on text held in memory.
//
// Input: two option bytes, then the text. Byte 0: k given (0: k from the
// first block); byte 1: bit 0 a memory bound of 4 KiB instead of 1 MiB.
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "formats/nestedlist.hpp"

#include <algorithm>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  kovra::LoadParams io;
  io.v = 100;
  io.k = data[0];
  io.kOpen = data[0] == 0;
  io.t = io.m = io.l = 1;
  const uint64_t bound = (data[1] & 1) != 0 ? 4096 : 1u << 20;
  const char* text = reinterpret_cast<const char*>(data + 2);
  kovra::TextCursor cursor = kovra::CursorOver(text, size - 2);
  kovra::ConsoleCapture quiet;
  // Whether it starts a list or not, the reader must cope with what follows.
  static_cast<void>(kovra::StartsNestedList(cursor));
  kovra::BlockArray blocks;
  kovra::NestedListFault fault;
  if (!kovra::ReadNestedList(cursor, io, bound, blocks, fault)) {
    if (fault.code == kovra::BLK_OK && !fault.overBound) __builtin_trap();
    return 0;
  }
  // What it hands out: b rows of k distinct points within the bound.
  if (io.b == 0) return 0;
  if (io.k == 0 || io.k > kovra::MAX_K || uint64_t{io.b} * io.k * sizeof(kovra::Point) > bound)
    __builtin_trap();
  for (uint32_t i = 0; i < io.b; ++i) {
    kovra::Point row[kovra::MAX_K];
    std::copy_n(blocks.get() + size_t{i} * io.k, io.k, row);
    std::sort(row, row + io.k);
    if (std::adjacent_find(row, row + io.k) != row + io.k) __builtin_trap();
  }
  return 0;
}
