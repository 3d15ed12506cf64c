// Threads, shares and the exact reduction against their one-thread, whole
// and plain counterparts, each run checking its answer.
//
// - Threads: the whole engine run on 1 and on 2 threads for the blown-up
//   S(5,8,24) (C(96,32,5): the analysis and the m = t scan) and for the
//   70-number design that loses 14^5 draws (the complete walk counting all);
//   the 163-ticket wheel, whose walk is below the threshold for threads,
//   keeps its speed.
// - Shares: eight shares of the blown-up S(5,8,24), one after another,
//   against one whole run.
// - Reduction: --reduce on the 168-ticket sample and on the 69-number wheel
//   against one complete coverage walk of the same design.
#include "base/console.hpp"
#include "bench_designs.hpp"
#include "verify/engine.hpp"
#include "verify/reduce.hpp"

#include <benchmark/benchmark.h>

#include <map>
#include <string>

namespace {

using namespace kovra;
using namespace kovra::benchdesigns;

struct Case {
  const char* file; // below tests/data/
  int base;
  uint16_t t, m, l;
  uint64_t losing;
};

const Case kBlownUp = {"wide/C96_32_5_5_1_b759_S5_8_24_by_4.txt", 1, 5, 5, 1, 0};
const Case kGroups70 = {"wide/C70_5_2_5_1_b60_five_groups_FAIL537824.txt", 1, 2, 5, 1, 537824};
const Case kWheel163 = {"public/C49_6_3_6_1_b163_lotto_valid.txt", 0, 3, 6, 1, 0};
const Case kSample = {"../../samples/4901683a.616", 1, 3, 6, 1, 0};
const Case kWheel69 = {"wide/C69_5_2_5_1_b71_lotto_2if5.txt", 1, 2, 5, 1, 0};

const Design& Load(const Case& c) {
  static std::map<const Case*, Design> cache;
  auto it = cache.find(&c);
  if (it == cache.end()) it = cache.emplace(&c, ReadData(c.file, c.base)).first;
  return it->second;
}

// One engine run as the design run drives it, the complete pass alone,
// counting every losing m-set: the count, or UINT64_MAX when it fails.
uint64_t RunEngine(const Case& c, unsigned threads, unsigned part = 0, unsigned parts = 0) {
  const Design& d = Load(c);
  AnalysisOptions opt;
  opt.skippers = SkipperSettings{0, 0};
  opt.threads = threads;
  opt.partIndex = part;
  opt.partCount = parts;
  opt.fNoRedundTesting = parts != 0;
  ConsoleCapture quiet;
  TestContext ctx;
  const auto v = static_cast<uint16_t>(d.v), k = static_cast<uint16_t>(d.k);
  SetupAnalysis(ctx, DesignParams{v, k, c.t, c.m, c.l}, opt);
  const std::vector<Point> rows = ToBlocks(d);
  for (size_t i = 0; i < rows.size(); i += k) AnalyseBlock(ctx, &rows[i]);
  PrintTSetReport(ctx);
  if (c.m < k) SetupDerivedTest(ctx, DesignParams{v, c.m, c.t, c.m, c.l}, opt);
  TestDesign(ctx, "bench");
  return ctx.result.losingCount;
}

void BM_Threads(benchmark::State& state, const Case* c) {
  const auto threads = static_cast<unsigned>(state.range(0));
  for (auto _ : state)
    if (RunEngine(*c, threads) != c->losing) state.SkipWithError("wrong losing count");
}
BENCHMARK_CAPTURE(BM_Threads, BlownUpS5824, &kBlownUp)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Threads, Groups70, &kGroups70)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Threads, Wheel163, &kWheel163)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_EightShares(benchmark::State& state) {
  for (auto _ : state) {
    uint64_t losing = 0;
    for (unsigned i = 1; i <= 8; ++i) losing += RunEngine(kBlownUp, 1, i, 8);
    if (losing != kBlownUp.losing) state.SkipWithError("wrong losing count");
  }
}
BENCHMARK(BM_EightShares)->Unit(benchmark::kMillisecond);

PointSetList Sets(const Design& d) {
  PointSetList out(d.v);
  for (const Points& p : d.blocks) out.Add(p.begin(), p.end());
  return out;
}

// The reduction alone (the design is known to hold), and the number of
// blocks it leaves out checked.
void BM_Reduce(benchmark::State& state, const Case* c, size_t expectRemoved) {
  const Design& d = Load(*c);
  const PointSetList blocks = Sets(d);
  for (auto _ : state) {
    const ReduceResult r = ReduceExactly(blocks, d.v, c->m, c->t, c->l, uint64_t{1} << 32, 1);
    if (r.removed.size() != expectRemoved) state.SkipWithError("another number of blocks went");
  }
}
BENCHMARK_CAPTURE(BM_Reduce, Sample168, &kSample, 5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Reduce, Wheel69, &kWheel69, 0)->Unit(benchmark::kMillisecond);

void BM_CompleteWalk(benchmark::State& state, const Case* c) {
  for (auto _ : state)
    if (RunEngine(*c, 1) != c->losing) state.SkipWithError("wrong losing count");
}
BENCHMARK_CAPTURE(BM_CompleteWalk, Sample168, &kSample)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CompleteWalk, Wheel69, &kWheel69)->Unit(benchmark::kMillisecond);

} // namespace
