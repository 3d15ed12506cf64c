// Loading and counting: the whole program on a large random design without
// ID line (kovra FILE -v54 -k7 -t3 -m7 -l1 -Q0 -q0: load, redundancy pass,
// complete coverage pass) against the floor, a minimal loop that reads the
// same file in large chunks, parses its numbers and bumps a saturating byte
// counter for each t-subset of each block.
//
// Figures: time per iteration; for the program also "x_loop", its time over
// the minimal loop's time measured in the same process. The size is the
// argument (blocks); KOVRA_BENCH_LOAD_BLOCKS replaces the large size. The
// Smoke size is what the test suite runs.
#include "app/entry.hpp"
#include "base/console.hpp"
#include "base/tempfile.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace kovra;

constexpr unsigned kV = 54, kK = 7, kT = 3;

// N blocks of kK distinct points out of 1..kV, ascending, one per line, from a
// fixed seed: the same file on every machine.
struct DesignFile {
  TempFile file;
  uint64_t blocks = 0;
};

DesignFile& FileOf(uint64_t blocks) {
  static std::map<uint64_t, std::unique_ptr<DesignFile>> cache;
  auto& slot = cache[blocks];
  if (slot) return *slot;
  slot = std::make_unique<DesignFile>();
  slot->blocks = blocks;
  if (!slot->file.Create("", ".txt")) std::abort();
  std::FILE* out = std::fopen(slot->file.path().c_str(), "w");
  if (out == nullptr) std::abort();
  uint64_t x = 0x9E3779B97F4A7C15u;
  for (uint64_t i = 0; i < blocks; ++i) {
    uint64_t used = 0;
    for (unsigned n = 0; n < kK;) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      const unsigned p = 1 + static_cast<unsigned>(x % kV);
      if ((used >> p) & 1u) continue;
      used |= uint64_t{1} << p;
      ++n;
    }
    const char* sep = "";
    for (unsigned p = 1; p <= kV; ++p)
      if ((used >> p) & 1u) {
        std::fprintf(out, "%s%u", sep, p);
        sep = " ";
      }
    std::fputc('\n', out);
  }
  if (std::fclose(out) != 0) std::abort();
  return *slot;
}

// The floor. Ranks by the combinatorial number system (index = sum of
// C(p_j - 1, j + 1) over the ascending members), a table look-up per member.
// Returns the blocks it counted.
uint64_t MinimalLoop(const char* path, std::vector<uint8_t>& counters) {
  static const auto binom = [] {
    std::vector<std::vector<uint64_t>> c(kV + 1, std::vector<uint64_t>(kT + 1, 0));
    for (unsigned n = 0; n <= kV; ++n) {
      c[n][0] = 1;
      for (unsigned j = 1; j <= kT && j <= n; ++j) c[n][j] = c[n - 1][j - 1] + c[n - 1][j];
    }
    return c;
  }();
  static const auto patterns = [] {
    std::vector<std::array<uint8_t, kT>> p;
    for (uint8_t a = 0; a < kK; ++a)
      for (uint8_t b = a + 1; b < kK; ++b)
        for (uint8_t c = b + 1; c < kK; ++c) p.push_back({a, b, c});
    return p;
  }();
  counters.assign(binom[kV][kT], 0);
  const int fd = open(path, O_RDONLY);
  if (fd < 0) return 0;
  std::vector<char> buf(1 << 20);
  unsigned pts[kK + 1];
  unsigned n = 0, value = 0;
  bool inNumber = false;
  uint64_t blocks = 0;
  for (;;) {
    const ssize_t got = read(fd, buf.data(), buf.size());
    if (got <= 0) break;
    for (ssize_t i = 0; i < got; ++i) {
      const char c = buf[static_cast<size_t>(i)];
      if (c >= '0' && c <= '9') {
        value = value * 10 + static_cast<unsigned>(c - '0');
        inNumber = true;
        continue;
      }
      if (inNumber && n <= kK) pts[n++] = value;
      inNumber = false;
      value = 0;
      if (c != '\n') continue;
      if (n == kK) {
        for (const auto& p : patterns) {
          const uint64_t idx =
              binom[pts[p[0]] - 1][1] + binom[pts[p[1]] - 1][2] + binom[pts[p[2]] - 1][3];
          counters[idx] += counters[idx] != 255;
        }
        ++blocks;
      }
      n = 0;
    }
  }
  close(fd);
  return blocks;
}

double SecondsOfLoop(const DesignFile& f) {
  std::vector<uint8_t> counters;
  double best = 1e30;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (MinimalLoop(f.file.path().c_str(), counters) != f.blocks) std::abort();
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

uint64_t SizeOf(const benchmark::State& state) {
  const char* env = std::getenv("KOVRA_BENCH_LOAD_BLOCKS");
  if (state.range(1) != 0 && env != nullptr && std::atoll(env) > 0)
    return static_cast<uint64_t>(std::atoll(env));
  return static_cast<uint64_t>(state.range(0));
}

void BM_MinimalLoop(benchmark::State& state) {
  const DesignFile& f = FileOf(SizeOf(state));
  std::vector<uint8_t> counters;
  for (auto _ : state)
    if (MinimalLoop(f.file.path().c_str(), counters) != f.blocks)
      state.SkipWithError("the loop lost blocks");
  state.SetLabel(std::to_string(f.blocks) + " blocks");
}

void BM_LoadAndTest(benchmark::State& state) {
  const DesignFile& f = FileOf(SizeOf(state));
  const double loopSeconds = SecondsOfLoop(f);
  const std::string blocksLine = "Blocks: " + std::to_string(f.blocks) + " ";
  const char* argv[] = {"kovra", f.file.path().c_str(), "-v54", "-k7", "-t3", "-m7", "-l1", "-Q0",
                        "-q0"};
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    ConsoleCapture cap;
    const int status = KovraMain(static_cast<int>(std::size(argv)), argv);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status > 1 || cap.out.find(blocksLine) == std::string::npos ||
        cap.out.find("TestRetCode: ") == std::string::npos)
      state.SkipWithError("the run did not load and test the whole design");
  }
  state.counters["x_loop"] =
      total / static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations())) /
      loopSeconds;
  state.SetLabel(std::to_string(f.blocks) + " blocks");
}

// Second argument 1: the size KOVRA_BENCH_LOAD_BLOCKS may replace.
BENCHMARK(BM_MinimalLoop)->Args({1000000, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndTest)->Args({1000000, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndTest)->Name("BM_Smoke_LoadAndTest")->Args({2000, 0});

} // namespace
