// The design run: load, bring to base 1, remove redundant blocks while
// counting coverage, report, test, and write a new file when asked.
#include "app/driver.hpp"

#include "app/certify.hpp"
#include "base/clock.hpp"
#include "base/console.hpp"
#include "base/deadline.hpp"
#include "base/jobs.hpp"
#include "base/range.hpp"
#include "base/version.hpp"
#include "design/combinatorics.hpp"
#include "design/sys.hpp"
#include "formats/loader.hpp"
#include "output/newfile.hpp"
#include "output/systree.hpp"
#include "verify/engine.hpp"
#include "verify/reduce.hpp"
#include "verify/verdict.hpp"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kovra {
namespace {

constexpr const char* kSeparator =
    "----------------------------------------------------------------------------";
static_assert(std::char_traits<char>::length(kSeparator) == 76);

// Names the parameters a design without ID line runs with that nobody gave:
// a run of `kovra f.txt -v7 -k3 -t2` must not pass for C(7,3,2,2,1) silently
// while it tests m = 6.
void WarnDefaultsUsed(const Sys& sys) {
  const struct {
    char name;
    uint16_t value, given;
  } params[] = {{'v', sys.v, sys.fVFromData != 0 ? sys.v : sys.given.v},
                {'k', sys.k, sys.fKFromData != 0 ? sys.k : sys.given.k},
                {'t', sys.t, sys.given.t},
                {'m', sys.m, sys.given.m},
                {'l', sys.l, sys.given.l}};
  std::string list;
  unsigned count = 0, shown = 0;
  for (const auto& p : params) count += p.given == 0 ? 1 : 0;
  for (const auto& p : params) {
    if (p.given != 0) continue;
    if (shown > 0)
      list += ++shown == count ? " and " : ", ";
    else
      ++shown;
    list += std::string(1, p.name) + "=" + std::to_string(p.value);
  }
  if (count != 0) DualPrint("Warn: %s not given: defaults used.\n", list.c_str());
}

// -z: when the loader renumbered the points, keeps the number each had in
// the file (sys.fileNumbers holds them as the loader recorded them) and
// prints the mapping; forgets them when nothing moved. Points that are in no
// block (v above the numbers the file holds) are numbered on after its
// largest.
void KeepFileNumbers(Sys& sys) {
  const std::vector<Point> original = std::move(sys.fileNumbers);
  sys.fileNumbers.clear();
  bool moved = false;
  for (size_t i = 0; i < original.size(); ++i)
    moved = moved || original[i] != sys.given.usFileBase + i;
  if (!moved || original.empty()) return;
  sys.fileNumbers = original;
  while (sys.fileNumbers.size() < sys.v)
    sys.fileNumbers.push_back(static_cast<Point>(sys.fileNumbers.back() + 1));
  std::string list;
  for (size_t i = 0; i < sys.v; ++i) {
    char pair[24];
    std::snprintf(pair, sizeof pair, " %u->%zu", static_cast<unsigned>(sys.fileNumbers[i]), i + 1);
    list += pair;
  }
  DualPrint("Points renumbered by -z (in the file -> tested):%s\n", list.c_str());
  DualPrint("Losing sets, blocks and certificates name the points as in the file; a new "
            "file holds them as tested.\n");
}

// --reduce: after a test that passed, leaves out every block the design
// does not need under the exact notion of covered (verify/reduce.hpp), and
// says how many went, which ones (-d) and the new b. True when blocks went.
bool ReduceStep(const RunSettings& rs, const TestContext& ctx, Sys& sys, bool holds) {
  if (!holds) {
    DualPrint("Not reduced: the design does not hold.\n");
    return false;
  }
  const PointSetList blocks = LoadedBlocks(sys);
  ReduceResult r;
  try {
    r = ReduceExactly(blocks, sys.v, sys.m, sys.t, sys.l, ctx.memoryBound, ctx.threads,
                      ctx.deadline);
  } catch (const TimeLimitReached&) {
    DualPrint("Not reduced: --time-limit=%lu seconds was reached first (0 sets no limit).\n",
              static_cast<unsigned long>(rs.ulTimeLimit));
    return false;
  }
  if (r.stopped) {
    DualPrint("Not reduced: the walk without a block would go beyond reach.\n");
    return false;
  }
  std::vector<bool> gone(sys.b, false);
  for (const uint32_t i : r.removed) gone[i] = true;
  if (rs.fShowRedundants != 0) {
    const PointNames names = NamesOf(sys);
    for (const uint32_t i : r.removed) {
      DualPrint("Not needed: block");
      for (unsigned j = 0; j < sys.k; ++j)
        DualPrint(" %2hu", static_cast<unsigned short>(names(BlockAt(sys, i)[j])));
      DualPrint("\n");
    }
  }
  // The blocks that stay keep their order.
  uint32_t kept = 0;
  for (uint32_t i = 0; i < sys.b; ++i)
    if (!gone[i]) std::copy_n(BlockAt(sys, i), sys.k, BlockAt(sys, kept++));
  const uint32_t before = sys.b;
  sys.b = kept;
  DualPrint("Exact reduction: %lu of %lu blocks not needed (tried from the last); b=%lu\n",
            static_cast<unsigned long>(before - kept), static_cast<unsigned long>(before),
            static_cast<unsigned long>(kept));
  return before != kept;
}

// Walks the blocks once; a redundant block is replaced by the last one, so the
// array shrinks in place and each removal costs constant time.
bool RemoveRedundantBlocks(TestContext& ctx, Sys& sys) {
  bool found = false;
  for (uint32_t i = 0; i < sys.b; ++i) {
    CheckDeadline(ctx.deadline);
    bool accepted = AnalyseBlock(ctx, BlockAt(sys, i));
    while (!accepted) {
      found = true;
      std::copy_n(BlockAt(sys, sys.b - 1), sys.k, BlockAt(sys, i));
      --sys.b;
      if (i >= sys.b) break;
      accepted = AnalyseBlock(ctx, BlockAt(sys, i));
    }
  }
  return found;
}

// The engine's options for the design itself; the derived design of
// m-subsets shows neither summary nor lists.
AnalysisOptions EngineOptions(const RunSettings& rs, const Sys& sys, bool lists,
                              const Deadline& deadline) {
  AnalysisOptions opt;
  opt.fShowSummary = lists && rs.fShowSummary != 0;
  opt.fShowDupeTSets = lists && rs.fShowDupeTSets != 0;
  opt.fShowRedundants = lists && rs.fShowRedundants != 0;
  opt.ulMaxReport = rs.ulMaxReport;
  opt.ulMaxLosing = rs.ulMaxLosing;
  opt.usPrintBase = sys.given.usFileBase;
  opt.fileNumbers = sys.fileNumbers.empty() ? nullptr : sys.fileNumbers.data();
  opt.fCandidate = rs.fCandidates != 0;
  opt.skippers = SkipperSettings{rs.ulSkipperHigh, rs.ulSkipperLow, rs.fSkipperHighGiven != 0};
  opt.fInternalOptions = rs.fInternalOptions != 0;
  opt.fNoRedundTesting = rs.fNoRedundTesting != 0;
  opt.memoryBound = rs.ulMemoryBound;
  opt.fCountAll = rs.fCountAllLosing != 0;
  opt.fKeepLosing = rs.fJson != 0 || rs.ulPartCount != 0;
  opt.threads = rs.ulThreads != 0 ? rs.ulThreads : UsableProcessors();
  opt.partIndex = rs.ulPartIndex;
  opt.partCount = rs.ulPartCount;
  if (rs.ulPartCount != 0) opt.fNoRedundTesting = true;
  opt.fProve = rs.fProve != 0;
  opt.proveSeconds = rs.ulTimeLimit;
  opt.deadline = deadline;
  return opt;
}

// The moment the test gives up: --time-limit from the start of the run, or
// its default for a whole run. A share runs as long as its share takes
// (sharing a long walk is what it is for) unless a limit was given.
Deadline TestDeadline(const RunSettings& rs) {
  if (rs.ulPartCount != 0 && rs.fTimeLimitGiven == 0) return Deadline{};
  return DeadlineAfter(rs.ulTimeLimit);
}

// What a test that ran out of time says instead of its verdict.
void ReportTimeLimit(const RunSettings& rs, const char* fileName) {
  DualPrint("\nTime limit reached: the test did not end within --time-limit=%lu seconds; give a "
            "larger limit, or --time-limit=0 for none.\n",
            static_cast<unsigned long>(rs.ulTimeLimit));
  PrintVerdictLine(TestVerdict::kUndecided, fileName,
                   VerdictOf{rs.ulPartIndex, rs.ulPartCount, rs.fCandidates != 0});
}

// For m < k the test looks at the m-subsets of the blocks: the derived design
// has every block replaced by its m-subsets. Its coverage is that of the
// design's own blocks (an m-set is covered by the blocks that meet it in t
// points, not by their m-subsets one by one, which would let one block count
// several times for l > 1), so the engine keeps the counters and blocks of
// the analysis and only walks m-sets now: the derived blocks are never made,
// and their number, b·C(k,m), is only shown (in the internal mode).
void AnalyseDerived(TestContext& ctx, const RunSettings& rs, const Sys& sys) {
  const DesignParams derived{sys.v, sys.m, std::min(sys.t, sys.m), sys.m, sys.l};
  if (rs.fInternalOptions != 0) {
    const Count128 derivedB = static_cast<Count128>(sys.b) * BinomialWide(sys.k, sys.m);
    char text[48];
    Count128Text(derivedB, text, sizeof text);
    DualPrint("Sys converted to: v=%hu,k=%hu,t=%hu,m=%hu,l=%hu,b=%s\n", derived.v, derived.k,
              derived.t, derived.m, derived.l, text);
  }
  SetupDerivedTest(ctx, derived, EngineOptions(rs, sys, false, ctx.deadline));
}

// Writes the design to its new file; true when the file (or the dump to
// standard output with -D) was made in full. `examined` is the number of
// blocks the design had before redundant ones were left out.
bool WriteNewFile(const RunSettings& rs, Sys& sys, bool redundantFound, bool toSysDir,
                  uint32_t examined) {
  if (rs.fSortOutput != 0 && rs.bCompressed == 0) SortBlocks(sys.blocks.get(), sys.b, sys.k, false);
  NewFileRequest req;
  req.toStdout = rs.szOutputFile == STDIN_NAME; // "-" as every Unix tool means it
  req.target = !rs.szOutputFile.empty()
                   ? rs.szOutputFile
                   : NewFileTarget(sys, rs.fUseL_InOldStyleFNames != 0, toSysDir);
  req.replace = rs.fOverwrite != 0;
  req.createAllowed = req.toStdout || MayCreateFile(req.target, req.replace);
  char comment[64];
  if (redundantFound)
    std::snprintf(comment, sizeof comment, "Redundant blocks removed by %s", PROGRAM_NAME);
  else
    std::snprintf(comment, sizeof comment, "Converted by %s", PROGRAM_NAME);
  req.comment = comment;
  req.outBase = rs.usOutBase;
  req.method = rs.bCompressed;
  req.avgLineLen = rs.ulComprAvgLineLen;
  req.useExp = rs.fComprUseExp != 0;
  req.dumpToStdout = rs.fDumpToStdout != 0;
  const int result = CreateNewSysFile(sys, req);
  if (result == CREATE_DUMPED && req.toStdout)
    DualPrint("Wrote the design to standard output.\n");
  else if (result == CREATE_FILE)
    DualPrint("Created new file <%s>.\n", req.target.c_str());
  else if (result == CREATE_DUMPED || result == CREATE_TEMP)
    DualPrint("Dumped to stdout or a tmp file.\n");
  else if (req.createAllowed && rs.fDumpToStdout == 0)
    DualPrint("Use -D to dump to stdout, and redirect it to a file...\n");
  // What was written differs from the file read whenever blocks were left
  // out: say so, so that nobody takes the new file for a copy by mistake.
  if (result != CREATE_NOTHING)
    DualPrint("Wrote %lu of %lu blocks (%lu redundant left out).\n",
              static_cast<unsigned long>(sys.b), static_cast<unsigned long>(examined),
              static_cast<unsigned long>(examined - sys.b));
  if (result != CREATE_NOTHING && !sys.fileNumbers.empty())
    DualPrint("The new design numbers its points 1..%hu as tested (renumbered by -z).\n", sys.v);
  // A binary design in a temporary file is not the file that was asked for.
  return result == CREATE_FILE || result == CREATE_DUMPED;
}

} // namespace

bool LoadRunDesign(RunSettings& rs, Sys& sys) {
  CheckRange(rs.ulMaxLosing, 1, 2147483647, "-o (MaxLosing)");
  CheckRange(rs.ulMaxReport, 1, 2147483647, "-r (MaxReport)");
  CheckRange(rs.l, 1, 255, "-l");
  CheckRange(rs.usInBase, 0, 201, "-a (inBase)");
  CheckRange(rs.usOutBase, 0, 201, "-p (outBase)");
  // The command line's (or default) parameters are checked before any file is read.
  if (!CheckDesignParams(rs, -1, -1, true)) return false;

  sys.given = rs.given;
  ParamsOf(sys) = rs;
  sys.fNewFNameScheme = rs.fUseNewFNameScheme;
  rs.fRunNewFNameScheme = rs.fUseNewFNameScheme;

  const char* file = rs.szDesignFile.empty() ? nullptr : rs.szDesignFile.c_str();
  LoadOptions load;
  load.base = static_cast<int16_t>(rs.usInBase);
  load.bCompressed = rs.bCompressed == 3 ? 0 : rs.bCompressed; // XML is known by its text
  load.closeGaps = rs.fCloseGaps != 0;
  load.memoryBound = rs.ulMemoryBound;
  load.baseGiven = rs.fInBaseGiven != 0;
  load.designIndex = rs.ulDesignIndex;
  // -z renumbers the points deep in the loader; what they were is kept so
  // that everything the run prints names them as the file does.
  ClosedGapsRecord gaps;
  if (file != nullptr && rs.fParamsGiven == 0)
    LoadSys(sys, file, load);
  else
    MakeSys(sys, rs, file, load);
  DualPrint("\r");
  if (!IsSysLoaded(sys)) {
    DualPrint("\rSysLoad Err. Check file and v,k,t,m,l,base. See -h \n");
    return false;
  }
  if (!rs.szDisplayName.empty()) SetSysFileName(sys, rs.szDisplayName.c_str());
  if (rs.fCloseGaps != 0) sys.fileNumbers = std::move(gaps.original);
  return true;
}

void ShowLoadedDesign(RunSettings& rs, Sys& sys) {
  if (sys.base != 1) {
    DualPrint("\nTemporarily transforming to Base1 (required internally).\n");
    ChangeBase(sys, 1);
  }
  DualPrint("\rSys loaded <%s>: ", sys.szFileName);
  PrintSysParams(sys, true);
  if (rs.fCloseGaps != 0) KeepFileNumbers(sys);
  if (sys.fIdLine == 0) WarnDefaultsUsed(sys);
  ParamsOf(rs) = sys;
  rs.b = sys.b;
}

RunOutcome RunDesign(RunSettings& rs, bool force, bool toSysDir) {
  RunOutcome out;
  const auto runStarted = std::chrono::steady_clock::now();
  // A run that stops early asked for no file it could write; only a verdict
  // that allows writing makes a missing file a failure of its own.
  const auto stopped = [&out] {
    out.passed = false;
    return out;
  };
  const Deadline deadline = TestDeadline(rs);
  Sys sys;
  if (!LoadRunDesign(rs, sys)) return stopped();
  if (rs.fSkipCompleteDesigns != 0 && sys.t == sys.k && sys.m == sys.k) {
    DualPrint("-S given. Skipped <%s>.\n", sys.szFileName);
    return stopped();
  }
  ShowLoadedDesign(rs, sys);
  // The certificate, the profile, the canonical form and the lambdas of -x
  // -s speak of every block as loaded; the analysis below leaves the
  // redundant ones out.
  const bool lambdasShown = rs.fShowDupeTSets != 0 && rs.fShowSummary != 0;
  PointSetList loaded(sys.v);
  if (rs.fJson != 0 || rs.fProfile != 0 || rs.fCanonical != 0 || lambdasShown)
    loaded = LoadedBlocks(sys);

  TestContext ctx;
  SetupAnalysis(ctx, sys, EngineOptions(rs, sys, true, deadline));

  bool redundantFound = false;
  bool tested = false;
  bool timedOut = false;
  long removedCount = 0;
  // From the analysis to the verdict the test is bounded by --time-limit:
  // the first piece of work that finds it passed unwinds to here.
  try {
    const std::time_t started = NowSeconds();
    const char* prefix = rs.fNoRedundTesting != 0 ? "" : "Redundancy ";
    DualPrint("%sAnalysis started:\n", prefix);
    redundantFound = RemoveRedundantBlocks(ctx, sys);
    DualPrint("%sAnalysis finished (%ld seconds)\n", prefix,
              static_cast<long>(NowSeconds() - started));

    if (toSysDir) SetSysDirFName(sys);

    removedCount = static_cast<long>(ctx.ulSeen) - static_cast<long>(sys.b);
    if (redundantFound)
      DualPrint("Total %ld redundant blocks detected. They will be ignored during testing.\n",
                removedCount);
    DualPrint("Blocks: %ld     Redundant: %ld     Testing: %ld \n", static_cast<long>(ctx.ulSeen),
              removedCount, static_cast<long>(sys.b));
    PrintTSetReport(ctx);
    if (lambdasShown) PrintSubsetLambdas(rs, sys, loaded);
    if (sys.m < sys.k) AnalyseDerived(ctx, rs, sys);
    if (rs.fDoTesting != 0 || (force && redundantFound)) {
      tested = out.tested = true;
      out.passed = TestDesign(ctx, sys.szFileName);
      out.undecided = ctx.fUndecided != 0;
    }
  } catch (const TimeLimitReached&) {
    ReportTimeLimit(rs, sys.szFileName);
    timedOut = true;
    out.passed = false;
    out.undecided = true;
  }

  bool created = false;
  bool reduced = redundantFound; // blocks left out, by the analysis or --reduce
  bool ownReduction = false;     // -c --output after a test that left nothing out
  bool written = false;
  if (tested && !timedOut) {
    // Only a last pass that skipped combinations leaves room for doubt.
    if (out.passed && ctx.ulSkipperLow != 0 && sys.m != sys.t && ctx.fProved == 0)
      DualPrint("Warn: Use -Q0 -q0 to be 100%% sure! (for m != t only) \n");
    if (rs.fReduce != 0)
      reduced = ReduceStep(rs, ctx, sys, out.passed && !out.undecided) || reduced;
    out.removed = out.passed && reduced ? ctx.ulSeen - sys.b : 0;

    // -c writes the reduced design; with a name of the user's own
    // (--output) it writes it also when nothing went, since the design is
    // then its own reduction and a script waits for that file.
    ownReduction =
        rs.fWriteNonRedundantsToFile != 0 && !reduced && !rs.szOutputFile.empty() && out.passed;
    const bool cWrites = (rs.fWriteNonRedundantsToFile != 0 && reduced) || ownReduction;
    bool write = false;
    if (rs.fWriteToNewFile == 0 && !cWrites) {
      write = false;
    } else if (out.undecided) {
      write = false; // nothing was verified, and -c writes only what was tested
    } else if (!out.passed && rs.fWriteToNewFile != 0) {
      DualPrint("WARN: Can't create new file because verification failed!\n");
    } else {
      write = rs.fWriteToNewFile != 0 || cWrites;
    }
    if (write && ownReduction && rs.fWriteToNewFile == 0)
      DualPrint("No block to leave out: the design is its own reduction.\n");
    if (write) {
      written = WriteNewFile(rs, sys, reduced, toSysDir, ctx.ulSeen);
      created = true;
    }
  } else if (!timedOut) {
    DualPrint("\nTesting disabled by user\n\n");
    if (rs.fWriteToNewFile != 0)
      DualPrint("WARN: Can't create new file without verifying! Use -y \n");
  }
  // -e asks for a copy of the design, -c for the reduced design when there
  // is one; either is missing unless a complete file or dump results.
  const bool outputAsked =
      rs.fWriteToNewFile != 0 || (rs.fWriteNonRedundantsToFile != 0 && reduced) || ownReduction;
  out.outputMissing = outputAsked && out.passed && !written;

  if (out.passed && reduced && !created) {
    DualPrint("Redundant blocks detected (for t=%hu m=%hu)!\n", sys.t, sys.m);
    DualPrint("Use -c -d -y options to create a new sysfile with %ld blocks.\n",
              static_cast<long>(sys.b));
  }
  DrawProfile profile;
  const bool profiled =
      rs.fProfile != 0 &&
      RunDrawProfile(sys, loaded, rs.ulThreads != 0 ? rs.ulThreads : UsableProcessors(), profile);
  CanonicalFindings canonical;
  if (rs.fCanonical != 0) canonical = RunCanonicalForm(rs, DescribedBlocks(rs, sys, loaded), sys.v);
  if (rs.fJson != 0) {
    RunFindings found;
    found.canonical = rs.fCanonical != 0 ? &canonical : nullptr;
    found.ctx = tested || timedOut ? &ctx : nullptr;
    found.passed = out.passed;
    found.undecided = out.undecided;
    found.timedOut = timedOut;
    found.losing = ctx.losingCount;
    found.redundant = static_cast<uint64_t>(removedCount);
    found.profile = profiled ? &profile : nullptr;
    found.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - runStarted).count();
    EmitCertificate(rs, MakeCertificate(rs, sys, loaded, found));
    out.certified = true;
  }
  ConsoleFlush();
  return out;
}

RunOutcome RunOne(RunSettings& rs, bool force, bool toSysDir) {
  if ((rs.usMskSeperatorline & 1u) != 0) DualPrint("\r%s\n", kSeparator);
  const RunOutcome out = RunDesign(rs, force, toSysDir);
  if ((rs.usMskSeperatorline & 2u) != 0) DualPrint("\r%s\n", kSeparator);
  return out;
}

bool MakeSys(Sys& sys, const DesignParams& p, const char* fileName, const LoadOptions& opt) {
  sys.fLoaded = 0;
  ParamsOf(sys) = p;
  if (opt.base >= 0) sys.base = static_cast<uint16_t>(opt.base);
  const bool nameGiven = fileName != nullptr && fileName[0] != '\0';
  if (nameGiven) {
    if (!SetSysFileName(sys, fileName)) return false;
  } else {
    std::string path;
    uint32_t count = 0;
    const bool found = FindBestSysFile(p, path, count);
    if (!SetSysFileName(sys, path.c_str()) || !found) return false;
  }
  sys.fLoaded = ReadSys(sys, nameGiven, opt) ? 1 : 0;
  return sys.fLoaded != 0;
}

} // namespace kovra
