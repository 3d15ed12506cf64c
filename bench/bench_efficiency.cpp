// Threads against the machine's capacity at the moment: four tasks on one
// thread and on two, and two copies of a fixed CPU-bound loop against one,
// interleaved in every iteration so that all four figures share the load
// the machine had then (its second core is often shared).
//
// - speedup: the task's time on one thread over its time on two;
// - capacity: what two copies of the loop get done at once, against one
//   (2 on two free cores, 1 where the second is taken);
// - efficiency: speedup / capacity, 1 when the threads use all there was.
//
// The tasks: the m = t run of the blown-up S(5,8,24) (C(96,32,5), the
// analysis of every block included), the draw profile of the 5/69 wheel,
// the exact reduction of the 168-ticket sample and the complete walk of a
// random C(90,6,3,6) of 1500 blocks (a few seconds on one thread, every
// losing 6-set counted). Each checks its answer.
#include "base/console.hpp"
#include "bench_designs.hpp"
#include "verify/engine.hpp"
#include "verify/profile.hpp"
#include "verify/reduce.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <thread>

namespace {

using namespace kovra;
using namespace kovra::benchdesigns;
using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& fn) {
  const auto start = Clock::now();
  fn();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The fixed CPU-bound loop: a chain of xorshift steps, no memory.
uint64_t Spin(uint64_t steps) {
  uint64_t x = 0x9E3779B97F4A7C15ull;
  for (uint64_t i = 0; i < steps; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
  }
  return x;
}

double SpinTwice(uint64_t steps) {
  return Seconds([steps] {
    uint64_t a = 0, b = 0;
    std::thread other([&] { b = Spin(steps); });
    a = Spin(steps);
    other.join();
    benchmark::DoNotOptimize(a + b);
  });
}

PointSetList Sets(const Design& d) {
  PointSetList out(d.v);
  for (const Points& p : d.blocks) out.Add(p.begin(), p.end());
  return out;
}

// The engine as the design run drives it, the complete pass alone; the
// losing count.
uint64_t RunEngine(const Design& d, uint16_t t, uint16_t m, unsigned threads) {
  AnalysisOptions opt;
  opt.skippers = SkipperSettings{0, 0};
  opt.threads = threads;
  ConsoleCapture quiet;
  TestContext ctx;
  const auto v = static_cast<uint16_t>(d.v), k = static_cast<uint16_t>(d.k);
  SetupAnalysis(ctx, DesignParams{v, k, t, m, 1}, opt);
  const std::vector<Point> rows = ToBlocks(d);
  for (size_t i = 0; i < rows.size(); i += k) AnalyseBlock(ctx, &rows[i]);
  PrintTSetReport(ctx);
  if (m < k) SetupDerivedTest(ctx, DesignParams{v, m, t, m, 1}, opt);
  TestDesign(ctx, "bench");
  return ctx.result.losingCount;
}

// A task on `threads` threads; false when its answer is wrong.
using Task = std::function<bool(unsigned threads)>;

void Efficiency(benchmark::State& state, const Task& task) {
  if (!task(1)) state.SkipWithError("wrong answer"); // warm, and checked
  // The loop takes about as long as the task on one thread.
  const double once = Seconds([&] { task(1); });
  constexpr uint64_t kProbe = 1u << 24;
  const double probe = Seconds([] { benchmark::DoNotOptimize(Spin(kProbe)); });
  const auto steps = static_cast<uint64_t>(static_cast<double>(kProbe) * once / probe);
  double one = 0, two = 0, spinOne = 0, spinTwo = 0;
  bool ok = true;
  for (auto _ : state) {
    one += Seconds([&] { ok = task(1) && ok; });
    spinOne += Seconds([steps] { benchmark::DoNotOptimize(Spin(steps)); });
    two += Seconds([&] { ok = task(2) && ok; });
    spinTwo += SpinTwice(steps);
  }
  if (!ok) state.SkipWithError("wrong answer");
  const double speedup = one / two, capacity = 2 * spinOne / spinTwo;
  state.counters["one_thread_ms"] = 1e3 * one / static_cast<double>(state.iterations());
  state.counters["two_threads_ms"] = 1e3 * two / static_cast<double>(state.iterations());
  state.counters["speedup"] = speedup;
  state.counters["capacity"] = capacity;
  state.counters["efficiency"] = speedup / capacity;
}

void BM_Efficiency_BlownUpS5824(benchmark::State& state) {
  static const Design d = ReadData("wide/C96_32_5_5_1_b759_S5_8_24_by_4.txt", 1);
  Efficiency(state, [](unsigned threads) { return RunEngine(d, 5, 5, threads) == 0; });
}
BENCHMARK(BM_Efficiency_BlownUpS5824)->Iterations(4)->Unit(benchmark::kMillisecond);

void BM_Efficiency_ProfileWheel69(benchmark::State& state) {
  static const Design d = ReadData("wide/C69_5_2_5_1_b71_lotto_2if5.txt", 1);
  static const PointSetList blocks = Sets(d);
  Efficiency(state, [](unsigned threads) {
    const DrawProfile p = ComputeDrawProfile(blocks, 69, 5, 5, 1, threads);
    return p.atLeastL[2] == Binomial(69, 5);
  });
}
BENCHMARK(BM_Efficiency_ProfileWheel69)->Iterations(6)->Unit(benchmark::kMillisecond);

// Twenty reductions in a row: one takes a few milliseconds.
void BM_Efficiency_ReduceSample168(benchmark::State& state) {
  static const Design d = ReadData("../../samples/4901683a.616", 1);
  static const PointSetList blocks = Sets(d);
  Efficiency(state, [](unsigned threads) {
    bool ok = true;
    for (int i = 0; i < 20; ++i)
      ok = ReduceExactly(blocks, 49, 6, 3, 1, uint64_t{1} << 32, threads).removed.size() == 5 && ok;
    return ok;
  });
}
BENCHMARK(BM_Efficiency_ReduceSample168)->Iterations(6)->Unit(benchmark::kMillisecond);

void BM_Efficiency_WalkRandom90(benchmark::State& state) {
  static const Design d = RandomDesign(90, 6, 1500, 90);
  static const uint64_t losing = RunEngine(d, 3, 6, 1);
  Efficiency(state, [](unsigned threads) { return RunEngine(d, 3, 6, threads) == losing; });
  state.SetLabel("losing " + std::to_string(losing));
}
BENCHMARK(BM_Efficiency_WalkRandom90)->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace
