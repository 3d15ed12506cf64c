// The coverage test decided by the proof search: head, witnesses or proof, verdict.
#include "base/clock.hpp"
#include "base/console.hpp"
#include "design/combinatorics.hpp"
#include "verify/engine.hpp"
#include "verify/estimate.hpp"
#include "verify/prover.hpp"
#include "verify/verdict.hpp"

#include <algorithm>
#include <chrono>

namespace kovra {
namespace {

// A losing m-set in the line the walk prints, in the file's base.
void PrintWitness(PointSetView w, PointNames names) {
  unsigned named[MAX_M];
  unsigned n = 0;
  ForEachPoint(w, [&](unsigned p) { named[n++] = names(p); });
  PrintLosingLine(named, n);
}

// A line on a terminal's standard error, at most once a second.
struct SearchTicker {
  std::chrono::steady_clock::time_point start;
  double limit = 0;
  bool shown = false;
};

void TickSearch(void* context) {
  auto& st = *static_cast<SearchTicker*>(context);
  const auto seconds = static_cast<long>(
      std::chrono::duration<double>(std::chrono::steady_clock::now() - st.start).count());
  if (st.limit > 0)
    StderrPrint("Proof search: %ld of at most %.0f seconds \r", seconds, st.limit);
  else
    StderrPrint("Proof search: %ld seconds \r", seconds);
  st.shown = true;
}

} // namespace

bool ProveDesign(TestContext& ctx, const char* fileName) {
  const unsigned n = ctx.usTestSize;
  const char* name = fileName != nullptr ? fileName : "";
  char combsText[48];
  BinomialText(ctx.v, n, combsText, sizeof combsText);
  ctx.tStart = NowSeconds();
  DualPrint("\nTesting started : %s\n", DateText(ctx.tStart).c_str());
  DualPrint("\nCn(%hu,%hu) : %s \n", ctx.v, static_cast<unsigned short>(n), combsText);
  DualPrint("Method     : proof search, no walk over the m-sets: %s and %s, side by side\n",
            ProofMethodName(ProofMethod::kSat).c_str(),
            ProofMethodName(ProofMethod::kDepthFirst).c_str());
  char limitText[64] = "none";
  if (ctx.options.proveSeconds > 0)
    DurationText(ctx.options.proveSeconds, limitText, sizeof limitText);
  DualPrint("Time limit : %s\n\n", limitText);
  ConsoleFlush();

  SearchTicker ticker{std::chrono::steady_clock::now(), ctx.options.proveSeconds};
  ProofQuery q;
  q.blocks = &ctx.accepted;
  q.v = ctx.v;
  q.m = n;
  q.t = ctx.t;
  q.l = ctx.l;
  // The search has what is left of the test's time, at most its own limit.
  q.timeLimitSeconds = ctx.options.proveSeconds;
  if (ctx.options.deadline.Set()) {
    const double left = std::max(ctx.options.deadline.SecondsLeft(), 0.001);
    q.timeLimitSeconds = q.timeLimitSeconds > 0 ? std::min(q.timeLimitSeconds, left) : left;
  }
  // The witnesses are held until the search ends: a million is as many as a
  // log is read for, and keeps a huge -o from taking the memory.
  q.maxWitnesses = std::clamp<uint32_t>(ctx.options.ulMaxLosing, 1, 1u << 20);
  q.memoryBound = ctx.options.memoryBound;
  q.stop = ctx.options.deadline.stop;
  if (StderrIsConsole()) {
    q.tick = &TickSearch;
    q.tickContext = &ticker;
  }
  const ProofResult res = ProveCoverage(q);
  if (ticker.shown) StderrPrint("%*s\r", 48, "");

  ctx.result.fProved = 0;
  ctx.result.firstLosing.clear();
  bool decided = true;
  switch (res.verdict) {
  case ProofVerdict::kCovered:
    DualPrint("Proved by %s, without a complete walk: every %u-set meets at least l = %hu "
              "blocks in t = %hu or more points.\n",
              ProofMethodName(res.method).c_str(), n, ctx.l, ctx.t);
    break;
  case ProofVerdict::kLosing:
    // Every witness was checked by a direct count against the blocks.
    DualPrint("Found by %s, each checked by a direct count against the blocks:\n",
              ProofMethodName(res.method).c_str());
    for (const PointSetView w : res.witnesses) {
      PrintWitness(w, NamesOf(ctx));
      std::vector<Point> pts;
      ForEachPoint(w, [&](unsigned p) { pts.push_back(static_cast<Point>(p)); });
      ctx.result.firstLosing.push_back(std::move(pts));
    }
    break;
  case ProofVerdict::kTimedOut:
    DualPrint("Proof search stopped at the time limit (%s): nothing was decided.\n", limitText);
    decided = false;
    break;
  case ProofVerdict::kTooLarge:
    DualPrint("Proof search not started: the problem would pass the memory bound (--memory).\n");
    decided = false;
    break;
  case ProofVerdict::kStopped:
  case ProofVerdict::kFailed:
    DualPrint("Proof search ended without an answer: nothing was decided.\n");
    decided = false;
    break;
  }
  ctx.tNow = NowSeconds();
  if (!decided) {
    ctx.result.fUndecided = 1;
    ctx.result.fCountExact = 0;
    ctx.result.losingCount = 0;
    PrintVerdictLine(TestVerdict::kUndecided, name, VerdictOf{0, 0, ctx.options.fCandidate != 0});
    return false;
  }
  ctx.result.fProved = 1;
  const bool ok = res.verdict == ProofVerdict::kCovered;
  // A proof counts no losing m-set but the ones it lists: the count is
  // exact when there is none, or when the search ran out of them.
  ctx.result.fCountExact = ok || res.allFound ? 1 : 0;
  ctx.result.losingCount = res.witnesses.size();
  if (ctx.result.fCountExact != 0)
    PrintCombCount("\nLosing", ctx.result.losingCount, Binomial(ctx.v, n));
  else
    DualPrint("\nLosing combinations: not counted\n");
  DualPrint("\nTesting finished: %s\n", DateText(ctx.tNow).c_str());
  DualPrint("Time       : %ld seconds\n", static_cast<long>(ctx.tNow - ctx.tStart));
  PrintVerdictLine(ok ? TestVerdict::kOk : TestVerdict::kFail, name,
                   VerdictOf{0, 0, ctx.options.fCandidate != 0});
  return ok;
}

} // namespace kovra
