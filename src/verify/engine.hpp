// The verification engine: redundancy analysis, coverage test, t-set report.
//
// The analysis walks the blocks once and keeps one counter per t-subset of
// the points (index = rank - 1); the summary reads the counters, and so does
// the test where m = t. For m > t the test walks the m-sets.
//
// One engine, two representations:
// - classic (v <= 54; k, t, m <= 7): a saturating byte per t-subset, and for
//   l = 1 the walk decides each m-set from those bytes through 64-bit masks
//   of the points (coverwalk.hpp);
// - wide (anything up to the compiled limits): a bit per t-subset where only
//   "covered or not" matters (l = 1 and no list asked for), else a byte; and
//   when even the bits of C(v,t) t-subsets would pass the memory bound, no
//   whole array at all: the analysis decides from the blocks met before, and
//   the report and the m = t test count the t-subsets one prefix range at a
//   time (the chunk plan of tsets.hpp). The blocks are kept as point sets of
//   the width v needs (pointset.hpp). A block with many t-subsets is analysed
//   by the context's threads together, each taking the t-subsets of some of
//   its first points.
// Wherever l > 1 and m > t, and for every wide design with m > t, the test
// walks the m-sets on the blocks themselves (meetwalk.hpp): an m-set is
// covered when l distinct blocks meet it in t or more points, which the
// t-subset counters alone cannot tell.
//
// Order of use: SetupAnalysis (fresh counters every time); AnalyseBlock for
// every block; PrintTSetReport; for m < k, SetupDerivedTest with (v, m, t, m,
// l) (the counters stay: they count the same blocks); TestDesign; the
// context's destructor releases everything.
#pragma once

#include "base/deadline.hpp"
#include "base/threadteam.hpp"
#include "design/combinatorics.hpp"
#include "design/sys.hpp"
#include "verify/meetwalk.hpp"
#include "verify/pointset.hpp"
#include "verify/shares.hpp"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace kovra {

// The skipper settings as the user gave them (or the defaults). SetupAnalysis
// settles the values a design runs with in its context and leaves these alone.
struct SkipperSettings {
  uint32_t ulSkipperHigh = 7;
  uint32_t ulSkipperLow = 0; // 0: the last pass tests every combination
  // -Q was given. Without it a wide design runs only from -q on: its
  // complete pass passes over covered prefixes whole, while a sampled pass
  // tests m-sets one by one and may take far longer than all of it.
  bool highGiven = true;
};

enum class Representation : uint8_t {
  kAuto,    // classic inside the classic limits, wide beyond them
  kClassic, // only inside the classic limits
  kWide,    // for any design (the differential tests force it)
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
  Representation representation = Representation::kAuto;
  // The words of the point sets: 0 for the fewest v needs, more to force a
  // wider one (the differential tests run a design in every width).
  unsigned words = 0;
  // Count every losing m-set (the complete pass runs to its end even after
  // -o were printed). Off, the test stops at the -o-th, and the count is a
  // lower bound: for the parameter search, which needs the verdict alone.
  bool fCountAll = true;
  // Keep the first -o losing m-sets for a certificate or a share's result.
  // Off, a listing of every losing m-set holds none of them in memory.
  bool fKeepLosing = true;
  uint64_t memoryBound = 0; // bytes the counters may take; 0: DefaultMemoryBound()
  unsigned threads = 1;     // --threads: threads the walks and scans may run on
  // --part=I/N: the test does share I (from 1) of N (0: the whole). A share
  // keeps no whole counters and leaves the redundancy analysis to the whole
  // run: every block is kept (-y3), which changes no m-set's coverage.
  unsigned partIndex = 0;
  unsigned partCount = 0;
  bool fProve = false;       // --prove: decide by the proof search even when a walk is in reach
  double proveSeconds = 600; // --time-limit: seconds the proof search may take; 0: no limit
  // --time-limit as a moment: the analysis, the report and the test give up
  // there (TimeLimitReached). None by default.
  Deadline deadline;
  // About once a second in a long complete pass: the share of the m-sets
  // walked (in place of the terminal's progress text).
  std::function<void(double)> progress;
  // -z: the file's number of point p is fileNumbers[p - 1] (v of them), and
  // every point is printed so; null when the points kept their numbers.
  const Point* fileNumbers = nullptr;
  // A candidate of the parameter search (-z2): its verdict line reads
  // "Candidate: ..." so that no search of a log takes a candidate that does
  // not hold for a design that failed.
  bool fCandidate = false;
};

// How the counters of the t-subsets are kept.
enum class CounterMode : uint8_t {
  kBytes, // `counters`: a saturating byte per t-subset
  kBits,  // `bitCounters`: a bit per t-subset, set once a block holds it
  kSplit, // no whole array: the blocks accepted so far decide (see above)
};

// The counters of the analysis: one per t-subset (or none, kSplit), and
// what the report reads from them.
struct TSetTally {
  std::unique_ptr<uint8_t[]> counters;     // kBytes: C(v, t) bytes
  std::unique_ptr<uint64_t[]> bitCounters; // kBits: C(v, t) bits
  uint64_t histogram[256] = {};            // summary: t-subsets per counter value (exact)
  int16_t sMinCount = 256;
  int16_t sMaxCount = -1;
  uint64_t ulUncovered = 0;
  uint32_t ulSeen = 0; // blocks the analysis examined
};

// What the test found: its callers outside the engine read this record and
// nothing else of the context.
struct TestOutcome {
  // The test did not decide: the complete pass was beyond reach.
  uint8_t fUndecided = 0;
  // The losing count of the test is the number of all losing m-sets (else a
  // lower bound: the last pass sampled).
  uint8_t fCountExact = 1;
  // The first ulMaxLosing losing m-sets in lexicographic order (points in
  // base 1); when the last pass sampled, those the passes met, sorted.
  // Empty unless fKeepLosing.
  std::vector<std::vector<Point>> firstLosing;
  uint64_t losingCount = 0; // the count the test printed
  double walkSeconds = 0;   // the estimate of the meet walk's complete pass, when made
  ShareCut cut;             // the units of the complete pass a share walked (set by its test)
  // The verdict was proved by the search, without a complete walk.
  uint8_t fProved = 0;
  // The last pass sampled (-q): an OK is not sure for m != t.
  uint8_t fSampledLastPass = 0;
};

// The parameters are those of the design analysed (k is the derived block
// size m when the blocks were replaced by their m-subsets).
struct TestContext : DesignParams {
  // The run's settings, held whole as SetupAnalysis settled them: threads at
  // least 1, the memory bound and the width chosen, the skippers as the
  // passes run them.
  AnalysisOptions options;
  uint16_t usTestSize = 0; // larger of k and m: size of the walked combinations
  uint8_t fKLessM = 0;
  uint8_t bNeeded = 1; // coverage threshold: l, or 255 above 254
  uint8_t bCap = 255;  // counters saturate here
  TSetTally tally;
  uint16_t usEstimate = 5;
  std::time_t tStart = 0, tNow = 0;
  // Table ranking of t-subsets of 1..v, prepared by SetupAnalysis.
  RankTable tRank;
  bool fWide = false; // the wide representation (see above)
  CounterMode mode = CounterMode::kBytes;
  // Every block accepted so far, in order: the m-set walks and, under
  // kSplit, the analysis and the counting read them.
  PointSetList accepted;
  // kSplit: accepted[holders[first[p] .. first[p + 1])] hold point p (built
  // as blocks come), and scratch counts for one block's t-subsets.
  std::vector<std::vector<uint32_t>> holders;
  std::vector<uint8_t> localCounts;
  // The threads that analyse a wide block with many t-subsets together
  // (null: the block is analysed on the calling thread alone).
  std::unique_ptr<ThreadTeam> team;
  // The walk over the blocks, built by the test when it needs one.
  std::unique_ptr<MeetWalk> meet;
  TestOutcome result;
};

// True when a design of these parameters fits the classic representation.
bool FitsClassic(const DesignParams& p);

// Range-checks the parameters (ending the program on failure), settles the
// skipper settings into the context, chooses the representation and the
// counters, and allocates them fresh with cleared summary and timing fields
// (ending the program with code 13 when memory is short).
void SetupAnalysis(TestContext& ctx, const DesignParams& p, const AnalysisOptions& opt);

// For m < k, after the analysis and the report: the parameters of the test
// become (v, m, t, m, l) and the m-sets are walked; the counters and the
// accepted blocks stay, since they count the same blocks.
void SetupDerivedTest(TestContext& ctx, const DesignParams& derived, const AnalysisOptions& opt);

// Counts the block when it is needed (or -y3) and returns true: needed means
// some t-subset of it lies in fewer than l accepted blocks, its first k
// points read as a set (points outside 1..v and repeats take no part).
// Otherwise it is redundant: returns false (printing it under -d) and counts
// nothing.
bool AnalyseBlock(TestContext& ctx, const Point* block);

// How the test prints a point p (base 1): by its number in the file (-z),
// else in the file's base.
struct PointNames {
  uint16_t base = 1;
  const Point* fileNumbers = nullptr;
  unsigned operator()(unsigned p) const {
    return fileNumbers != nullptr ? fileNumbers[p - 1] : p + base - 1u;
  }
};
inline PointNames NamesOf(const TestContext& ctx) {
  return {ctx.options.usPrintBase, ctx.options.fileNumbers};
}

// The coverage test: head, passes, verdict. True when nothing was losing.
// With fProve, or when the complete pass would take longer than about a
// minute (it says how long), the proof search decides instead (ProveDesign).
bool TestDesign(TestContext& ctx, const char* fileName);

// What the test found, also when it gave up at the deadline (the share's
// cut is known from its start). Callers outside the engine read this and
// none of the context's fields.
inline const TestOutcome& OutcomeOf(const TestContext& ctx) { return ctx.result; }

// The coverage test decided by the proof search instead of a walk: the
// head, the witnesses (a FAIL) or the proof (an OK), the verdict. A search
// that gives up (the time limit, a problem too large) sets fUndecided and
// returns false.
bool ProveDesign(TestContext& ctx, const char* fileName);

// m > t: the skipper passes from ulSkipperHigh down to ulSkipperLow. False
// when any pass found a losing combination. Losing combinations are printed
// up to ulMaxLosing over all passes; once that many are printed, the sampled
// passes left are skipped. The complete pass (skipper 0) prints what the
// plain walk over every combination prints, but walks only prefixes that
// can still lose, and counts every losing combination: *losing is that count
// (fCountExact), or without a complete pass the most one pass found.
bool MultiPassTest(TestContext& ctx, uint64_t* combinations, uint64_t* losing);
// One progress line; `comb` holds the usTestSize members of the combination
// reached (unused in the Finished form, rank >= combinations).
void PrintProgress(TestContext& ctx, uint64_t rank, uint64_t combinations, const Point* comb,
                   int16_t skipper);

// The duplicate t-set list, the coverage summary and the total line.
void PrintTSetReport(TestContext& ctx);

} // namespace kovra
