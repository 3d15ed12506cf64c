// The canonical form (--canonical: nauty on the point-block incidence graph,
// with the exact group order) against the coverage test of the same design,
// each run checking its answer: S(5,8,24) and PG(2,7) (their groups are
// known), a C(70,4,3) covering built greedily (about 15,000 blocks) and the
// sample wheel C(49,6,3,6,1) with 168 blocks. The ratio asked for is
// canonical time / test time of one run.
#include "base/console.hpp"
#include "bench_designs.hpp"
#include "symmetry/canonical.hpp"
#include "verify/engine.hpp"

#include <benchmark/benchmark.h>

#include <array>
#include <map>
#include <memory>

namespace {

using namespace kovra;
using namespace kovra::benchdesigns;

struct Case {
  const char* name;
  uint16_t t, m, l;
  const char* automorphisms; // the known group order, or "" when not known
};

const Case kOctads = {"S(5,8,24)", 5, 5, 1, "244823040"};
const Case kPlane = {"PG(2,7)", 2, 2, 1, "5630688"};
const Case kCover70 = {"C(70,4,3) greedy", 3, 3, 1, ""};
const Case kWheel = {"sample wheel C(49,6,3,6,1)", 3, 6, 1, ""};

// Every triple of 1..70 in a block of four: triples in lexicographic order,
// each one not yet covered completed by the fourth point that covers the
// most new triples (the smallest of them on a tie).
Design GreedyCover70() {
  constexpr int v = 70;
  std::vector<bool> covered(v * v * v, false);
  const auto index = [](int a, int b, int c) {
    std::array<int, 3> s{a, b, c};
    std::sort(s.begin(), s.end());
    return (s[0] * v + s[1]) * v + s[2];
  };
  Design d;
  d.v = v;
  d.k = 4;
  for (int a = 0; a < v; ++a)
    for (int b = a + 1; b < v; ++b)
      for (int c = b + 1; c < v; ++c) {
        if (covered[index(a, b, c)]) continue;
        int best = -1, gain = -1;
        for (int x = 0; x < v; ++x) {
          if (x == a || x == b || x == c) continue;
          const int g =
              !covered[index(a, b, x)] + !covered[index(a, c, x)] + !covered[index(b, c, x)];
          if (g > gain) {
            gain = g;
            best = x;
          }
        }
        for (const int i :
             {index(a, b, c), index(a, b, best), index(a, c, best), index(b, c, best)})
          covered[i] = true;
        Points block{a + 1, b + 1, c + 1, best + 1};
        std::sort(block.begin(), block.end());
        d.blocks.push_back(block);
      }
  return d;
}

const Design& Get(const Case& c) {
  static std::map<const Case*, std::unique_ptr<Design>> cache;
  auto& slot = cache[&c];
  if (!slot) {
    if (&c == &kOctads)
      slot = std::make_unique<Design>(ReadData("wide/C24_8_5_5_1_b759_S5_8_24.txt", 1));
    if (&c == &kPlane)
      slot = std::make_unique<Design>(ReadData("wide/C57_8_1_2_15_b57_PG2_7.txt", 1));
    if (&c == &kCover70) slot = std::make_unique<Design>(GreedyCover70());
    if (&c == &kWheel) slot = std::make_unique<Design>(ReadData("../../samples/4901683a.616", 1));
  }
  return *slot;
}

// The coverage test as a run does it, the complete pass alone: true when the
// design holds, as every one of these does.
bool TestPasses(const Case& c) {
  const Design& d = Get(c);
  AnalysisOptions opt;
  opt.skippers = SkipperSettings{0, 0};
  ConsoleCapture quiet;
  const auto v = static_cast<uint16_t>(d.v), k = static_cast<uint16_t>(d.k);
  TestContext ctx;
  SetupAnalysis(ctx, DesignParams{v, k, c.t, c.m, c.l}, opt);
  const std::vector<Point> rows = ToBlocks(d);
  for (size_t i = 0; i < rows.size(); i += k) AnalyseBlock(ctx, &rows[i]);
  PrintTSetReport(ctx);
  if (c.m < k) SetupDerivedTest(ctx, DesignParams{v, c.m, c.t, c.m, c.l}, opt);
  return TestDesign(ctx, "bench");
}

// The canonical form: true when found, with the known group order if any.
bool CanonicalFound(const Case& c) {
  const Design& d = Get(c);
  std::vector<std::vector<unsigned>> blocks;
  for (const Points& b : d.blocks) blocks.emplace_back(b.begin(), b.end());
  const CanonicalForm form = FindCanonicalForm(d.v, blocks, 0);
  return form.found && (c.automorphisms[0] == '\0' || form.automorphisms == c.automorphisms);
}

void BM_Symmetry(benchmark::State& state, bool (*run)(const Case&), const Case* c) {
  Get(*c);
  for (auto _ : state)
    if (!run(*c)) state.SkipWithError("the answer differs from the one the construction gives");
  state.SetLabel(std::string(c->name) + ", " + std::to_string(Get(*c).blocks.size()) + " blocks");
}

BENCHMARK_CAPTURE(BM_Symmetry, Canonical_S5824, CanonicalFound, &kOctads)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Symmetry, Test_S5824, TestPasses, &kOctads)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Symmetry, Canonical_PG27, CanonicalFound, &kPlane)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Symmetry, Test_PG27, TestPasses, &kPlane)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Symmetry, Canonical_C70_4_3, CanonicalFound, &kCover70)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Symmetry, Test_C70_4_3, TestPasses, &kCover70)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Symmetry, Canonical_Wheel, CanonicalFound, &kWheel)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Symmetry, Test_Wheel, TestPasses, &kWheel)->Unit(benchmark::kMillisecond);

// The suite's smoke run: PG(2,7), both ways.
void BM_Smoke_Symmetry(benchmark::State& state) {
  for (auto _ : state)
    if (!CanonicalFound(kPlane) || !TestPasses(kPlane))
      state.SkipWithError("an answer differs from the one the construction gives");
}
BENCHMARK(BM_Smoke_Symmetry);

} // namespace
