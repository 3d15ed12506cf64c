// The library facade's own time to verify a design read before, for the
// Python module's benchmark to hold its calls against (python_facade.py):
// the 163-ticket 6/49 wheel and S(5,8,24).
#include "kovra/kovra.hpp"

#include <benchmark/benchmark.h>

#include <string>

namespace {

namespace api = kovra::api;

api::Design Read(const std::string& file, api::Params given, unsigned base) {
  api::LoadOptions o;
  o.given = given;
  o.base = base;
  return *api::Load(std::string(KOVRA_SOURCE_DIR) + "/" + file, o);
}

void Verify(benchmark::State& state, const api::Design& design, api::Verdict expected) {
  api::VerifyOptions o;
  o.threads = static_cast<unsigned>(state.range(0));
  for (auto _ : state) {
    const api::Result<api::VerifyResult> r = api::Verify(design, o);
    if (!r || r->verdict != expected) state.SkipWithError("wrong verdict");
    benchmark::DoNotOptimize(r);
  }
}

void BM_FacadeWheel163(benchmark::State& state) {
  static const api::Design d =
      Read("tests/data/public/C49_6_3_6_1_b163_lotto_valid.txt", {49, 6, 3, 6, 1}, 0);
  Verify(state, d, api::Verdict::kOk);
}
BENCHMARK(BM_FacadeWheel163)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_FacadeS5824(benchmark::State& state) {
  static const api::Design d = Read("tests/data/wide/C24_8_5_5_1_b759_S5_8_24.txt", {}, 1);
  Verify(state, d, api::Verdict::kOk);
}
BENCHMARK(BM_FacadeS5824)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
