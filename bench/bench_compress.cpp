// Encoding and decoding of the two compressed formats on one large
// deterministic design (250,000 random 6-subsets of 49 points). Speeds are
// given over the design's own bytes, k * b (one byte per point, the BytesIn
// of the binary statistics line); the counters give the encoded sizes and
// the size of the same design as a plain text file. Each decode checks the
// blocks it got against the sorted design.
#include "base/console.hpp"
#include "design/sys.hpp"
#include "formats/cbin.hpp"
#include "formats/ctext.hpp"
#include "formats/textfmt.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace kovra;

constexpr unsigned kV = 49;
constexpr unsigned kK = 6;
constexpr uint32_t kB = 250000;

// b random k-subsets of 1..v from a fixed seed: the same design on every run.
Sys MakeDesign(unsigned v, unsigned k, uint32_t b, uint32_t seed) {
  Sys sys;
  sys.blocks = AllocBlocks(b, k);
  ParamsOf(sys) = DesignParams{static_cast<uint16_t>(v), static_cast<uint16_t>(k), 3,
                               static_cast<uint16_t>(k), 1};
  std::mt19937 rng(seed);
  std::vector<Point> points(v);
  std::iota(points.begin(), points.end(), Point{1});
  for (uint32_t i = 0; i < b; ++i) {
    // A partial Fisher-Yates shuffle picks k distinct points.
    for (unsigned j = 0; j < k; ++j) std::swap(points[j], points[j + rng() % (v - j)]);
    std::copy_n(points.data(), k, BlockAt(sys, i));
  }
  sys.b = b;
  return sys;
}

// The design, built once and sorted the way both writers leave it.
const Sys& Design() {
  static const Sys sys = [] {
    Sys s = MakeDesign(kV, kK, kB, 20240601);
    SortBlocks(s.blocks.get(), s.b, s.k, false);
    return s;
  }();
  return sys;
}

Sys CopyOf(const Sys& src) {
  Sys dst;
  dst.blocks = AllocBlocks(src.b, src.k);
  std::copy_n(src.blocks.get(), size_t{src.b} * src.k, dst.blocks.get());
  ParamsOf(dst) = src;
  dst.b = src.b;
  return dst;
}

std::string EncodeCText(Sys& sys) {
  char* buf = nullptr;
  size_t len = 0;
  std::FILE* f = open_memstream(&buf, &len);
  WriteCText(sys, f, 64, true);
  std::fclose(f);
  std::string text(buf, len);
  std::free(buf);
  return text;
}

size_t PlainTextSize(const Sys& sys) {
  char* buf = nullptr;
  size_t len = 0;
  std::FILE* f = open_memstream(&buf, &len);
  WriteIdHeader(f, IdLineOf(sys, sys.b), "");
  WriteBlockLines(sys.blocks.get(), sys.b, sys.k, f);
  std::fclose(f);
  std::free(buf);
  return len;
}

// A compressed binary file in memory, ID line first.
std::string EncodeCBin(Sys& sys, bool repeats) {
  char* buf = nullptr;
  size_t len = 0;
  std::FILE* f = open_memstream(&buf, &len);
  const bool ok = WriteCBin(sys, f, repeats);
  std::fclose(f);
  std::string file = ok ? std::string(buf, len) : std::string();
  std::free(buf);
  return file;
}

// The bit stream of a compressed binary file: its bytes behind the ID line.
std::string CBinData(const std::string& file) {
  return file.substr(std::min(file.size(), file.find('\n') + 1));
}

// Decodes a ctext file held in memory, ID line first.
uint32_t DecodeCText(const std::string& text, Point* blocks, const Sys& sys) {
  TextCursor cursor = CursorOver(text.data(), text.size());
  char line[LINE_BUFSIZE];
  ReadTextLine(line, cursor, false, true, true);
  return ReadCText(blocks, cursor, sys.v, sys.k, sys.b, 4, 2);
}

bool SameBlocks(const Point* a, const Sys& sys) {
  return std::equal(a, a + size_t{sys.b} * sys.k, sys.blocks.get());
}

void SetCounters(benchmark::State& state, const Sys& sys, size_t encoded) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * sys.k * sys.b);
  state.counters["blocks"] = sys.b;
  state.counters["encoded_bytes"] = static_cast<double>(encoded);
  state.counters["plain_bytes"] = static_cast<double>(PlainTextSize(sys));
}

void BM_CTextEncode(benchmark::State& state) {
  Sys sys = CopyOf(Design());
  size_t size = 0;
  for (auto _ : state) size = EncodeCText(sys).size();
  SetCounters(state, sys, size);
}
BENCHMARK(BM_CTextEncode)->Unit(benchmark::kMillisecond);

void BM_CTextDecode(benchmark::State& state) {
  Sys sys = CopyOf(Design());
  std::string text = EncodeCText(sys);
  BlockArray blocks = AllocBlocks(sys.b, sys.k);
  for (auto _ : state)
    if (DecodeCText(text, blocks.get(), sys) != sys.b) state.SkipWithError("ctext decode failed");
  if (!SameBlocks(blocks.get(), sys)) state.SkipWithError("ctext decode gave other blocks");
  SetCounters(state, sys, text.size());
}
BENCHMARK(BM_CTextDecode)->Unit(benchmark::kMillisecond);

void BM_CBinEncode(benchmark::State& state) {
  Sys sys = CopyOf(Design());
  size_t size = 0;
  for (auto _ : state) {
    ConsoleCapture quiet; // the statistics lines
    size = EncodeCBin(sys, true).size();
    if (size == 0) state.SkipWithError("cbin encode failed");
  }
  SetCounters(state, sys, size);
}
BENCHMARK(BM_CBinEncode)->Unit(benchmark::kMillisecond);

void BM_CBinDecode(benchmark::State& state) {
  Sys sys = CopyOf(Design());
  std::string file;
  {
    ConsoleCapture quiet;
    file = EncodeCBin(sys, true);
  }
  const std::string data = CBinData(file);
  BlockArray blocks = AllocBlocks(sys.b, sys.k);
  for (auto _ : state) {
    ConsoleCapture quiet;
    const uint32_t n = ReadCBin(blocks.get(), data.data(), data.size(), sys.v, sys.k, sys.b, 4, 2);
    if (n != sys.b) state.SkipWithError("cbin decode failed");
  }
  if (!SameBlocks(blocks.get(), sys)) state.SkipWithError("cbin decode gave other blocks");
  SetCounters(state, sys, file.size());
}
BENCHMARK(BM_CBinDecode)->Unit(benchmark::kMillisecond);

// A small design through both formats and back: the benchmarks build and
// still give the right blocks.
void BM_Smoke_CompressRoundTrip(benchmark::State& state) {
  Sys sys = MakeDesign(12, 4, 300, 7);
  SortBlocks(sys.blocks.get(), sys.b, sys.k, false);
  BlockArray blocks = AllocBlocks(sys.b, sys.k);
  for (auto _ : state) {
    ConsoleCapture quiet;
    const bool textOk =
        DecodeCText(EncodeCText(sys), blocks.get(), sys) == sys.b && SameBlocks(blocks.get(), sys);
    const std::string data = CBinData(EncodeCBin(sys, false));
    const bool binOk =
        !data.empty() &&
        ReadCBin(blocks.get(), data.data(), data.size(), sys.v, sys.k, sys.b, 4, 2) == sys.b &&
        SameBlocks(blocks.get(), sys);
    if (!textOk || !binOk) state.SkipWithError("compressed round trip changed the design");
  }
}
BENCHMARK(BM_Smoke_CompressRoundTrip);

} // namespace
