// Designs beyond the classic limits: the whole engine run against the plainest
// loops that give the same answer, each run checking its answer.
//
// - m = t: S(5,8,24) blown up by groups of 4 points, C(96,32,5) with 759
//   blocks: 153 million block 5-subsets over C(96,5) = 61 million 5-sets. The
//   engine (setup, the analysis of every block with its redundancy check, the
//   test) against one bit marked per block 5-subset and the clear bits
//   counted.
// - m > t: the complete walk (-Q0 -q0, every losing m-set printed and
//   counted) of a 5-of-69 lotto wheel that holds and of a 70-number design
//   that loses 14^5 draws, against the walk over every m-set that scans every
//   block with a popcount on the two 64-bit words of a 70-point set
//   (reference_walk.hpp).
//
// The ratios are engine time / reference time of one run. Peak memory of the
// same runs through the program: bench/peak_rss.sh.
#include "base/console.hpp"
#include "bench_designs.hpp"
#include "design/combinatorics.hpp"
#include "reference_walk.hpp"
#include "verify/engine.hpp"

#include <benchmark/benchmark.h>

#include <bit>
#include <map>
#include <memory>
#include <string>

namespace {

using namespace kovra;
using namespace kovra::benchdesigns;

constexpr uint32_t kAll = 2147483647u;

// A committed design with the parameters it runs with and its losing count,
// known from its construction (and checked by brute force when it was made).
struct Case {
  const char* name;
  const char* file; // below tests/data/
  uint16_t t, m, l;
  uint64_t losing;
};

const Case kBlownUp = {
    "C(96,32,5) 759 blocks", "wide/C96_32_5_5_1_b759_S5_8_24_by_4.txt", 5, 5, 1, 0};
const Case kWheel69 = {"C(69,5,2,5) 71 blocks", "wide/C69_5_2_5_1_b71_lotto_2if5.txt", 2, 5, 1, 0};
const Case kGroups70 = {
    "C(70,5,2,5) 60 blocks", "wide/C70_5_2_5_1_b60_five_groups_FAIL537824.txt", 2, 5, 1, 537824};
const Case kOctads = {"S(5,8,24)", "wide/C24_8_5_5_1_b759_S5_8_24.txt", 5, 5, 1, 0};
const Case kPlane16 = {"PG(2,7) -l16", "wide/C57_8_1_2_15_b57_PG2_7.txt", 1, 2, 16, 1596};

size_t CountLosingLines(const std::string& out) {
  size_t n = 0;
  for (size_t at = out.find("LOSING"); at != std::string::npos; at = out.find("LOSING", at + 1))
    ++n;
  return n;
}

struct EngineRun {
  bool ok = false;
  uint64_t losing = 0;   // LOSING lines printed
  uint32_t accepted = 0; // blocks the analysis kept
};

// The engine as the design run drives it (m < k tests the derived design),
// every losing combination printed, the complete pass alone. `ctx` keeps
// the analysed design.
EngineRun RunEngine(TestContext& ctx, const Design& d, const Case& c) {
  AnalysisOptions opt;
  opt.ulMaxLosing = kAll;
  opt.skippers = SkipperSettings{0, 0};
  ConsoleCapture cap;
  const auto v = static_cast<uint16_t>(d.v), k = static_cast<uint16_t>(d.k);
  SetupAnalysis(ctx, DesignParams{v, k, c.t, c.m, c.l}, opt);
  const std::vector<Point> rows = ToBlocks(d);
  EngineRun r;
  for (size_t i = 0; i < rows.size(); i += k) r.accepted += AnalyseBlock(ctx, &rows[i]);
  PrintTSetReport(ctx);
  if (c.m < k) SetupDerivedTest(ctx, DesignParams{v, c.m, c.t, c.m, c.l}, opt);
  r.ok = TestDesign(ctx, "bench");
  r.losing = CountLosingLines(cap.out);
  return r;
}

// The simplest m = t = 5 check: a bit per 5-subset of 1..v (colex rank),
// marked from every 5-subset of every block, and the bits left clear counted.
uint64_t ClearBitsAfterMarking(const Design& d) {
  uint64_t c[129][6] = {};
  for (unsigned n = 0; n <= d.v; ++n) {
    c[n][0] = 1;
    for (unsigned r = 1; r <= 5 && n > 0; ++r) c[n][r] = c[n - 1][r - 1] + c[n - 1][r];
  }
  const uint64_t total = c[d.v][5];
  std::vector<uint64_t> bits(total / 64 + 1, 0);
  for (const Points& b : d.blocks) {
    const size_t k = b.size();
    for (size_t i1 = 0; i1 < k; ++i1) {
      const uint64_t r1 = c[b[i1] - 1][1];
      for (size_t i2 = i1 + 1; i2 < k; ++i2) {
        const uint64_t r2 = r1 + c[b[i2] - 1][2];
        for (size_t i3 = i2 + 1; i3 < k; ++i3) {
          const uint64_t r3 = r2 + c[b[i3] - 1][3];
          for (size_t i4 = i3 + 1; i4 < k; ++i4) {
            const uint64_t r4 = r3 + c[b[i4] - 1][4];
            for (size_t i5 = i4 + 1; i5 < k; ++i5) {
              const uint64_t r = r4 + c[b[i5] - 1][5];
              bits[r >> 6] |= uint64_t{1} << (r & 63);
            }
          }
        }
      }
    }
  }
  uint64_t set = 0;
  for (const uint64_t w : bits) set += static_cast<uint64_t>(std::popcount(w));
  return total - set;
}

struct Loaded {
  Design design;
  TestContext ctx; // analysed once, for the plain walk
};

Loaded& Load(const Case& c) {
  static std::map<const Case*, std::unique_ptr<Loaded>> cache;
  auto& slot = cache[&c];
  if (!slot) {
    slot = std::make_unique<Loaded>();
    slot->design = ReadData(c.file, 1);
    RunEngine(slot->ctx, slot->design, c);
  }
  return *slot;
}

// Each run checked against the known count: true when it agrees.
bool EngineAgrees(const Case& c) {
  const Loaded& l = Load(c);
  TestContext ctx;
  const EngineRun r = RunEngine(ctx, l.design, c);
  return r.ok == (c.losing == 0) && r.losing == c.losing && r.accepted == l.design.blocks.size();
}

bool BitsAgree(const Case& c) { return ClearBitsAfterMarking(Load(c).design) == c.losing; }

bool PlainWalkAgrees(const Case& c) {
  const Loaded& l = Load(c);
  const uint64_t combs = Binomial(l.design.v, c.m);
  Point first[MAX_M + 1] = {};
  for (unsigned i = 1; i <= c.m; ++i) first[i] = static_cast<Point>(i);
  uint64_t losing = 0;
  return reference::CountLosingPlain(l.ctx, first, combs, &losing) == combs && losing == c.losing;
}

void BM_Wide(benchmark::State& state, bool (*run)(const Case&), const Case* c) {
  Load(*c);
  for (auto _ : state)
    if (!run(*c)) state.SkipWithError("the count differs from the one the construction gives");
  state.SetLabel(std::string(c->name) + ", losing " + std::to_string(c->losing));
}

BENCHMARK_CAPTURE(BM_Wide, Engine_BlownUpS5824, EngineAgrees, &kBlownUp)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Wide, MarkBits_BlownUpS5824, BitsAgree, &kBlownUp)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Wide, Engine_Wheel69, EngineAgrees, &kWheel69)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Wide, PlainWalk_Wheel69, PlainWalkAgrees, &kWheel69)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_Wide, Engine_Groups70, EngineAgrees, &kGroups70)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Wide, PlainWalk_Groups70, PlainWalkAgrees, &kGroups70)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The smallest sizes, for the test suite's smoke run: m = t on S(5,8,24)
// against the bits, and m > t with l = 16 on PG(2,7) (every pair meets 15
// lines: all 1596 lose) against the plain walk.
void BM_Smoke_Wide(benchmark::State& state) {
  for (auto _ : state) {
    if (!EngineAgrees(kOctads) || !BitsAgree(kOctads) || !EngineAgrees(kPlane16) ||
        !PlainWalkAgrees(kPlane16))
      state.SkipWithError("a count differs from the one the construction gives");
  }
}
BENCHMARK(BM_Smoke_Wide);

} // namespace
