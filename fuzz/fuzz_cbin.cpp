// Fuzz target for the compressed binary reader: the input arrives as a
// user's file would, through the loader, and is also handed to ReadCBin
// directly with the parameters of its first line and the data offset after
// it. A design read successfully must hold valid blocks and survive a
// write-read round trip.
#include "base/console.hpp"
#include "common.hpp"
#include "compressed_input.hpp"
#include "formats/cbin.hpp"
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
  LoadQuietly(path, LoadParams{}, false, 2);
}

// Writes the blocks again and reads them back: the same blocks must return.
void RoundTrip(const Point* blocks, uint32_t b, uint16_t v, uint16_t k) {
  Sys sys;
  if (!SysFromBlocks(sys, blocks, b, v, k)) return;
  char* text = nullptr;
  size_t length = 0;
  std::FILE* out = open_memstream(&text, &length);
  if (out == nullptr || !WriteCBin(sys, out, true) || std::fclose(out) != 0) std::abort();
  const std::string written(text, length);
  std::free(text);
  const size_t offset = written.find('\n');
  if (offset == std::string::npos) std::abort();
  BlockArray again = AllocBlocks(b, k);
  if (ReadCBin(again.get(), written.data() + offset + 1, written.size() - offset - 1, v, k, b, 4,
               2) != b)
    std::abort();
  if (std::memcmp(again.get(), blocks, size_t{b} * k * sizeof(Point)) != 0) std::abort();
}

void Directly(const uint8_t* data, size_t size) {
  // As the loader does: the first line, up to 255 characters through its LF;
  // the stream starts after it.
  size_t offset = 0;
  while (offset < size && offset < LINE_BUFSIZE - 1)
    if (data[offset++] == '\n') break;
  const std::string line(reinterpret_cast<const char*>(data), offset);
  if (offset == 0 || !IsIdLine(line.c_str())) return;
  const CompressedParams p = ParamsFromIdLine(line.c_str());
  if (p.b > kMaxFuzzBlocks) return;
  BlockArray blocks = AllocBlocks(p.b == 0 ? 1 : p.b, std::clamp<unsigned>(p.k, 1, MAX_K));
  const auto* stream = reinterpret_cast<const char*>(data) + offset;
  const uint32_t n = ReadCBin(blocks.get(), stream, size - offset, p.v, p.k, p.b, p.chi, p.cei);
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
