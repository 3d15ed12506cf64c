// The proof search against designs whose answer is known by construction, and
// both of its searches against brute force on random small designs.
#include "verify/prover.hpp"
#include "wheels.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <random>

namespace kovra {
namespace {

using Rows = std::vector<std::vector<unsigned>>;

// Blocks meeting s in t or more points, counted here on its own.
unsigned Meeting(const PointSetList& blocks, const std::vector<unsigned>& s, unsigned t) {
  unsigned n = 0;
  for (const PointSetView b : blocks)
    n += std::count_if(s.begin(), s.end(), [&](unsigned p) { return HasPoint(b, p); }) >=
         static_cast<long>(t);
  return n;
}

// A list of the given sets, of the width of points 1..v (or `words`).
PointSetList List(const Rows& rows, unsigned v, unsigned words = 0) {
  PointSetList out(v, words);
  for (const auto& r : rows) out.Add(r.begin(), r.end());
  return out;
}

ProofResult Prove(const PointSetList& blocks, unsigned v, unsigned m, unsigned t, unsigned l,
                  uint32_t most = 1, bool sat = true, bool depthFirst = true) {
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
  for (size_t i = 0; i < keno.size(); ++i) twice.AddFrom(keno, i);
  const auto fives = wheels::Tickets(8, 5);
  const auto fano = wheels::Groups({7, 7, 7, 7}, 3, 2);
  const auto lotto = wheels::Groups({8, 8, 8, 8, 8, 8, 7, 7, 7}, 5, 3);
  const auto plane = wheels::ProjectivePlane(5);
  // Wider than 128 and 256 points: PG(2,13) and PG(2,16) hold every pair,
  // and without a line its pairs lose.
  const auto plane13 = wheels::ProjectivePlane(13), plane16 = wheels::ProjectivePlane(16);
  PointSetList less16(273);
  for (size_t i = 1; i < plane16.size(); ++i) less16.AddFrom(plane16, i);
  struct Case {
    const char* name;
    const PointSetList& blocks;
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
      {"PG(2,5) arcs", plane, 31, 3, 1, 7, true},   {"PG(2,13)", plane13, 183, 2, 1, 2, true},
      {"PG(2,16)", plane16, 273, 2, 1, 2, true},    {"PG(2,16) less", less16, 273, 2, 1, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " m=" + std::to_string(c.m));
    const ProofResult r = Prove(c.blocks, c.v, c.m, c.t, c.l);
    ASSERT_EQ(r.verdict, c.covered ? ProofVerdict::kCovered : ProofVerdict::kLosing);
    for (const PointSetView w : r.witnesses) {
      EXPECT_EQ(CountPoints(w), c.m);
      EXPECT_LT(Meeting(c.blocks, PointsOfSet(w), c.t), c.l);
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
  const std::vector<unsigned> line = PointsOfSet(plane[0]);
  EXPECT_FALSE(WitnessesLose(q, List({{line[0], line[1]}}, 31)));
  EXPECT_TRUE(WitnessesLose(q, List({}, 31)));
  q.m = 3;
  q.t = 3;
  std::vector<unsigned> arc;
  for (unsigned p = 1; p <= q.v && arc.size() < 3; ++p) {
    std::vector<unsigned> more = arc;
    more.push_back(p);
    if (Meeting(plane, more, 3) == 0) arc = more;
  }
  ASSERT_EQ(arc.size(), 3u);
  EXPECT_TRUE(WitnessesLose(q, List({arc}, 31)));
  EXPECT_FALSE(WitnessesLose(q, List({arc, line}, 31))); // a block: 6 points, not m
  const std::vector<unsigned> onLine(line.begin(), line.begin() + 3);
  EXPECT_FALSE(WitnessesLose(q, List({arc, onLine}, 31))); // 3 points of a line meet it in 3
}

// Every m-subset of 1..v in lexicographic order, for the brute force.
void ForEachSubset(unsigned v, unsigned m, std::vector<unsigned>& s, unsigned from,
                   const std::function<void(const std::vector<unsigned>&)>& fn) {
  if (m == 0) return fn(s);
  for (unsigned p = from; p + m - 1 <= v; ++p) {
    s.push_back(p);
    ForEachSubset(v, m - 1, s, p + 1, fn);
    s.pop_back();
  }
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
    Rows rows;
    for (unsigned b = uniform(1, 20); b > 0; --b) {
      if (!rows.empty() && uniform(0, 7) == 0) {
        rows.push_back(rows[uniform(0, static_cast<unsigned>(rows.size()) - 1)]);
        continue;
      }
      std::vector<unsigned> s;
      while (s.size() < k) {
        const unsigned p = uniform(1, v);
        if (std::find(s.begin(), s.end(), p) == s.end()) s.push_back(p);
      }
      std::sort(s.begin(), s.end());
      rows.push_back(s);
    }
    const PointSetList blocks = List(rows, v);
    Rows losing;
    std::vector<unsigned> scratch;
    ForEachSubset(v, m, scratch, 1, [&](const std::vector<unsigned>& s) {
      if (Meeting(blocks, s, t) < l) losing.push_back(s);
    });
    // The sets of a search are as wide as the blocks: in 2, 4, 8 or 16
    // words it finds what it finds in one.
    const PointSetList wider = List(rows, v, 2u << (i % 4));
    failing += losing.empty() ? 0 : 1;
    withL += l > 1 ? 1 : 0;
    SCOPED_TRACE("design " + std::to_string(i) + ": v=" + std::to_string(v) +
                 " t=" + std::to_string(t) + " m=" + std::to_string(m) + " l=" + std::to_string(l));
    // Each search alone, asked for every witness, finds exactly the losing
    // m-sets; the depth-first search, asked for one, the first in order.
    for (const bool sat : {true, false}) {
      const ProofResult all = Prove(wider, v, m, t, l, 100000, sat, !sat);
      ASSERT_EQ(all.verdict, losing.empty() ? ProofVerdict::kCovered : ProofVerdict::kLosing);
      EXPECT_EQ(all.allFound, !losing.empty());
      Rows found;
      for (const PointSetView w : all.witnesses) found.push_back(PointsOfSet(w));
      EXPECT_EQ(found, losing) << (sat ? "SAT" : "depth-first");
      const ProofResult one = Prove(blocks, v, m, t, l, 1, sat, !sat);
      ASSERT_EQ(one.witnesses.size(), losing.empty() ? 0u : 1u);
      if (losing.empty()) continue;
      EXPECT_LT(Meeting(blocks, PointsOfSet(one.witnesses[0]), t), l);
      if (!sat) {
        EXPECT_EQ(PointsOfSet(one.witnesses[0]), losing[0]);
      }
    }
  }
  EXPECT_GE(failing, 60);
  EXPECT_GE(300 - failing, 60);
  EXPECT_GE(withL, 120);
}

} // namespace
} // namespace kovra
