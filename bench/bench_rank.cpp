// Ranking: the reference RankComb against the table form the engine uses.
#include "design/combinatorics.hpp"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

using namespace kovra;

// Walks every 4-subset of 1..54 and sums its ranks; the sum is checked so a
// faster form that changes an answer shows.
template <typename RankFn>
void RankAll(benchmark::State& state, RankFn rank) {
  const unsigned n = 54, t = 4;
  for (auto _ : state) {
    Point c[8];
    FirstComb(c, t, 1, 8);
    uint64_t sum = 0;
    do sum += rank(c);
    while (NextComb(c, t, 1, n));
    const uint64_t total = Binomial(n, t);
    if (sum != total * (total + 1) / 2) state.SkipWithError("wrong rank sum");
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(Binomial(n, t)));
}

void BM_RankComb(benchmark::State& state) {
  RankAll(state, [](const Point* c) { return RankComb(c, 54, 4); });
}
BENCHMARK(BM_RankComb)->Unit(benchmark::kMillisecond);

void BM_RankFast(benchmark::State& state) {
  static RankTable table;
  InitRankTable(table, 54, 4);
  RankAll(state, [](const Point* c) { return RankFast(table, c); });
}
BENCHMARK(BM_RankFast)->Unit(benchmark::kMillisecond);

void BM_Smoke_Rank(benchmark::State& state) {
  static RankTable table;
  InitRankTable(table, 20, 3);
  for (auto _ : state) {
    Point c[8];
    FirstComb(c, 3, 1, 8);
    uint64_t sum = 0;
    do sum += RankFast(table, c) - RankComb(c, 20, 3);
    while (NextComb(c, 3, 1, 20));
    if (sum != 0) state.SkipWithError("table rank differs from RankComb");
  }
}
BENCHMARK(BM_Smoke_Rank);

} // namespace
