// Point sets of every width: the engine on projective planes and random
// coverings of 64, 128, 256 and 1024 points (one, two, four and sixteen
// 64-bit words), and one plane run in every width it fits, each run checking
// its answer. Figures: "per_tset" = the run's time / (b C(k,t)), the time
// per t-subset of a block, which the analysis marks and the m = t test
// reads back; for m = 3 the walk over the triples is added.
//
// - PG(2,q) for q = 7, 9, 13, 31 (57, 91, 183, 993 points): every pair on
//   exactly one line, t = m = 2 holds; t = 2, m = 3 holds too (three points
//   hold a pair).
// - Random coverings: b random 8-point blocks on v points, twice as many
//   block pairs as pairs of points; the losing pairs are counted from the
//   blocks here and compared.
#include "base/console.hpp"
#include "bench_designs.hpp"
#include "design/combinatorics.hpp"
#include "verify/engine.hpp"
#include "wheels.hpp"

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

namespace {

using namespace kovra;
using namespace kovra::benchdesigns;

struct Case {
  Design design;
  uint64_t losingPairs = 0; // from the blocks
};

Design PlaneDesign(unsigned q) {
  Design d;
  d.v = q * q + q + 1;
  d.k = q + 1;
  for (const auto& line : wheels::ProjectivePlaneRows(q))
    d.blocks.emplace_back(line.begin(), line.end());
  return d;
}

uint64_t LosingPairs(const Design& d) {
  std::vector<char> held(size_t{d.v + 1} * (d.v + 1), 0);
  for (const Points& b : d.blocks)
    for (const int x : b)
      for (const int y : b) held[size_t(x) * (d.v + 1) + size_t(y)] = 1;
  uint64_t losing = 0;
  for (unsigned x = 1; x <= d.v; ++x)
    for (unsigned y = x + 1; y <= d.v; ++y) losing += held[size_t{x} * (d.v + 1) + y] == 0;
  return losing;
}

const Case& Get(const std::string& name) {
  static std::map<std::string, std::unique_ptr<Case>> cache;
  auto& slot = cache[name];
  if (!slot) {
    slot = std::make_unique<Case>();
    if (name[0] == 'q') {
      slot->design = PlaneDesign(static_cast<unsigned>(std::stoul(name.substr(1))));
    } else {
      const unsigned v = static_cast<unsigned>(std::stoul(name.substr(1)));
      slot->design = RandomDesign(v, 8, static_cast<unsigned>(2 * Binomial(v, 2) / 28), v);
    }
    slot->losingPairs = LosingPairs(slot->design);
  }
  return *slot;
}

// The engine as the design run drives it on one thread, the complete pass
// alone; the losing count.
uint64_t RunEngine(const Design& d, uint16_t m, unsigned words) {
  AnalysisOptions opt;
  opt.skippers = SkipperSettings{0, 0};
  opt.words = words;
  ConsoleCapture quiet;
  TestContext ctx;
  const auto v = static_cast<uint16_t>(d.v), k = static_cast<uint16_t>(d.k);
  SetupAnalysis(ctx, DesignParams{v, k, 2, m, 1}, opt);
  const std::vector<Point> rows = ToBlocks(d);
  for (size_t i = 0; i < rows.size(); i += k) AnalyseBlock(ctx, &rows[i]);
  PrintTSetReport(ctx);
  if (m < k) SetupDerivedTest(ctx, DesignParams{v, m, 2, m, 1}, opt);
  TestDesign(ctx, "bench");
  return ctx.result.losingCount;
}

// name: "q7" (PG(2,7)) or "v256" (a random covering); m = 2 or 3; words:
// 0 for the fewest.
void BM_Width(benchmark::State& state, const char* name, uint16_t m, unsigned words) {
  const Case& c = Get(name);
  const Design& d = c.design;
  for (auto _ : state) {
    const uint64_t losing = RunEngine(d, m, words);
    if (m == 2 && losing != c.losingPairs) state.SkipWithError("another count of losing pairs");
    if (m == 3 && name[0] == 'q' && losing != 0) state.SkipWithError("a plane lost a triple");
  }
  const double tsets = static_cast<double>(d.blocks.size()) * static_cast<double>(Binomial(d.k, 2));
  state.counters["per_tset"] =
      benchmark::Counter(tsets * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["words"] = std::max(WordsFor(d.v), words);
  state.SetLabel(std::string(name[0] == 'q' ? "PG(2," + std::string(name + 1) + ")" : "random") +
                 " v=" + std::to_string(d.v) + " b=" + std::to_string(d.blocks.size()) +
                 " k=" + std::to_string(d.k));
}

BENCHMARK_CAPTURE(BM_Width, Plane64_m2, "q7", 2, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Width, Plane128_m2, "q9", 2, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Width, Plane256_m2, "q13", 2, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Width, Plane1024_m2, "q31", 2, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Width, Plane64_m3, "q7", 3, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Width, Plane128_m3, "q9", 3, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Width, Plane256_m3, "q13", 3, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Width, Plane1024_m3, "q31", 3, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Width, Random64_m2, "v64", 2, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Width, Random128_m2, "v128", 2, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Width, Random256_m2, "v256", 2, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Width, Random1024_m2, "v1024", 2, 0)->Unit(benchmark::kMillisecond);
// One plane in every width: what the words themselves cost.
BENCHMARK_CAPTURE(BM_Width, Plane64_m3_in2words, "q7", 3, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Width, Plane64_m3_in4words, "q7", 3, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Width, Plane64_m3_in16words, "q7", 3, 16)->Unit(benchmark::kMillisecond);

void BM_Smoke_Widths(benchmark::State& state) {
  for (auto _ : state)
    if (RunEngine(Get("q13").design, 2, 0) != 0 || RunEngine(Get("q7").design, 3, 16) != 0)
      state.SkipWithError("a plane lost");
}
BENCHMARK(BM_Smoke_Widths);

} // namespace
