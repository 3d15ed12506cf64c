// The engine's two representations agree: on random designs inside the classic
// limits, the classic one, the wide one (forced) in its narrowest point sets
// and forced to 2, 4, 8 and 16 words, and the wide one without whole
// counters (a memory bound too small for them) print the same redundant
// blocks, t-set report, losing m-sets, count and verdict. And designs of up
// to 999 points whose answers their construction gives.
#include "base/clock.hpp"
#include "scratch_dir.hpp"
#include "test_driver_util.hpp"
#include "verify/engine.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace kovra::test {
namespace {

constexpr uint32_t kAll = 2147483647u;

std::time_t FrozenClock() { return 1700000000; }

// One design run through the engine as the driver drives it (a redundant
// block gives its place to the last one; m < k tests the derived design),
// with -d, and -x -s when `report`; the console output and the verdict.
std::string RunEngine(const Design& d, Representation rep, uint64_t bound, bool report,
                      uint32_t most, unsigned words = 0) {
  AnalysisOptions opt;
  opt.representation = rep;
  opt.words = words;
  opt.memoryBound = bound;
  opt.fShowRedundants = true;
  opt.fShowDupeTSets = opt.fShowSummary = report;
  opt.ulMaxLosing = most;
  opt.skippers = most == kAll ? SkipperSettings{0, 0} : SkipperSettings{3, 0};
  const auto u = [](unsigned x) { return static_cast<uint16_t>(x); };
  std::vector<Point> rows;
  for (const PointSet b : d.blocks)
    for (unsigned p = 1; p < 64; ++p)
      if ((b >> p) & 1u) rows.push_back(static_cast<Point>(p));
  SetClockForTest(FrozenClock);
  ConsoleCapture cap;
  TestContext ctx;
  SetupAnalysis(ctx, DesignParams{u(d.v), u(d.k), u(d.t), u(d.m), u(d.l)}, opt);
  for (size_t i = 0, b = d.blocks.size(); i < b; ++i)
    while (i < b && !AnalyseBlock(ctx, &rows[i * d.k]))
      std::copy_n(&rows[--b * d.k], d.k, &rows[i * d.k]);
  PrintTSetReport(ctx);
  if (d.m < d.k) SetupDerivedTest(ctx, DesignParams{u(d.v), u(d.m), u(d.t), u(d.m), u(d.l)}, opt);
  const bool ok = TestDesign(ctx, "d");
  SetClockForTest(nullptr);
  return cap.out + (ok ? "OK" : "FAIL");
}

// "" when the outputs agree, else the first line where they differ (the
// outputs can be long: a diff of them all would be too).
std::string FirstDifference(const std::string& a, const std::string& b) {
  if (a == b) return "";
  const size_t at =
      static_cast<size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
  const size_t line = at == 0 ? 0 : a.rfind('\n', at - 1) + 1; // npos + 1 = 0
  return a.substr(line, 100) + " / " + b.substr(line, 100);
}

// Random shapes with small C(v, max(k, m)), then fixed ones whose C(v, t)
// passes the 64K counters the split counting takes at least, so that it
// counts in several prefix ranges.
Design RandomDesign(std::mt19937& rng, int i) {
  static const unsigned kLarge[][5] = {
      {28, 7, 5, 5, 1}, {22, 7, 6, 7, 2}, {40, 6, 4, 4, 3}, {21, 7, 7, 7, 2}};
  Design d;
  if (i < 4) {
    const unsigned* s = kLarge[i];
    d = Design{s[0], s[1], s[2], s[3], s[4], {}};
  } else {
    d.k = Uniform(rng, 1, 7);
    d.m = Uniform(rng, 1, 7);
    d.t = Uniform(rng, 1, std::min(d.k, d.m));
    d.l = Uniform(rng, 1, 3);
    d.v = Uniform(rng, std::max(d.k, d.m), 13);
  }
  const unsigned b =
      i < 4 ? 150u
            : Uniform(rng, 1,
                      static_cast<unsigned>(std::min<uint64_t>(Binomial(d.v, d.k) * d.l + 2, 60)));
  for (unsigned j = 0; j < b; ++j)
    d.blocks.push_back(j > 0 && Uniform(rng, 0, 5) == 0 ? d.blocks[Uniform(rng, 0, j - 1)]
                                                        : RandomBlock(rng, d.v, d.k));
  return d;
}

TEST(EngineWide, ClassicWideAndSplitCountersAgree) {
  std::mt19937 rng(19);
  int passed = 0, failed = 0, redundant = 0;
  for (int i = 0; i < 150; ++i) {
    const Design d = RandomDesign(rng, i);
    SCOPED_TRACE(Describe(d));
    const bool report = i % 2 == 1; // bits (l = 1) or bytes in the wide counters
    for (const uint32_t most : {1u, 4u, kAll}) {
      const std::string classic = RunEngine(d, Representation::kClassic, 0, report, most);
      EXPECT_EQ(FirstDifference(RunEngine(d, Representation::kWide, 0, report, most), classic), "");
      EXPECT_EQ(FirstDifference(RunEngine(d, Representation::kWide, 1, report, most), classic), "");
      const unsigned words = 2u << (i % 4); // every width beyond the narrowest
      EXPECT_EQ(FirstDifference(
                    RunEngine(d, Representation::kWide, i % 3 == 0, report, most, words), classic),
                "")
          << words << " words";
      if (most != kAll) continue;
      EXPECT_EQ(LosingCombinations(classic), Uncovered(d));
      (classic.ends_with("OK") ? passed : failed) += 1;
      redundant += classic.find("Redundant block") != std::string::npos;
    }
  }

  EXPECT_GE(passed, 30);
  EXPECT_GE(failed, 30);
  EXPECT_GE(redundant, 30);
}

// The LOSING lines of a run, and how many of them take their points from
// `within` (indexed by point) and from distinct groups of `group` points.
std::pair<uint64_t, uint64_t> LosingAcrossGroups(const std::string& out, unsigned group,
                                                 const std::vector<bool>& within) {
  static const std::string kTail = " : LOSING combination !!!";
  uint64_t lines = 0, across = 0;
  for (size_t end = out.find(kTail); end != std::string::npos; end = out.find(kTail, end + 1)) {
    ++lines;
    uint64_t groups = 0;
    bool ok = true;
    char* next = nullptr;
    for (const char* p = out.c_str() + out.rfind('\n', end) + 1;; p = next) { // npos + 1 = 0
      const unsigned long x = std::strtoul(p, &next, 10);
      if (next == p) break;
      ok = ok && within[x] && (groups >> ((x - 1) / group) & 1u) == 0;
      groups |= uint64_t{1} << ((x - 1) / group);
    }
    across += ok;
  }
  return {lines, across};
}

// Whole runs beyond the classic limits with every losing m-set listed, whose
// count the construction predicts: the 70-point wheel of 5 groups of 14
// loses the 14^5 draws with a number in each group; the blown-up S(5,8,24)
// without its first block loses the 5-sets of that block that take 5
// distinct groups of 4 (their images, 5-sets of the octad, lie in no other
// octad; any smaller image does), C(8,5) * 4^5 of them.
TEST(EngineWide, LosingCountsBeyondTheClassicLimitsAreTheConstructions) {
  const std::string dir = KOVRA_SOURCE_DIR "/tests/data/wide/";
  const Ran r70 = RunKovra(
      {dir + "C70_5_2_5_1_b60_five_groups_FAIL537824.txt", "-h2", "-Q0", "-q0", "-o2147483647"});
  EXPECT_EQ(r70.status, 1);
  EXPECT_EQ(FindNumber(r70.out, "Losing combinations: *([0-9]+)"), 537824);
  EXPECT_EQ(LosingAcrossGroups(r70.out, 14, std::vector<bool>(71, true)),
            std::make_pair(uint64_t{537824}, uint64_t{537824}));

  ScratchDir scratch;
  std::string text = ReadFile(dir + "C96_32_5_5_1_b759_S5_8_24_by_4.txt");
  const size_t data = text.find("Data\n") + 5, next = text.find('\n', data) + 1;
  std::vector<bool> removed(97, false);
  std::istringstream first(text.substr(data, next - data));
  for (unsigned p = 0; first >> p;) removed[p] = true;
  text.erase(data, next - data);
  text.replace(text.find(" 759 "), 5, " 758 ");
  WriteFile("c96.txt", text);
  const Ran r96 = RunKovra({"c96.txt", "-h2", "-o2147483647"});
  EXPECT_EQ(r96.status, 1);
  EXPECT_EQ(FindNumber(r96.out, "Losing combinations: *([0-9]+)"), 57344);
  EXPECT_EQ(LosingAcrossGroups(r96.out, 4, removed),
            std::make_pair(uint64_t{57344}, uint64_t{57344}));
}

// A Steiner triple system on 999 points (Bose: Z_333 x {0, 1, 2}, the triples
// {(x,0), (x,1), (x,2)} and {(x,i), (y,i), ((x+y)/2, i+1)}), its 166,167
// blocks made here: every pair lies in exactly one block. Without the block
// {(a,0), (b,0), (c,1)} whose points lie past 128, 256 and 512, exactly its
// three pairs lose for m = 2, and it alone for m = 3.
TEST(EngineWide, SteinerTripleSystemOn999Points) {
  constexpr unsigned n = 333, half = (n + 1) / 2;
  const auto point = [](unsigned x, unsigned i) { return x + i * n + 1; };
  std::vector<std::array<unsigned, 3>> blocks;
  for (unsigned x = 0; x < n; ++x) blocks.push_back({point(x, 0), point(x, 1), point(x, 2)});
  for (unsigned i = 0; i < 3; ++i)
    for (unsigned x = 0; x < n; ++x)
      for (unsigned y = x + 1; y < n; ++y)
        blocks.push_back({point(x, i), point(y, i), point((x + y) * half % n, (i + 1) % 3)});
  ASSERT_EQ(blocks.size(), 999u * 998 / 6);
  // (150, 0), (300, 0) and their middle 225 in the next third: 151, 301, 559.
  const std::array<unsigned, 3> gone = {point(150, 0), point(300, 0), point(225, 1)};
  ScratchDir scratch;
  for (const bool whole : {true, false}) {
    std::string text = "ID 999 " + std::to_string(blocks.size() - (whole ? 0 : 1)) +
                       " 3 999 0/0 2/2 1 2 1 0 4 2 64 1 ...\nData\n";
    size_t found = 0;
    for (auto b : blocks) {
      std::sort(b.begin(), b.end());
      if (b == gone) ++found;
      if (b == gone && !whole) continue;
      text += std::to_string(b[0]) + " " + std::to_string(b[1]) + " " + std::to_string(b[2]) + "\n";
    }
    ASSERT_EQ(found, 1u);
    WriteFile("sts.txt", text);
    const Ran pairs = RunKovra({"sts.txt", "-h2", "-o5", "--threads=2"});
    const Ran triples = RunKovra({"sts.txt", "-m3", "-h2", "-o5", "-Q0"});
    if (whole) {
      EXPECT_EQ(pairs.status, 0) << pairs.out;
      EXPECT_EQ(triples.status, 0) << triples.out;
      continue;
    }
    EXPECT_EQ(pairs.status, 1);
    EXPECT_NE(pairs.out.find("151 301  : LOSING combination !!!\n151 559  : LOSING "
                             "combination !!!\n301 559  : LOSING combination !!!\n"),
              std::string::npos)
        << pairs.out;
    EXPECT_EQ(FindNumber(pairs.out, "Losing combinations: *([0-9]+)"), 3);
    EXPECT_NE(triples.out.find("151 301 559  : LOSING"), std::string::npos) << triples.out;
    EXPECT_EQ(FindNumber(triples.out, "Losing combinations: *([0-9]+)"), 1);
  }
}

} // namespace
} // namespace kovra::test
