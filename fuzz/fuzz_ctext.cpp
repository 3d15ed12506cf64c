// Fuzz target for the compressed text reader: the input arrives as a user's
// file would, through the loader (with the name-given flag clear, and set
// with -g1 for a file without ID line), and is also handed to ReadCText
// directly after a minimal reading of its first line. A design read
// successfully must hold valid blocks and survive a write-read round trip.
#include "base/console.hpp"
#include "common.hpp"
#include "compressed_input.hpp"
#include "formats/ctext.hpp"
#include "formats/textfmt.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace kovra;
using namespace kovra_fuzz;

void ThroughTheLoader(const char* path, const uint8_t* data, size_t size) {
  if (!SafeForLoader(data, size)) return;
  LoadQuietly(path, LoadParams{}, false, 1);
  // A ctext file without ID line, loaded with -g1 and v, k from its header.
  char line[LINE_BUFSIZE] = {};
  std::memcpy(line, data, size < sizeof line - 1 ? size : sizeof line - 1);
  if (IsIdLine(line) || !IsDataLine(line)) return;
  const CompressedParams p = ParamsFromCTextHeader(line);
  LoadParams io;
  io.v = p.v;
  io.k = p.k;
  io.t = io.m = io.l = 1;
  LoadQuietly(path, io, true, 1);
}

// Writes the blocks again and reads them back: the same blocks must return.
void RoundTrip(const Point* blocks, uint32_t b, uint16_t v, uint16_t k) {
  Sys sys;
  if (!SysFromBlocks(sys, blocks, b, v, k)) return;
  char* written = nullptr;
  size_t size = 0;
  std::FILE* f = open_memstream(&written, &size);
  if (f == nullptr) return;
  const bool ok = WriteCText(sys, f, 64, true);
  std::fclose(f);
  const std::string text(written, size);
  std::free(written);
  if (!ok) std::abort();
  TextCursor cursor = CursorOver(text.data(), text.size());
  char line[LINE_BUFSIZE];
  ReadTextLine(line, cursor, false, true, true); // the ID line
  BlockArray again = AllocBlocks(b, k);
  if (ReadCText(again.get(), cursor, v, k, b, 4, 2) != b) std::abort();
  if (std::memcmp(again.get(), blocks, size_t{b} * k * sizeof(Point)) != 0) std::abort();
}

void Directly(const uint8_t* data, size_t size) {
  const TextCursor start = CursorOver(reinterpret_cast<const char*>(data), size);
  TextCursor text = start;
  char line[LINE_BUFSIZE];
  CompressedParams p;
  if (!ReadTextLine(line, text, false, true, true)) return;
  if (IsIdLine(line)) {
    p = ParamsFromIdLine(line);
  } else {
    p = ParamsFromCTextHeader(line);
    p.cei = 2;
    text = start;
  }
  if (p.b > kMaxFuzzBlocks) return;
  BlockArray blocks = AllocBlocks(p.b == 0 ? 1 : p.b, std::clamp<unsigned>(p.k, 1, MAX_K));
  const uint32_t n = ReadCText(blocks.get(), text, p.v, p.k, p.b, p.chi, p.cei);
  if (n != 0 && n != p.b) std::abort();
  if (n != 0) {
    CheckBlocks(blocks.get(), n, p.v, p.k);
    RoundTrip(blocks.get(), n, p.v, p.k);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ConsoleCapture quiet; // the readers' messages are expected; keep them off the terminal
  TempInput input(data, size);
  ThroughTheLoader(input.path(), data, size);
  Directly(data, size);
  return 0;
}
