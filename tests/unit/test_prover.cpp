// The proof search against designs whose answer is known by construction, and
// both of its searches against brute force on random small designs.
#include "verify/prover.hpp"
#include "wheels.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <functional>
#include <random>

namespace kovra {
namespace {

// Blocks meeting s in t or more points, counted here on its own.
unsigned Meeting(const std::vector<PointSet>& blocks, const PointSet& s, unsigned t) {
  unsigned n = 0;
  for (const PointSet& b : blocks)
    n += std::popcount(b.w[0] & s.w[0]) + std::popcount(b.w[1] & s.w[1]) >= static_cast<int>(t);
  return n;
}

ProofResult Prove(const std::vector<PointSet>& blocks, unsigned v, unsigned m, unsigned t,
                  unsigned l, uint32_t most = 1, bool sat = true, bool depthFirst = true) {
  ProofQuery q;
  q.blocks = &blocks;
  q.v = v;
  q.m = m;
  q.t = t;
  q.l = l;
  q.maxWitnesses = most;
  q.useSat = sat;
  q.useDepthFirst = depthFirst;
  q.timeLimitSeconds = 60;
  return ProveCoverage(q);
}

TEST(Prover, DesignsKnownByConstruction) {
  const auto keno = wheels::Tickets(8, 10);
  auto twice = keno;
  twice.insert(twice.end(), keno.begin(), keno.end());
  const auto fives = wheels::Tickets(8, 5);
  const auto fano = wheels::Groups({7, 7, 7, 7}, 3, 2);
  const auto lotto = wheels::Groups({8, 8, 8, 8, 8, 8, 7, 7, 7}, 5, 3);
  const auto plane = wheels::ProjectivePlane(5);
  struct Case {
    const char* name;
    const std::vector<PointSet>& blocks;
    unsigned v, t, l, m;
    bool covered;
  };
  const Case cases[] = {
      {"keno", keno, 80, 3, 1, 16, false},          {"keno", keno, 80, 3, 1, 17, true},
      {"keno", keno, 80, 3, 1, 20, true},           {"keno twice", twice, 80, 3, 2, 16, false},
      {"keno twice", twice, 80, 3, 2, 17, true},    {"tickets of 5", fives, 40, 3, 2, 19, false},
      {"tickets of 5", fives, 40, 3, 2, 20, true},  {"pairs in groups", fano, 28, 2, 1, 4, false},
      {"pairs in groups", fano, 28, 2, 1, 5, true}, {"69 numbers", lotto, 69, 3, 1, 18, false},
      {"69 numbers", lotto, 69, 3, 1, 19, true},    {"69 numbers", lotto, 69, 3, 1, 20, true},
      {"PG(2,5)", plane, 31, 2, 1, 2, true},        {"PG(2,5) arcs", plane, 31, 3, 1, 6, false},
      {"PG(2,5) arcs", plane, 31, 3, 1, 7, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " m=" + std::to_string(c.m));
    const ProofResult r = Prove(c.blocks, c.v, c.m, c.t, c.l);
    ASSERT_EQ(r.verdict, c.covered ? ProofVerdict::kCovered : ProofVerdict::kLosing);
    for (const PointSet& w : r.witnesses) {
      EXPECT_EQ(CountPoints(w), c.m);
      EXPECT_LT(Meeting(c.blocks, w, c.t), c.l);
    }
  }
}

TEST(Prover, GivesUpAtTheTimeLimitOrTheStopFlagWithoutAVerdict) {
  // The depth-first search alone cannot settle the groups in time.
  const auto lotto = wheels::Groups({8, 8, 8, 8, 8, 8, 7, 7, 7}, 5, 3);
  ProofQuery q;
  q.blocks = &lotto;
  q.v = 69;
  q.m = 20;
  q.t = 3;
  q.useSat = false;
  q.timeLimitSeconds = 0.2;
  EXPECT_EQ(ProveCoverage(q).verdict, ProofVerdict::kTimedOut);
  const std::atomic<bool> stop{true};
  q.stop = &stop;
  q.timeLimitSeconds = 0;
  EXPECT_EQ(ProveCoverage(q).verdict, ProofVerdict::kStopped);
  q.useSat = true;
  q.useDepthFirst = false;
  EXPECT_EQ(ProveCoverage(q).verdict, ProofVerdict::kStopped);
}

TEST(Prover, WitnessCheckRefusesASetThatDoesNotLose) {
  // PG(2,5) covers every pair once: any pair is covered, any 6 points of a
  // line meet it in 6, a 3-set off every line (an arc) meets no block in 3.
  const auto plane = wheels::ProjectivePlane(5);
  ProofQuery q;
  q.blocks = &plane;
  q.v = 31;
  q.m = 2;
  q.t = 2;
  PointSet pair, line = plane[0], arc;
  AddPoint(pair, LowestPoint(line));
  RemoveLowest(line);
  AddPoint(pair, LowestPoint(line));
  EXPECT_FALSE(WitnessesLose(q, {pair}));
  EXPECT_TRUE(WitnessesLose(q, {}));
  q.m = 3;
  q.t = 3;
  for (unsigned p = 1; p <= q.v && CountPoints(arc) < 3; ++p) {
    PointSet more = arc;
    AddPoint(more, p);
    if (std::all_of(plane.begin(), plane.end(),
                    [&](const PointSet& b) { return CountPoints(b & more) < 3; }))
      arc = more;
  }
  ASSERT_EQ(CountPoints(arc), 3u);
  EXPECT_TRUE(WitnessesLose(q, {arc}));
  EXPECT_FALSE(WitnessesLose(q, {arc, plane[0]})); // a block: 6 points, not m
  PointSet onLine = plane[0];
  while (CountPoints(onLine) > 3) RemoveLowest(onLine);
  EXPECT_FALSE(WitnessesLose(q, {arc, onLine})); // 3 points of a line meet it in 3
}

// Every m-subset of 1..v as a point set, for the brute force.
void ForEachSubset(unsigned v, unsigned m, PointSet s, unsigned from,
                   const std::function<void(const PointSet&)>& fn) {
  if (m == 0) return fn(s);
  for (unsigned p = from; p + m - 1 <= v; ++p) {
    PointSet next = s;
    AddPoint(next, p);
    ForEachSubset(v, m - 1, next, p + 1, fn);
  }
}

bool LexBefore(const PointSet& a, const PointSet& b) {
  const PointSet d = a ^ b;
  return !IsEmpty(d) && HasPoint(a, LowestPoint(d));
}

TEST(Prover, BothSearchesAgreeWithBruteForceOnRandomDesigns) {
  std::mt19937 rng(20261207);
  const auto uniform = [&](unsigned lo, unsigned hi) {
    return std::uniform_int_distribution<unsigned>(lo, hi)(rng);
  };
  int failing = 0, withL = 0;
  for (int i = 0; i < 300; ++i) {
    const unsigned v = uniform(4, 14), k = uniform(1, std::min(v, 6u)), t = uniform(1, k);
    const unsigned m = uniform(t, std::min(v, 8u)), l = uniform(1, 3);
    std::vector<PointSet> blocks;
    for (unsigned b = uniform(1, 20); b > 0; --b) {
      if (!blocks.empty() && uniform(0, 7) == 0) {
        blocks.push_back(blocks[uniform(0, static_cast<unsigned>(blocks.size()) - 1)]);
        continue;
      }
      PointSet s;
      while (CountPoints(s) < k) AddPoint(s, uniform(1, v));
      blocks.push_back(s);
    }
    std::vector<PointSet> losing;
    ForEachSubset(v, m, PointSet{}, 1, [&](const PointSet& s) {
      if (Meeting(blocks, s, t) < l) losing.push_back(s);
    });
    std::sort(losing.begin(), losing.end(), LexBefore);
    failing += losing.empty() ? 0 : 1;
    withL += l > 1 ? 1 : 0;
    SCOPED_TRACE("design " + std::to_string(i) + ": v=" + std::to_string(v) +
                 " t=" + std::to_string(t) + " m=" + std::to_string(m) + " l=" + std::to_string(l));
    // Each search alone, asked for every witness, finds exactly the losing
    // m-sets; the depth-first search, asked for one, the first in order.
    for (const bool sat : {true, false}) {
      const ProofResult all = Prove(blocks, v, m, t, l, 100000, sat, !sat);
      ASSERT_EQ(all.verdict, losing.empty() ? ProofVerdict::kCovered : ProofVerdict::kLosing);
      EXPECT_EQ(all.allFound, !losing.empty());
      EXPECT_EQ(all.witnesses, losing) << (sat ? "SAT" : "depth-first");
      const ProofResult one = Prove(blocks, v, m, t, l, 1, sat, !sat);
      ASSERT_EQ(one.witnesses.size(), losing.empty() ? 0u : 1u);
      if (losing.empty()) continue;
      EXPECT_LT(Meeting(blocks, one.witnesses[0], t), l);
      if (!sat) {
        EXPECT_EQ(one.witnesses[0], losing[0]);
      }
    }
  }
  EXPECT_GE(failing, 60);
  EXPECT_GE(300 - failing, 60);
  EXPECT_GE(withL, 120);
}

} // namespace
} // namespace kovra
