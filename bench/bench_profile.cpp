// The draw profile against the plain coverage walk of reference_walk.hpp:
// both visit every m-set, the plain walk deciding each by popcounts with the
// blocks until l of them meet it in t points, the profile finding for each
// its best block and how many blocks meet it in j or more points, for every
// j. The aim is a profile that costs at most twice the plain walk; compare
// their per_comb. Each run checks its answer against a count of the losing
// m-sets made from the blocks.
#include "bench_designs.hpp"
#include "design/combinatorics.hpp"
#include "reference_walk.hpp"
#include "verify/profile.hpp"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

using namespace kovra;
using namespace kovra::benchdesigns;

struct ProfileCase {
  std::string name;
  Design design;
  unsigned t = 0, m = 0;
  PointSetList blocks;
  TestContext ctx; // what the plain walk reads: v, t, l, the m-set size and the blocks
  uint64_t combs = 0;
  uint64_t losing = 0; // from the blocks, independently of both walks
};

std::unique_ptr<ProfileCase> MakeCase(std::string name, Design d, unsigned t, unsigned m) {
  auto c = std::make_unique<ProfileCase>();
  c->name = std::move(name);
  c->t = t;
  c->m = m;
  c->blocks = PointSetList(d.v);
  for (const Points& p : d.blocks) c->blocks.Add(p.begin(), p.end());
  const auto u = [](unsigned x) { return static_cast<uint16_t>(x); };
  ParamsOf(c->ctx) = DesignParams{u(d.v), u(d.k), u(t), u(m), 1};
  c->ctx.usTestSize = u(m);
  c->ctx.accepted = c->blocks;
  c->combs = Binomial(d.v, m);
  c->losing = CountLosingFromBlocks(d, t, m);
  c->design = std::move(d);
  return c;
}

enum Which { kWheel163, kWheel69, kSmall, kWhichCount };

ProfileCase& Get(Which w) {
  static std::unique_ptr<ProfileCase> cache[kWhichCount];
  if (!cache[w]) {
    switch (w) {
    case kWheel163:
      cache[w] = MakeCase("C(49,6,3,6) 163 blocks",
                          ReadPublic("C49_6_3_6_1_b163_lotto_valid.txt", 0), 3, 6);
      break;
    case kWheel69:
      cache[w] = MakeCase("C(69,5,2,5) 71 blocks",
                          ReadData("wide/C69_5_2_5_1_b71_lotto_2if5.txt", 1), 2, 5);
      break;
    default: cache[w] = MakeCase("random C(16,6,3,6)", RandomDesign(16, 6, 6, 7), 3, 6); break;
    }
  }
  return *cache[w];
}

void SetPerComb(benchmark::State& state, uint64_t combs) {
  state.counters["per_comb"] =
      benchmark::Counter(static_cast<double>(combs), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

// With l = 1 the m-sets whose best block shares fewer than t points are the
// losing ones, and at_least_l[t] counts the others.
void BM_Profile(benchmark::State& state, Which w) {
  ProfileCase& c = Get(w);
  for (auto _ : state) {
    const DrawProfile p = ComputeDrawProfile(c.blocks, c.design.v, c.design.k, c.m, 1);
    uint64_t all = 0, below = 0;
    for (size_t j = 0; j < p.best.size(); ++j) {
      all += p.best[j];
      if (j < c.t) below += p.best[j];
    }
    if (all != c.combs || below != c.losing || p.atLeastL[c.t] != c.combs - c.losing)
      state.SkipWithError("the profile differs from the count made from the blocks");
  }
  state.SetLabel(c.name + ", losing " + std::to_string(c.losing));
  SetPerComb(state, c.combs);
}

void BM_PlainWalk(benchmark::State& state, Which w) {
  ProfileCase& c = Get(w);
  for (auto _ : state) {
    Point first[MAX_M + 1] = {};
    for (unsigned i = 1; i <= c.m; ++i) first[i] = static_cast<Point>(i);
    uint64_t losing = 0;
    const uint64_t walked = reference::CountLosingPlain(c.ctx, first, c.combs, &losing);
    if (walked != c.combs || losing != c.losing)
      state.SkipWithError("the plain walk differs from the count made from the blocks");
  }
  state.SetLabel(c.name + ", losing " + std::to_string(c.losing));
  SetPerComb(state, c.combs);
}

BENCHMARK_CAPTURE(BM_Profile, Wheel163, kWheel163)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainWalk, Wheel163, kWheel163)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Profile, Wheel69, kWheel69)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainWalk, Wheel69, kWheel69)->Unit(benchmark::kMillisecond);
// A small failing design through both, for the test suite's smoke run.
BENCHMARK_CAPTURE(BM_Profile, Smoke, kSmall);
BENCHMARK_CAPTURE(BM_PlainWalk, Smoke, kSmall);

} // namespace
