// Fuzz target: the ID line reader with its file-name check, the general
// number-line reader and the compressed-text header test, on one text.
//
// Input: a path, a newline, then the line. Every number of the ID line must
// arrive whole (or as its documented reading), or be refused as too large:
// no number is ever cut to its low bits. The ID line read is written back
// with WriteIdHeader and must read back to the same 16 values.
#include "base/console.hpp"
#include "compressed_input.hpp"
#include "formats/idline.hpp"
#include "formats/loader.hpp"
#include "formats/textfmt.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// The ID line of the header WriteIdHeader writes (after the column line of a
// plain header, alone for a compressed one).
std::string WrittenIdLine(const kovra::IdRecord& id) {
  char* text = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  Require(out != nullptr);
  kovra::WriteIdHeader(out, id, "fuzz");
  std::fclose(out);
  const std::string header(text, size);
  std::free(text);
  const size_t at = header.rfind("ID ", 0) == 0 ? 0 : header.find("\nID ") + 1;
  Require(header.compare(at, 3, "ID ") == 0);
  return header.substr(at, header.find('\n', at) - at);
}

// Each column's value as the record holds it, and the largest it can hold.
uint64_t Held(const kovra::IdRecord& id, int column) {
  const uint64_t held[16] = {id.v, id.b, id.k,    id.v1,    id.w1,  id.w2,  id.t,   id.m,
                             id.L, id.x, id.Base, id.bCmpr, id.CHI, id.CEI, id.CLL, id.CfExp};
  return held[column];
}
constexpr uint64_t kWidth[16] = {
    UINT16_MAX, UINT32_MAX, UINT16_MAX, UINT64_MAX, UINT16_MAX, UINT16_MAX, UINT16_MAX, UINT16_MAX,
    UINT16_MAX, UINT16_MAX, UINT16_MAX, UINT8_MAX,  UINT32_MAX, UINT32_MAX, UINT32_MAX, UINT64_MAX};

// No wrap: a number beyond its column's width is refused, and every other
// one is held as written or as its documented reading.
void CheckNothingWraps(const kovra::IdRecord& id, const std::string& line, int count) {
  uint64_t n[16] = {};
  Require(kovra_fuzz::LineNumbers(line.c_str(), n, 16) == count);
  bool tooLarge = false;
  for (int c = 0; c < count && c < 16; ++c) tooLarge = tooLarge || n[c] > kWidth[c];
  Require(id.tooLarge == tooLarge);
  if (tooLarge) return;
  for (int c = 0; c < count && c < 16; ++c) {
    uint64_t want = n[c];
    if (c == 3 && (want == 0 || want > id.v)) want = id.v;
    if ((c == 6 || c == 7) && want == 0) continue; // filled from the file name
    if (c == 8 && want == 0) want = 1;
    if (c == 10 && id.bCmpr != 0) want = 1;
    if (c == 12 && want < 4) want = 4;
    if (c == 13 && want < 2) want = 2;
    if (c == 15) want = want != 0 ? 1 : 0;
    Require(Held(id, c) == want);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t newline = input.find('\n');
  const std::string path = newline == std::string::npos ? std::string() : input.substr(0, newline);
  const std::string line = newline == std::string::npos ? input : input.substr(newline + 1);

  kovra::ConsoleCapture quiet;
  kovra::IdRecord id;
  const int count = kovra::ParseIdLine(id, line.c_str(), true, path.c_str(), false);
  Require(count >= 0);
  CheckNothingWraps(id, line, count);
  if (count > 0 && !id.tooLarge) {
    Require(id.v1 <= id.v && (id.v1 != 0 || id.v == 0));
    Require(id.L >= 1 && id.CHI >= 4 && id.CEI >= 2 && id.CfExp <= 1);
    Require(id.bCmpr == 0 || id.Base == 1);
    // The line written reads back to the same 16 values, so to the same line.
    const std::string written = WrittenIdLine(id);
    kovra::IdRecord back;
    Require(kovra::ParseIdLine(back, written.c_str(), true, nullptr, false) == 16);
    Require(WrittenIdLine(back) == written);
  }

  int32_t numbers[8];
  bool overflow = false;
  const int n = kovra::ReadNumberLine(numbers, 8, line.c_str(), &overflow);
  Require(n >= 0 && n <= 8 && (!overflow || n == 8));
  for (int i = 0; i < n; ++i) Require(numbers[i] >= -1); // a negative number reads as -1

  uint32_t chi = 0, b = 0;
  kovra::SniffCTextHeader(line.c_str(), chi, b);
  return 0;
}
