// Fuzz target: the design loader on a file holding the input (both header
// scans, the plain block reader, close-gaps and "load" lines), with the
// fatal exit unwinding instead of ending the process.
//
// Input: three option bytes, then the file. Byte 0: bit 0 name-given flag
// (line-count scan), bits 1-2 the expected compression kind, bit 3 close-gaps,
// bit 4 the new-style name run flag, bit 5 a memory bound of 4 KiB, bit 6 k
// taken from the data. Bytes 1 and 2: v and k given
// with the name-given flag (t = m = l = 1).
//
// Inputs the target skips, so that a run measures the loader and not the
// machine: a "load" line naming a path with "/" (the file lives alone in a
// private directory, so every other name resolves there: itself, "." or a
// missing file), and an ID line or compressed-text header asking for more
// than kMaxFuzzBlocks blocks (the loader allocates them before reading).
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "formats/idline.hpp"
#include "formats/loader.hpp"
#include "formats/textfmt.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr uint32_t kMaxFuzzBlocks = 1u << 16;

// A directory of this process's own, removed at exit.
const char* Dir() {
  static char dir[] = "/tmp/kovra-fuzz-loader-XXXXXX";
  static const int registered = mkdtemp(dir) == nullptr ? -1 : std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  });
  if (registered != 0) std::abort();
  return dir;
}

// Reads the file the way the loader does and tells whether it stays within
// the private directory and within the block cap.
bool Acceptable(const uint8_t* data, size_t size) {
  kovra::TextCursor text = kovra::CursorOver(reinterpret_cast<const char*>(data), size);
  char line[kovra::LINE_BUFSIZE];
  bool ok = true;
  while (ok && kovra::ReadTextLine(line, text, false, true, true)) {
    const char* p = kovra::SkipLead(line);
    if (kovra::IsKeyword(p, "load")) {
      ok = std::strchr(p, '/') == nullptr;
    } else if (kovra::IsKeyword(p, "ID ")) {
      kovra::IdRecord id;
      kovra::ParseIdLine(id, p, true, nullptr, false);
      ok = id.b <= kMaxFuzzBlocks;
    } else {
      uint32_t chi = 0, b = 0;
      ok = !kovra::SniffCTextHeader(p, chi, b) || b <= kMaxFuzzBlocks;
    }
  }
  return ok;
}

// What every array the loader hands out must satisfy.
void CheckResult(const kovra::Point* blocks, const kovra::LoadParams& io) {
  if (blocks == nullptr) return;
  if (io.b == 0 || io.k == 0 || io.k > kovra::MAX_K) __builtin_trap();
  const unsigned low = io.base, high = io.base + io.v - 1u;
  for (uint32_t i = 0; i < io.b; ++i) {
    const kovra::Point* row = blocks + size_t{i} * io.k;
    for (unsigned j = 0; j < io.k; ++j) {
      if (row[j] < low || row[j] > high) __builtin_trap();
      for (unsigned q = 0; q < j; ++q)
        if (row[q] == row[j]) __builtin_trap();
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t options = data[0];
  const std::string path = std::string(Dir()) + "/input";
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    std::fwrite(data + 3, 1, size - 3, f);
    std::fclose(f);
  }
  if (Acceptable(data + 3, size - 3)) {
    kovra::LoadParams io;
    const bool nameGiven = (options & 1) != 0;
    if (nameGiven) {
      io.v = data[1];
      io.k = data[2];
      io.t = io.m = io.l = 1;
    }
    const auto kind = static_cast<uint8_t>((options >> 1) & 3);
    io.kOpen = (options & 64) != 0;
    const bool closeGaps = (options & 8) != 0;
    const bool newScheme = (options & 16) != 0;
    kovra::ConsoleCapture quiet;
    try {
      const kovra::BlockArray blocks = kovra::SysLoad(path.c_str(), io, nameGiven, kind, closeGaps,
                                                      newScheme, (options & 32) != 0 ? 4096 : 0);
      CheckResult(blocks.get(), io);
      // Nothing beyond the bound is handed out.
      if (blocks && (options & 32) != 0 && uint64_t{io.b} * io.k * sizeof(kovra::Point) > 4096)
        __builtin_trap();
    } catch (const kovra::FatalExit&) {
    }
  }
  std::remove(path.c_str());
  return 0;
}
