// The verification engine: redundancy analysis, coverage test, t-set report.
//
// The analysis walks the blocks once and keeps one saturating byte counter per
// t-subset of the points (index = rank - 1); the summary and the coverage test
// read nothing but those counters.
//
// Order of use: SetupAnalysis (fresh counters every time); AnalyseBlock for
// every block (or, for the derived design of m-subsets when m < k,
// SetupAnalysis with (v, m, t, m, l) and then AnalyseDerivedDesign on the
// design's own blocks); PrintTSetReport and/or TestDesign read the counters;
// the context's destructor releases them.
#pragma once

#include "design/combinatorics.hpp"
#include "design/sys.hpp"

#include <cstdint>
#include <ctime>
#include <memory>

namespace kovra {

// The skipper settings as the user gave them (or the defaults). SetupAnalysis
// settles the values a design runs with in its context and leaves these alone.
struct SkipperSettings {
  uint32_t ulSkipperHigh = 7;
  uint32_t ulSkipperLow = 0; // 0: the last pass tests every combination
};

// What the analysis and the test take from the run settings.
struct AnalysisOptions {
  bool fShowSummary = false;     // -s: the coverage summary
  bool fShowDupeTSets = false;   // -x: t-subsets covered more than l times
  bool fShowRedundants = false;  // -d: each redundant block
  uint32_t ulMaxReport = 15;     // -r: progress lines per pass
  uint32_t ulMaxLosing = 1;      // -o: stop after this many losing combinations
  uint16_t usPrintBase = 1;      // points are printed in the design file's base
  SkipperSettings skippers;      // -Q, -q
  bool fInternalOptions = false; // the internal mode's skipper line and pass headers
  bool fNoRedundTesting = false; // -y3: every block is accepted
};

// The parameters are those of the design analysed (k is the derived block
// size m when the blocks were replaced by their m-subsets).
struct TestContext : DesignParams {
  uint16_t usTestSize = 0; // larger of k and m: size of the walked combinations
  uint16_t usKT = 0;       // C(k, t)
  uint32_t ulCnVK = 0;     // C(v, k)
  uint32_t ulMaxLosing = 1;
  uint32_t ulMaxReport = 15;
  uint8_t fShowDupeTSets = 0;
  uint8_t fShowSummary = 0;
  uint8_t fShowRedundants = 0;
  uint8_t fKLessM = 0;
  uint16_t usMK = 0;                   // C(m, k) when k < m
  uint32_t ulCnVM = 0;                 // C(v, m) when k < m
  uint8_t tPatterns[MAX_KT][8] = {};   // t-subsets of the positions 1..k
  uint8_t kPatterns[MAX_MK][7] = {};   // k-subsets of the positions 1..m when k < m
  uint8_t bNeeded = 1;                 // coverage threshold: l, or 255 above 254
  uint8_t bCap = 255;                  // counters saturate here
  std::unique_ptr<uint8_t[]> counters; // C(v, t) bytes
  uint32_t histogram[256] = {};        // summary: t-subsets per counter value (exact)
  int16_t sMinCount = 256;
  int16_t sMaxCount = -1;
  uint32_t ulUncovered = 0;
  uint16_t usEstimate = 5;
  std::time_t tStart = 0, tNow = 0;
  uint32_t ulSeen = 0; // blocks the analysis examined
  uint16_t usPrintBase = 1;
  // Run settings the engine reads, stored by SetupAnalysis (the skippers as
  // settled there).
  uint32_t ulSkipperHigh = 7;
  uint32_t ulSkipperLow = 0;
  uint8_t fInternalOptions = 0;
  uint8_t fNoRedundTesting = 0;
  // Table ranking of t-subsets of 1..v, prepared by SetupAnalysis.
  RankTable tRank;
};

// Range-checks the parameters (ending the program on failure), settles the
// skipper settings into the context, builds the pattern tables and allocates
// fresh zero counters for C(v, t) t-subsets with cleared summary and timing
// fields (ending the program with code 13 when memory is short).
void SetupAnalysis(TestContext& ctx, const DesignParams& p, const AnalysisOptions& opt);

// Counts the block when it is needed (or -y3) and returns true: needed means
// some t-subset of it lies in fewer than l accepted blocks, its first k
// points read as a set (points outside 1..v and repeats take no part).
// Otherwise it is redundant: returns false (printing it under -d) and counts
// nothing.
bool AnalyseBlock(TestContext& ctx, const Point* block);

// For m < k, after SetupAnalysis with (v, m, t, m, l): counts every t-subset
// of every design block (rows of blockK points) once per block, so that no block is counted twice
// toward the same t-subset through several of its m-subsets. ulSeen becomes b.
void AnalyseDerivedDesign(TestContext& ctx, const Point* blocks, uint32_t b, unsigned blockK);

// The coverage test: head, passes, verdict. True when nothing was losing.
bool TestDesign(TestContext& ctx, const char* fileName);

// m = t: every t-subset whose counter is below bNeeded is a losing
// combination. Stops after ulMaxLosing of them.
bool ScanTSetCounters(uint16_t v, uint16_t t, uint8_t bNeeded, const uint8_t* counters,
                      uint32_t* losing, uint32_t ulMaxLosing, uint16_t usPrintBase);
// m > t: the skipper passes from ulSkipperHigh down to ulSkipperLow. False
// when any pass found a losing combination; *losing is the most one pass found.
// The complete pass (skipper 0) prints what the plain walk over every
// combination prints, but walks only prefixes that hold no covered t-subset.
bool MultiPassTest(TestContext& ctx, uint32_t* combinations, uint32_t* losing);
// One progress line; `comb` holds the usTestSize members of the combination
// reached (unused in the Finished form, rank >= combinations).
void PrintProgress(TestContext& ctx, uint32_t rank, uint32_t combinations, const uint8_t* comb,
                   int16_t skipper);
void PrintCombCount(const char* label, uint32_t count, uint32_t combinations);

// The duplicate t-set list, the coverage summary and the total line.
void PrintTSetReport(TestContext& ctx);

} // namespace kovra
