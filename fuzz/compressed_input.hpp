// Helpers of the two compressed-format fuzz targets: a minimal reading of
// the ID line (so the readers can be driven directly), a screen that keeps
// the loader away from inputs that would make it allocate gigabytes or open
// other files, and the checks every successfully read design must pass.
#pragma once

#include "base/fatal.hpp"
#include "design/sys.hpp"
#include "formats/loader.hpp"
#include "formats/textfmt.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kovra_fuzz {

// Largest block count the targets let anything allocate: far more than any
// input the fuzzer makes can hold, so "b far beyond the file" is covered.
inline constexpr uint32_t kMaxFuzzBlocks = 1u << 15;

// The numbers of a line as the ID line reader takes them: from the first
// digit on, tokens split on blank, TAB, CR, LF, ",", "/" and ".", while they
// start with a digit. Values saturate; the first `capacity` are stored.
// Returns the number of tokens, stored or not.
inline int LineNumbers(const char* p, uint64_t* out, int capacity) {
  while (*p != '\0' && (*p < '0' || *p > '9')) ++p;
  int n = 0;
  while (*p >= '0' && *p <= '9') {
    uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
      value = value > (UINT64_MAX - 9) / 10 ? UINT64_MAX : value * 10 + unsigned(*p - '0');
    if (n < capacity) out[n] = value;
    ++n;
    while (*p != '\0' && std::strchr(" \t\r\n,/.", *p) == nullptr) ++p; // rest of the token
    while (*p != '\0' && std::strchr(" \t\r\n,/.", *p) != nullptr) ++p;
  }
  return n;
}

// What the readers need from an ID line (or a ctext header line).
struct CompressedParams {
  uint16_t v = 0;
  uint16_t k = 0;
  uint32_t b = 0;
  uint32_t chi = 4;
  uint32_t cei = 2;
};

inline bool IsIdLine(const char* line) { return kovra::IsKeyword(kovra::SkipLead(line), "ID "); }

// The ID line's v, b, k, CHI and CEI, cut to their widths and normalised.
inline CompressedParams ParamsFromIdLine(const char* line) {
  uint64_t n[16] = {1, 0, 1, 1, 0, 0, 1, 1, 1, 2, 1, 0, 4, 2, 64, 1};
  LineNumbers(kovra::SkipLead(line), n, 16);
  CompressedParams p;
  p.v = static_cast<uint16_t>(n[0]);
  p.b = static_cast<uint32_t>(n[1]);
  p.k = static_cast<uint16_t>(n[2]);
  p.chi = n[12] < 4 ? 4 : static_cast<uint32_t>(n[12]);
  p.cei = n[13] < 2 ? 2 : static_cast<uint32_t>(n[13]);
  return p;
}

// The header items of a ctext file without ID line: CHI, b, v, k.
inline CompressedParams ParamsFromCTextHeader(const char* line) {
  uint64_t n[4] = {0, 0, 0, 0};
  LineNumbers(line, n, 4);
  CompressedParams p;
  p.chi = static_cast<uint32_t>(n[0]);
  p.b = static_cast<uint32_t>(n[1]);
  p.v = static_cast<uint16_t>(n[2]);
  p.k = static_cast<uint16_t>(n[3]);
  return p;
}

// False when the loader could be asked for more than kMaxFuzzBlocks blocks
// (an ID line's b or a ctext header's b) or to open another file ("load").
inline bool SafeForLoader(const uint8_t* data, size_t size) {
  char line[kovra::LINE_BUFSIZE];
  size_t pos = 0;
  bool firstDataLine = true;
  while (pos < size) {
    size_t len = 0;
    while (pos < size && len + 1 < sizeof line) {
      const char c = static_cast<char>(data[pos++]);
      line[len++] = c == '\0' ? ' ' : c;
      if (c == '\n') break;
    }
    line[len] = '\0';
    for (size_t i = 0; i + 4 <= len; ++i)
      if (kovra::IsKeyword(line + i, "load")) return false;
    uint64_t n[2] = {0, 0};
    if (IsIdLine(line)) {
      if (LineNumbers(kovra::SkipLead(line), n, 2) >= 2 && n[1] > kMaxFuzzBlocks) return false;
    } else if (firstDataLine && kovra::IsDataLine(line)) {
      firstDataLine = false;
      if (LineNumbers(line, n, 2) >= 2 && n[1] > kMaxFuzzBlocks) return false;
    }
  }
  return true;
}

// Every block a reader reports as read: points ascending within 1..v.
// Anything else is a bug.
inline void CheckBlocks(const kovra::Point* blocks, uint32_t b, unsigned v, unsigned k) {
  for (uint32_t i = 0; i < b; ++i) {
    unsigned previous = 0;
    for (unsigned j = 0; j < k; ++j) {
      const unsigned p = blocks[size_t{i} * k + j];
      if (p <= previous || p > v) std::abort();
      previous = p;
    }
  }
}

// A design holding a copy of the blocks a reader gave, for writing them again.
inline bool SysFromBlocks(kovra::Sys& sys, const kovra::Point* blocks, uint32_t b, uint16_t v,
                          uint16_t k) {
  sys.blocks = kovra::AllocBlocks(b, k);
  if (!sys.blocks) return false;
  std::memcpy(sys.blocks.get(), blocks, size_t{b} * k * sizeof(kovra::Point));
  sys.b = b;
  kovra::ParamsOf(sys) = kovra::DesignParams{v, k, 1, 1, 1};
  return true;
}

// Loads `path` through the loader, as a user's file arrives; a malformed
// plain file ends the load through ErrExit, which is expected here.
inline void LoadQuietly(const char* path, kovra::LoadParams io, bool nameGiven, uint8_t kind) {
  try {
    kovra::BlockArray blocks = kovra::SysLoad(path, io, nameGiven, kind, false, false);
  } catch (const kovra::FatalExit&) {
  }
}

} // namespace kovra_fuzz
