// Helpers of the engine tests: the analysis in the order the design run
// drives it, brute-force coverage, transcript parsing and clocks. The designs
// come from the benchmark's helpers, so both use the same ones.
#pragma once

#include "../../bench/bench_designs.hpp"
#include "base/clock.hpp"
#include "base/console.hpp"
#include "design/combinatorics.hpp"
#include "design/sys.hpp"
#include "verify/engine.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace kovra::enginetest {

using benchdesigns::Design;
using benchdesigns::ForEachLosingFromBlocks;
using benchdesigns::Points;
using benchdesigns::RandomDesign;
using benchdesigns::ReadPublic;
using benchdesigns::ToBlocks;

struct RunParams {
  unsigned t = 3, m = 6, l = 1;
  uint32_t maxLosing = 1;
  uint32_t maxReport = 15;
  bool summary = false, dupes = false, redundants = false;
  bool internal = false, noRedund = false;
  uint16_t printBase = 1;
  SkipperSettings skippers{};
};

// The analysis as the design run drives it on a fresh context: setup, every
// block with the last block moved into a redundant block's place, then for
// m < k the counters of the derived design. Returns the blocks that remain.
inline std::vector<Block> AnalyseLikeRun(TestContext& ctx, const Design& d, const RunParams& p) {
  std::vector<Block> blocks = ToBlocks(d);
  const auto v = static_cast<uint16_t>(d.v), k = static_cast<uint16_t>(d.k);
  const auto t = static_cast<uint16_t>(p.t), m = static_cast<uint16_t>(p.m),
             l = static_cast<uint16_t>(p.l);
  AnalysisOptions opt;
  opt.fShowSummary = p.summary;
  opt.fShowDupeTSets = p.dupes;
  opt.fShowRedundants = p.redundants;
  opt.ulMaxReport = p.maxReport;
  opt.ulMaxLosing = p.maxLosing;
  opt.usPrintBase = p.printBase;
  opt.skippers = p.skippers;
  opt.fInternalOptions = p.internal;
  opt.fNoRedundTesting = p.noRedund;
  SetupAnalysis(ctx, DesignParams{v, k, t, m, l}, opt);
  size_t b = blocks.size();
  for (size_t i = 0; i < b; ++i) {
    while (!AnalyseBlock(ctx, blocks[i])) {
      blocks[i] = blocks[b - 1];
      if (i == 0) SetBlockK(blocks[0], k);
      --b;
      if (i >= b) break;
    }
  }
  blocks.resize(b);
  if (m < k) {
    opt.fShowSummary = opt.fShowDupeTSets = opt.fShowRedundants = false;
    SetupAnalysis(ctx, DesignParams{v, m, t, m, l}, opt);
    AnalyseDerivedDesign(ctx, blocks.data(), static_cast<uint32_t>(blocks.size()));
  }
  return blocks;
}

inline uint64_t MaskOf(const Points& p) {
  uint64_t m = 0;
  for (int x : p) m |= uint64_t{1} << x;
  return m;
}

// Every m-subset of 1..v in lexicographic order as (members, mask).
template <typename Fn>
void ForEachSubset(unsigned v, unsigned m, Fn&& fn) {
  std::vector<int> c(m);
  for (unsigned i = 0; i < m; ++i) c[i] = static_cast<int>(i + 1);
  for (;;) {
    fn(c, MaskOf(c));
    int p = static_cast<int>(m) - 1;
    while (p >= 0 && c[p] == static_cast<int>(v - m + p + 1)) --p;
    if (p < 0) return;
    ++c[p];
    for (unsigned q = p + 1; q < m; ++q) c[q] = c[q - 1] + 1;
  }
}

// The losing m-sets straight from the blocks. With l = 1: no block meets the
// set in t points. With l > 1 the engine's rule: no t-subset of the set lies
// in l blocks.
inline std::vector<Points> BruteLosing(const Design& d, unsigned t, unsigned m, unsigned l) {
  std::vector<uint64_t> masks;
  for (const auto& b : d.blocks) masks.push_back(MaskOf(b));
  std::vector<Points> losing;
  if (l == 1) {
    ForEachSubset(d.v, m, [&](const Points& c, uint64_t s) {
      for (uint64_t b : masks)
        if (static_cast<unsigned>(__builtin_popcountll(b & s)) >= t) return;
      losing.push_back(c);
    });
    return losing;
  }
  std::map<uint64_t, unsigned> inBlocks; // t-subset mask -> blocks holding it
  ForEachSubset(d.v, t, [&](const Points&, uint64_t ts) {
    unsigned n = 0;
    for (uint64_t b : masks) n += (b & ts) == ts;
    inBlocks[ts] = n;
  });
  ForEachSubset(d.v, m, [&](const Points& c, uint64_t) {
    bool covered = false;
    ForEachSubset(m, t, [&](const Points& pos, uint64_t) {
      uint64_t ts = 0;
      for (int q : pos) ts |= uint64_t{1} << c[static_cast<size_t>(q - 1)];
      if (inBlocks[ts] >= l) covered = true;
    });
    if (!covered) losing.push_back(c);
  });
  return losing;
}

// The members of the losing lines of a transcript, in order, in base 1.
inline std::vector<Points> LosingLines(const std::string& out, int printBase = 1) {
  std::vector<Points> res;
  std::istringstream in(out);
  std::string line;
  const std::string tag = " : LOSING combination !!!";
  while (std::getline(in, line)) {
    const size_t at = line.find(tag);
    if (at == std::string::npos) continue;
    std::istringstream ls(line.substr(0, at));
    Points p;
    for (int x; ls >> x;) p.push_back(x - printBase + 1);
    res.push_back(p);
  }
  return res;
}

inline size_t CountLines(const std::string& out, const std::string& what) {
  size_t n = 0;
  for (size_t at = out.find(what); at != std::string::npos; at = out.find(what, at + 1)) ++n;
  return n;
}

// Clocks for tests: one that stands still and one that moves on by 97
// seconds at every reading (so elapsed times and estimates vary).
inline constexpr std::time_t kFrozenTime = 1700000000;
inline std::time_t gTick = 0;
inline std::time_t FrozenClock() { return kFrozenTime; }
inline std::time_t TickingClock() { return kFrozenTime + 97 * gTick++; }

struct ClockGuard {
  explicit ClockGuard(ClockFn fn) {
    gTick = 0;
    SetClockForTest(fn);
  }
  ~ClockGuard() { SetClockForTest(nullptr); }
  ClockGuard(const ClockGuard&) = delete;
  ClockGuard& operator=(const ClockGuard&) = delete;
};

} // namespace kovra::enginetest
