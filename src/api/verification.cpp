// The test of a design through the facade: the redundancy analysis, the
// report, the walk or the proof; the draw profile and the exact reduction.
#include "api/call.hpp"
#include "api/engineside.hpp"
#include "base/clock.hpp"
#include "base/deadline.hpp"
#include "base/jobs.hpp"
#include "base/memory.hpp"
#include "design/combinatorics.hpp"
#include "verify/estimate.hpp"
#include "verify/profile.hpp"
#include "verify/reduce.hpp"
#include "verify/shares.hpp"
#include "verify/tsets.hpp"
#include "verify/verdict.hpp"

#include <algorithm>
#include <ctime>
#include <numeric>

namespace kovra::api {

struct Session::State {
  Design design;           // as given: the report's lambdas count every block
  std::vector<Point> rows; // its blocks from 1, as the engine reads them
  VerifyOptions options;
  TestContext ctx;
  Deadline deadline; // --time-limit and the stop flag, as the engine was given them
  VerifyResult result;
  bool over = false; // the time limit or the stop flag ended the test
};

namespace {

unsigned Threads(unsigned threads) { return threads != 0 ? threads : UsableProcessors(); }

// The engine's options for the design itself; the derived design of
// m-subsets shows neither summary nor lists.
AnalysisOptions EngineOptions(const Session::State& st, bool lists, const Deadline& deadline) {
  const VerifyOptions& o = st.options;
  AnalysisOptions opt;
  opt.fShowSummary = lists && o.summary;
  opt.fShowDupeTSets = lists && o.listDuplicates;
  opt.fShowRedundants = lists && o.showRedundant;
  opt.ulMaxReport = o.maxReport;
  opt.ulMaxLosing = o.maxLosing;
  opt.usPrintBase = static_cast<uint16_t>(st.design.base);
  opt.fileNumbers = st.design.fileNumbers.empty() ? nullptr : st.design.fileNumbers.data();
  opt.skippers = SkipperSettings{o.skipperHigh, o.skipperLow, o.skipperHighGiven};
  opt.fInternalOptions = o.internal;
  opt.fNoRedundTesting = !o.redundancyAnalysis || o.partCount != 0;
  opt.memoryBound = o.memoryBound;
  opt.fCountAll = o.countAll;
  opt.fKeepLosing = o.keepLosing || o.partCount != 0;
  opt.threads = Threads(o.threads);
  opt.partIndex = o.partIndex;
  opt.partCount = o.partCount;
  opt.fProve = o.prove;
  opt.proveSeconds = o.timeLimitSeconds;
  opt.deadline = deadline;
  opt.fCandidate = o.candidate;
  opt.progress = o.progress;
  return opt;
}

SharePiece PieceOf(const ShareCut& cut) {
  return SharePiece{CutUnitName(cut.unit), cut.from, cut.to, cut.of};
}

// What a test that ran out of time (or was stopped) says instead of its
// verdict; the steps after it do nothing.
void EndUndecided(Session::State& st, const std::string& name) {
  const VerifyOptions& o = st.options;
  DualPrint("\nTime limit reached: the test did not end within --time-limit=%lu seconds; give a "
            "larger limit, or --time-limit=0 for none.\n",
            static_cast<unsigned long>(o.timeLimitSeconds));
  PrintVerdictLine(TestVerdict::kUndecided, name.c_str(),
                   VerdictOf{o.partIndex, o.partCount, o.candidate});
  st.over = true;
  st.result.verdict = Verdict::kUndecided;
  st.result.timedOut = !st.deadline.Stopped();
  st.result.stopped = st.deadline.Stopped();
  st.result.piece = PieceOf(OutcomeOf(st.ctx).cut);
}

// The redundancy analysis: each block is analysed in turn; a redundant one
// is replaced by the last one, so the list shrinks in place (the order the
// blocks are kept in is the order a file of them is written in).
void RunAnalysis(Session::State& st) {
  TestContext& ctx = st.ctx;
  const unsigned k = st.design.params.k;
  std::vector<uint32_t>& kept = st.result.kept;
  kept.resize(st.design.BlockCount());
  std::iota(kept.begin(), kept.end(), 0u);
  const auto analyse = [&](size_t i) { return AnalyseBlock(ctx, st.rows.data() + kept[i] * k); };
  const std::time_t started = NowSeconds();
  const char* prefix = st.options.redundancyAnalysis ? "Redundancy " : "";
  DualPrint("%sAnalysis started:\n", prefix);
  for (size_t i = 0; i < kept.size(); ++i) {
    CheckDeadline(st.deadline);
    bool accepted = analyse(i);
    while (!accepted) {
      kept[i] = kept.back();
      kept.pop_back();
      if (i >= kept.size()) break;
      accepted = analyse(i);
    }
  }
  DualPrint("%sAnalysis finished (%ld seconds)\n", prefix,
            static_cast<long>(NowSeconds() - started));
  st.result.redundant = static_cast<uint32_t>(st.design.BlockCount() - kept.size());
}

// The counts of the analysis, the -x list and -s summary, and the lambdas
// of every block as given.
void RunReport(Session::State& st) {
  const auto seen = static_cast<long>(st.design.BlockCount()); // each analysed once
  const auto removed = static_cast<long>(st.result.redundant);
  if (removed > 0)
    DualPrint("Total %ld redundant blocks detected. They will be ignored during testing.\n",
              removed);
  DualPrint("Blocks: %ld     Redundant: %ld     Testing: %ld \n", seen, removed, seen - removed);
  PrintTSetReport(st.ctx);
  if (!st.options.listDuplicates || !st.options.summary) return;
  const Params& p = st.design.params;
  const uint64_t bound =
      st.options.memoryBound != 0 ? st.options.memoryBound : DefaultMemoryBound();
  const std::vector<SubsetLambda> lambdas = SubsetLambdas(BlockSets(st.design), p.v, p.t, bound);
  DualPrint("\nBlocks on an s-subset, fewest and most over all s-subsets (every block as "
            "loaded):\n");
  DualPrint("   s         fewest           most\n");
  for (size_t s = 0; s < lambdas.size(); ++s)
    DualPrint("%4zu %14llu %14llu\n", s, static_cast<unsigned long long>(lambdas[s].min),
              static_cast<unsigned long long>(lambdas[s].max));
  if (lambdas.size() <= p.t)
    DualPrint("   s = %zu and above: not counted, C(v,s) counters pass the memory bound "
              "(--memory).\n",
              lambdas.size());
}

// For m < k the test looks at the m-subsets of the blocks: the derived design
// has every block replaced by its m-subsets. Its coverage is that of the
// design's own blocks (an m-set is covered by the blocks that meet it in t
// points, not by their m-subsets one by one, which would let one block count
// several times for l > 1), so the engine keeps the counters and blocks of
// the analysis and only walks m-sets now: the derived blocks are never made,
// and their number, b·C(k,m), is only shown (in the internal mode).
void Derive(Session::State& st) {
  const Params& p = st.design.params;
  const DesignParams derived{static_cast<uint16_t>(p.v), static_cast<uint16_t>(p.m),
                             static_cast<uint16_t>(std::min(p.t, p.m)), static_cast<uint16_t>(p.m),
                             static_cast<uint16_t>(p.l)};
  if (st.options.internal) {
    const Count128 derivedB = static_cast<Count128>(st.result.kept.size()) * BinomialWide(p.k, p.m);
    char text[48];
    Count128Text(derivedB, text, sizeof text);
    DualPrint("Sys converted to: v=%hu,k=%hu,t=%hu,m=%hu,l=%hu,b=%s\n", derived.v, derived.k,
              derived.t, derived.m, derived.l, text);
  }
  SetupDerivedTest(st.ctx, derived, EngineOptions(st, false, st.deadline));
}

void RunTest(Session::State& st, const std::string& name) {
  TestContext& ctx = st.ctx;
  if (st.design.params.m < st.design.params.k) Derive(st);
  st.result.tested = true;
  const bool passed = TestDesign(ctx, name.c_str());
  const TestOutcome& found = OutcomeOf(ctx);
  VerifyResult& r = st.result;
  r.verdict = found.fUndecided != 0 ? Verdict::kUndecided : passed ? Verdict::kOk : Verdict::kFail;
  r.proved = found.fProved != 0;
  r.counted = found.fCountExact != 0 && found.fUndecided == 0;
  r.losingCount = found.losingCount;
  r.sampledLastPass = found.fSampledLastPass != 0;
  const PointNames names = NamesOf(st.design);
  r.firstLosing.clear();
  for (const auto& set : found.firstLosing) {
    std::vector<unsigned> pts;
    for (const auto p : set) pts.push_back(names(p));
    r.firstLosing.push_back(std::move(pts));
  }
  r.piece = PieceOf(found.cut);
}

// Runs one step of a session: nothing after a test that is over, and the
// test ended undecided when the deadline passes inside the step.
template <class Fn>
Result<VerifyResult> Step(Session::State& st, const std::string& name, Fn&& step) {
  Call call(st.options.log);
  return call.Run<VerifyResult>([&] {
    if (!st.over) {
      try {
        step();
      } catch (const TimeLimitReached&) {
        EndUndecided(st, name);
      }
    }
    return st.result;
  });
}

} // namespace

Session::Session(std::unique_ptr<State> state) : state_(std::move(state)) {}
Session::Session(Session&& other) noexcept = default;
Session& Session::operator=(Session&& other) noexcept = default;
Session::~Session() = default;

const VerifyResult& Session::result() const { return state_->result; }

Result<Session> Session::Analyse(const Design& design, const VerifyOptions& options) {
  auto st = std::make_unique<State>();
  st->design = design;
  st->options = options;
  st->rows = BaseOneRows(design);
  st->deadline = DeadlineAfter(options.timeLimitSeconds);
  st->deadline.stop = options.stop;
  Call call(options.log);
  State& s = *st;
  const Result<VerifyResult> done = call.Run<VerifyResult>([&] {
    SetupAnalysis(s.ctx, EngineParams(design.params), EngineOptions(s, true, s.deadline));
    try {
      RunAnalysis(s);
    } catch (const TimeLimitReached&) {
      EndUndecided(s, design.name);
    }
    return s.result;
  });
  if (!done) return done.error();
  return Session(std::move(st));
}

Result<VerifyResult> Session::Report() {
  return Step(*state_, state_->design.name, [&] { RunReport(*state_); });
}

Result<VerifyResult> Session::Test(const std::string& name) {
  const std::string& shown = name.empty() ? state_->design.name : name;
  return Step(*state_, shown, [&] { RunTest(*state_, shown); });
}

Result<VerifyResult> Verify(const Design& design, const VerifyOptions& options, bool testing) {
  Result<Session> session = Session::Analyse(design, options);
  if (!session) return session.error();
  const Result<VerifyResult> reported = session->Report();
  if (!reported || !testing) return reported;
  return session->Test();
}

Result<Profile> DrawProfile(const Design& design, unsigned threads, const Log& log) {
  Call call(log);
  return call.Run<Profile>([&] {
    Profile out;
    const Params& p = design.params;
    const PointSetList blocks = BlockSets(design);
    const unsigned n = Threads(threads);
    const double seconds = EstimateDrawProfileSeconds(blocks, p.v, p.m) / n;
    char when[64];
    DurationText(seconds, when, sizeof when);
    if (seconds > WALK_BEYOND_REACH_SECONDS) {
      DualPrint("\nDraw profile: every %u-set would be visited, about %s; not computed.\n", p.m,
                when);
      return out;
    }
    if (seconds > WALK_ESTIMATE_SHOWN_SECONDS)
      DualPrint("\nEstimated time of the draw profile: about %s.\n", when);
    ConsoleFlush();
    const kovra::DrawProfile profile = ComputeDrawProfile(blocks, p.v, p.k, p.m, p.l, n);
    out.computed = true;
    out.best = profile.best;
    out.atLeastL = profile.atLeastL;
    const double total = BinomialReal(p.v, p.m);
    char totalText[48];
    BinomialText(p.v, p.m, totalText, sizeof totalText);
    DualPrint("\nDraw profile of the %s %u-sets: the most points one block shares with each\n",
              totalText, p.m);
    DualPrint("    j           m-sets   share  at least j   met by %u blocks in >= j\n", p.l);
    uint64_t atLeast = 0;
    for (size_t j = out.best.size(); j-- > 0;) {
      atLeast += out.best[j];
      const double share = total == 0 ? 0.0 : 100.0 * static_cast<double>(out.best[j]) / total;
      const double cumulative = total == 0 ? 0.0 : 100.0 * static_cast<double>(atLeast) / total;
      DualPrint("  %3zu %16llu  %5.1f%%  %9.1f%%   %16llu\n", j,
                static_cast<unsigned long long>(out.best[j]), share, cumulative,
                static_cast<unsigned long long>(out.atLeastL[j]));
    }
    return out;
  });
}

Result<Reduction> Reduce(const Design& design, const VerifyOptions& options, bool holds) {
  if (!holds) {
    VerifyOptions quiet = options;
    quiet.log = Log{};
    quiet.maxLosing = 1;
    quiet.countAll = false;
    const Result<VerifyResult> r = Verify(design, quiet);
    if (!r) return r.error();
    if (r->verdict != Verdict::kOk) {
      Reduction none;
      none.why = r->verdict == Verdict::kFail
                     ? "Not reduced: the design does not hold."
                     : "Not reduced: the test of the design did not decide.";
      return none;
    }
  }
  Call call(options.log);
  return call.Run<Reduction>([&] {
    Reduction out;
    const Params& p = design.params;
    Deadline deadline = DeadlineAfter(options.timeLimitSeconds);
    deadline.stop = options.stop;
    ReduceResult r;
    try {
      r = ReduceExactly(BlockSets(design), p.v, p.m, p.t, p.l,
                        options.memoryBound != 0 ? options.memoryBound : DefaultMemoryBound(),
                        Threads(options.threads), deadline);
    } catch (const TimeLimitReached&) {
      out.why = "Not reduced: --time-limit=" +
                std::to_string(static_cast<unsigned long>(options.timeLimitSeconds)) +
                " seconds was reached first (0 sets no limit).";
      return out;
    }
    if (r.stopped) {
      out.why = "Not reduced: the walk without a block would go beyond reach.";
      return out;
    }
    out.done = true;
    out.removed = r.removed;
    std::vector<bool> gone(design.BlockCount(), false);
    for (const uint32_t i : r.removed) gone[i] = true;
    std::vector<uint32_t> rows;
    for (uint32_t i = 0; i < gone.size(); ++i)
      if (!gone[i]) rows.push_back(i);
    out.kept = WithBlocks(design, rows);
    return out;
  });
}

} // namespace kovra::api
