// Fuzz target: the reader of block designs in XML, on text held in memory,
// and a round trip of what it reads through the writer.
//
// Input: two option bytes, then the text. Byte 0: the design to read (0..3);
// byte 1: bit 0 a memory bound of 4 KiB instead of 1 MiB.
#include "base/console.hpp"
#include "formats/xmldesign.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Reads design `index` of the text; false when the reader refused it.
bool Read(const char* text, size_t size, uint32_t index, uint64_t bound, kovra::LoadParams& io,
          kovra::BlockArray& blocks) {
  io = kovra::LoadParams{};
  io.design = index;
  kovra::TextCursor cursor = kovra::CursorOver(text, size);
  kovra::XmlFault fault;
  if (kovra::ReadXmlDesign(cursor, io, bound, blocks, fault)) return true;
  if (fault.code == kovra::BLK_OK || fault.text.empty()) __builtin_trap();
  return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t index = data[0] & 3u;
  const uint64_t bound = (data[1] & 1) != 0 ? 4096 : 1u << 20;
  const char* text = reinterpret_cast<const char*>(data + 2);
  kovra::ConsoleCapture quiet;
  kovra::TextCursor cursor = kovra::CursorOver(text, size - 2);
  static_cast<void>(kovra::StartsXml(cursor));
  uint32_t count = 0;
  kovra::XmlFault fault;
  const bool counted = kovra::CountXmlDesigns(cursor, bound, count, fault);
  kovra::LoadParams io;
  kovra::BlockArray blocks;
  if (!Read(text, size - 2, index, bound, io, blocks)) return 0;
  // What it hands out: design `index` of `count`, b rows of k distinct
  // points of 0..v-1 within the bound.
  if (!counted || index >= count || io.b == 0 || io.k == 0 || io.base != 0 ||
      uint64_t{io.b} * io.k * sizeof(kovra::Point) > bound)
    __builtin_trap();
  const kovra::Point* points = blocks.get();
  for (uint32_t i = 0; i < io.b; ++i) {
    std::vector<kovra::Point> row(points + size_t{i} * io.k, points + size_t{i + 1} * io.k);
    std::sort(row.begin(), row.end());
    if (row.back() >= io.v || std::adjacent_find(row.begin(), row.end()) != row.end())
      __builtin_trap();
  }
  // Written out and read again: the same blocks in the same order.
  kovra::Sys sys;
  kovra::ParamsOf(sys) = io;
  sys.base = 0;
  sys.b = io.b;
  sys.blocks = std::move(blocks);
  char* buf = nullptr;
  size_t len = 0;
  std::FILE* out = ::open_memstream(&buf, &len);
  if (out == nullptr) return 0;
  const bool written = kovra::WriteXmlDesign(sys, out);
  std::fclose(out);
  kovra::LoadParams again;
  kovra::BlockArray back;
  const bool read = written && Read(buf, len, 0, UINT64_MAX / 4, again, back);
  if (!read || again.v != io.v || again.k != io.k || again.b != io.b ||
      !std::equal(back.get(), back.get() + size_t{io.b} * io.k, sys.blocks.get()))
    __builtin_trap();
  std::free(buf);
  return 0;
}
