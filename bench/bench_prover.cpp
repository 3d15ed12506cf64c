// The proof search on wheels whose walk is far out of reach: 8 keno tickets
// of 10 on 80 numbers (m = 17 and 20) and a 69-number wheel of groups (m =
// 20), each run checking its verdict. Beside the time, "walk_years" is what
// the walk over the m-sets would take by its own estimate (estimate.hpp),
// and "sat_won" says which search decided (1: SAT, 0: depth-first). The
// "_sat_alone" and "_depth_first_alone" runs force one search, capped at 60 s
// ("timed_out" 1), to show why the two take turns.
#include "verify/estimate.hpp"
#include "verify/meetwalk.hpp"
#include "verify/prover.hpp"
#include "wheels.hpp"

#include <benchmark/benchmark.h>

namespace {

using namespace kovra;

struct Wheel {
  PointSetList blocks;
  unsigned v, m, t;
  bool covered;
};

void Prove(benchmark::State& state, const Wheel& w, bool sat = true, bool depthFirst = true) {
  ProofQuery q;
  q.useSat = sat;
  q.useDepthFirst = depthFirst;
  q.blocks = &w.blocks;
  q.v = w.v;
  q.m = w.m;
  q.t = w.t;
  q.timeLimitSeconds = sat && depthFirst ? 600 : 60;
  ProofResult r;
  for (auto _ : state) {
    r = ProveCoverage(q);
    benchmark::DoNotOptimize(r.witnesses.size());
  }
  const ProofVerdict expected = w.covered ? ProofVerdict::kCovered : ProofVerdict::kLosing;
  state.counters["timed_out"] = r.verdict == ProofVerdict::kTimedOut ? 1 : 0;
  if (r.verdict != expected && r.verdict != ProofVerdict::kTimedOut)
    state.SkipWithError("wrong verdict");
  if (r.verdict == ProofVerdict::kTimedOut && sat && depthFirst) state.SkipWithError("timed out");
  MeetWalk walk;
  InitMeetWalk(walk, w.blocks, w.v, w.m, w.t, 1);
  state.counters["walk_years"] = EstimateMeetWalk(walk, 0.2).seconds / (365.25 * 86400);
  state.counters["sat_won"] = r.method == ProofMethod::kSat ? 1 : 0;
}

const Wheel kKeno17{wheels::Tickets(8, 10), 80, 17, 3, true};
const Wheel kKeno20{wheels::Tickets(8, 10), 80, 20, 3, true};
const Wheel kKeno16{wheels::Tickets(8, 10), 80, 16, 3, false};
const Wheel kLotto69{wheels::Groups({8, 8, 8, 8, 8, 8, 7, 7, 7}, 5, 3), 69, 20, 3, true};

BENCHMARK_CAPTURE(Prove, Keno8x10_m17, kKeno17)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Prove, Keno8x10_m20, kKeno20)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Prove, Smoke_Keno8x10_m16_fails, kKeno16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Prove, Lotto69_m20, kLotto69)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Prove, Keno8x10_m17_sat_alone, kKeno17, true, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(Prove, Keno8x10_m17_depth_first_alone, kKeno17, false, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(Prove, Lotto69_m20_sat_alone, kLotto69, true, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(Prove, Lotto69_m20_depth_first_alone, kLotto69, false, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
