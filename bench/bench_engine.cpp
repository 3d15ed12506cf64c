// The coverage test: the engine's walk against the plain walk of
// reference_walk.hpp on the same counters, each run checking its verdict and
// its count of losing combinations against a count made from the blocks.
//
// Figures: time per iteration, and "per_comb" = time / C(v, m), the cost per
// combination of the pass. The plain walk over C(54,7) would take minutes, so
// for that design it times a sample of runs spread over the whole order
// (set KOVRA_BENCH_FULL_PLAIN=1 to walk it whole).
#include "base/console.hpp"
#include "bench_designs.hpp"
#include "design/combinatorics.hpp"
#include "reference_walk.hpp"
#include "verify/engine.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

using namespace kovra;
using namespace kovra::benchdesigns;

struct Prepared {
  std::string name;
  Design design;
  TestContext ctx;
  uint64_t combs = 0;
  uint64_t expectLosing = 0; // from the blocks, independently of the counters
};

// Analyses the design into its counters with the complete pass chosen
// (-Q0 -q0) and every losing combination counted.
std::unique_ptr<Prepared> Prepare(std::string name, Design d, uint16_t t, uint16_t m) {
  auto p = std::make_unique<Prepared>();
  p->name = std::move(name);
  p->design = std::move(d);
  AnalysisOptions opt;
  opt.ulMaxLosing = 2147483647u;
  opt.skippers = SkipperSettings{0, 0};
  const auto v = static_cast<uint16_t>(p->design.v), k = static_cast<uint16_t>(p->design.k);
  SetupAnalysis(p->ctx, DesignParams{v, k, t, m, 1}, opt);
  const std::vector<Point> rows = ToBlocks(p->design);
  for (size_t i = 0; i < rows.size(); i += k) AnalyseBlock(p->ctx, &rows[i]);
  p->combs = Binomial(v, m);
  p->expectLosing = CountLosingFromBlocks(p->design, t, m);
  return p;
}

enum Which { kWheel163, kWheel162, kRandom, kPigeonhole, kWhichCount };

Prepared& Get(Which w) {
  static std::unique_ptr<Prepared> cache[kWhichCount];
  if (!cache[w]) {
    switch (w) {
    case kWheel163:
      cache[w] = Prepare("C(49,6,3,6) 163 blocks",
                         ReadPublic("C49_6_3_6_1_b163_lotto_valid.txt", 0), 3, 6);
      break;
    case kWheel162:
      cache[w] = Prepare("C(49,6,3,6) 162 blocks",
                         ReadPublic("C49_6_3_6_1_b162_lotto_FAIL462.txt", 0), 3, 6);
      break;
    case kRandom:
      cache[w] = Prepare("random C(40,6,3,6) 150 blocks", RandomDesign(40, 6, 150, 2024), 3, 6);
      break;
    default: {
      Design d = PigeonholeDesign54();
      if (!GroupsFullyCovered(d)) std::abort();
      cache[w] = Prepare("pigeonhole C(54,7,3,7)", std::move(d), 3, 7);
      break;
    }
    }
  }
  return *cache[w];
}

size_t CountLosingLines(const std::string& out) {
  size_t n = 0;
  for (size_t at = out.find("LOSING"); at != std::string::npos; at = out.find("LOSING", at + 1))
    ++n;
  return n;
}

void SetPerComb(benchmark::State& state, uint64_t combs) {
  state.counters["per_comb"] =
      benchmark::Counter(static_cast<double>(combs), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

// The engine: the whole test (head, masks, complete pass, verdict) on the
// given number of threads.
void RunFast(benchmark::State& state, Which w, unsigned threads) {
  Prepared& p = Get(w);
  p.ctx.options.threads = threads;
  for (auto _ : state) {
    ConsoleCapture cap;
    const bool ok = TestDesign(p.ctx, "bench");
    if (ok != (p.expectLosing == 0) || CountLosingLines(cap.out) != p.expectLosing)
      state.SkipWithError("verdict differs from the count made from the blocks");
  }
  state.SetLabel(p.name + ", losing " + std::to_string(p.expectLosing));
  SetPerComb(state, p.combs);
}

void BM_Fast(benchmark::State& state, Which w) { RunFast(state, w, 1); }

// The argument is the number of threads.
void BM_FastThreads(benchmark::State& state, Which w) {
  RunFast(state, w, static_cast<unsigned>(state.range(0)));
}

// The plain walk of every combination.
void BM_Plain(benchmark::State& state, Which w) {
  Prepared& p = Get(w);
  for (auto _ : state) {
    ConsoleCapture cap;
    uint64_t combs = 0, losing = 0;
    const bool ok = reference::MultiPassTestPlain(p.ctx, &combs, &losing);
    if (ok != (p.expectLosing == 0) || losing != p.expectLosing)
      state.SkipWithError("verdict differs from the count made from the blocks");
  }
  state.SetLabel(p.name);
  SetPerComb(state, p.combs);
}

BENCHMARK_CAPTURE(BM_Fast, Wheel163, kWheel163)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Plain, Wheel163, kWheel163)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_Fast, Wheel162All462, kWheel162)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Plain, Wheel162All462, kWheel162)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_Fast, RandomFailing, kRandom)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Plain, RandomFailing, kRandom)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_Fast, Pigeonhole54, kPigeonhole)->Unit(benchmark::kMillisecond);
// The default of every usable processor against one thread on both sizes of
// classic walk: the wheel's (below the threshold for threads) and the
// pigeonhole's.
BENCHMARK_CAPTURE(BM_FastThreads, Wheel163, kWheel163)
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FastThreads, Pigeonhole54, kPigeonhole)
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The plain walk on C(54,7): runs of consecutive combinations from starting
// points spread evenly over the lexicographic order, so that the sample
// meets every kind of prefix; per_comb is per walked combination.
void BM_PlainSample_Pigeonhole54(benchmark::State& state) {
  Prepared& p = Get(kPigeonhole);
  const char* full = std::getenv("KOVRA_BENCH_FULL_PLAIN");
  if (full != nullptr && full[0] == '1') {
    BM_Plain(state, kPigeonhole);
    return;
  }
  constexpr uint64_t kStarts = 256, kRun = 4096;
  uint64_t walked = 0;
  for (auto _ : state) {
    walked = 0;
    uint64_t losing = 0;
    for (uint64_t i = 0; i < kStarts; ++i) {
      Point first[9] = {};
      UnrankComb(1 + i * (p.combs / kStarts), p.design.v, 7, first + 1);
      walked += reference::CountLosingPlain(p.ctx, first, kRun, &losing);
    }
    if (losing != 0) state.SkipWithError("the passing design lost a combination");
  }
  state.SetLabel(p.name + ", sample of " + std::to_string(walked) + " combinations");
  SetPerComb(state, walked);
}
BENCHMARK(BM_PlainSample_Pigeonhole54)->Unit(benchmark::kMillisecond);

// The skipper passes 7 down to 3 that a 49-point design runs by default.
void BM_DefaultPasses(benchmark::State& state, bool plain) {
  Prepared& p = Get(kWheel163);
  TestContext& ctx = p.ctx;
  ctx.options.skippers.ulSkipperHigh = 7;
  ctx.options.skippers.ulSkipperLow = 3;
  for (auto _ : state) {
    ConsoleCapture cap;
    uint64_t combs = 0, losing = 0;
    const bool ok = plain ? reference::MultiPassTestPlain(ctx, &combs, &losing)
                          : MultiPassTest(ctx, &combs, &losing);
    if (!ok) state.SkipWithError("a skipper pass lost a combination of a covering");
  }
  ctx.options.skippers.ulSkipperHigh = 0;
  ctx.options.skippers.ulSkipperLow = 0;
  state.SetLabel(p.name + ", skippers 7..3");
}
BENCHMARK_CAPTURE(BM_DefaultPasses, Fast, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DefaultPasses, Plain, true)->Unit(benchmark::kMillisecond);

// One small design through both walks, for the test suite's smoke run.
void BM_Smoke_Engine(benchmark::State& state) {
  const Design d = RandomDesign(16, 6, 25, 7);
  const uint64_t expect = CountLosingFromBlocks(d, 3, 6);
  TestContext ctx;
  AnalysisOptions opt;
  opt.ulMaxLosing = 2147483647u;
  opt.skippers = SkipperSettings{2, 0};
  SetupAnalysis(ctx, DesignParams{16, 6, 3, 6, 1}, opt);
  const std::vector<Point> rows = ToBlocks(d);
  for (size_t i = 0; i < rows.size(); i += d.k) AnalyseBlock(ctx, &rows[i]);
  for (auto _ : state) {
    ConsoleCapture cap;
    uint64_t combs = 0, fast = 0, plain = 0;
    MultiPassTest(ctx, &combs, &fast);
    reference::MultiPassTestPlain(ctx, &combs, &plain);
    if (fast != expect || plain != expect) state.SkipWithError("losing counts differ");
  }
}
BENCHMARK(BM_Smoke_Engine);

} // namespace
