// The design run: load, bring to base 1, remove redundant blocks while
// counting coverage, report, test, and write a new file when asked.
#include "app/driver.hpp"

#include "app/jsonlines.hpp"
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "base/range.hpp"
#include "base/version.hpp"
#include "design/sys.hpp"
#include "formats/loader.hpp"
#include "kovra/kovra.hpp"
#include "output/newfile.hpp"
#include "output/systree.hpp"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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

// How the run prints the points of the design: by the file's numbers
// under -z, else in the file's base.
unsigned PointName(const Sys& sys, unsigned p) {
  return !sys.fileNumbers.empty() ? sys.fileNumbers[p - 1] : p + sys.given.usFileBase - 1u;
}

// Keeps the rows of the array at `rows`, in that order (the blocks of the
// design they were indices of).
void KeepRows(Sys& sys, const std::vector<uint32_t>& rows) {
  std::vector<Point> kept;
  kept.reserve(rows.size() * sys.k);
  for (const uint32_t r : rows) kept.insert(kept.end(), BlockAt(sys, r), BlockAt(sys, r) + sys.k);
  std::copy(kept.begin(), kept.end(), sys.blocks.get());
  sys.b = static_cast<uint32_t>(rows.size());
}

// A fault the facade reported: the run ends as the fatal exit it came from
// would have ended it (its message was printed on the way).
template <class T>
const T& OrExit(const api::Result<T>& r) {
  if (!r) throw FatalExit{r.error().status};
  return *r;
}

// The facade's options for the run's settings; the log goes to the console.
api::VerifyOptions VerifyOptionsOf(const RunSettings& rs) {
  api::VerifyOptions o;
  o.threads = rs.ulThreads;
  o.memoryBound = rs.ulMemoryBound;
  o.maxLosing = rs.ulMaxLosing;
  o.maxReport = rs.ulMaxReport;
  // A share runs as long as its share takes (sharing a long walk is what it
  // is for) unless a limit was given.
  o.timeLimitSeconds = rs.ulPartCount != 0 && rs.fTimeLimitGiven == 0 ? 0 : rs.ulTimeLimit;
  o.prove = rs.fProve != 0;
  o.countAll = rs.fCountAllLosing != 0;
  o.redundancyAnalysis = rs.fNoRedundTesting == 0;
  o.showRedundant = rs.fShowRedundants != 0;
  o.listDuplicates = rs.fShowDupeTSets != 0;
  o.summary = rs.fShowSummary != 0;
  o.skipperHigh = rs.ulSkipperHigh;
  o.skipperHighGiven = rs.fSkipperHighGiven != 0;
  o.skipperLow = rs.ulSkipperLow;
  o.internal = rs.fInternalOptions != 0;
  o.partIndex = rs.ulPartIndex;
  o.partCount = rs.ulPartCount;
  o.keepLosing = rs.fJson != 0 || rs.ulPartCount != 0;
  o.candidate = rs.fCandidates != 0;
  o.log.console = true;
  return o;
}

// --reduce: after a test that passed, leaves out every block the design
// does not need under the exact notion of covered, and says how many went,
// which ones (-d) and the new b. True when blocks went.
bool ReduceStep(const RunSettings& rs, api::VerifyOptions opt, Sys& sys, bool holds,
                double secondsLeft) {
  if (!holds) {
    DualPrint("Not reduced: the design does not hold.\n");
    return false;
  }
  // The run's --time-limit bounds the reduction too: it has what is left.
  if (opt.timeLimitSeconds > 0) opt.timeLimitSeconds = std::max(secondsLeft, 0.001);
  const api::Result<api::Reduction> reduction = api::Reduce(DesignOf(sys), opt, true);
  const api::Reduction& r = OrExit(reduction);
  if (!r.done) {
    if (r.why.rfind("Not reduced: --time-limit=", 0) == 0)
      DualPrint("Not reduced: --time-limit=%lu seconds was reached first (0 sets no limit).\n",
                static_cast<unsigned long>(rs.ulTimeLimit));
    else
      DualPrint("%s\n", r.why.c_str());
    return false;
  }
  if (rs.fShowRedundants != 0)
    for (const uint32_t i : r.removed) {
      DualPrint("Not needed: block");
      for (unsigned j = 0; j < sys.k; ++j)
        DualPrint(" %2hu", static_cast<unsigned short>(PointName(sys, BlockAt(sys, i)[j])));
      DualPrint("\n");
    }
  // The blocks that stay keep their order.
  std::vector<bool> gone(sys.b, false);
  for (const uint32_t i : r.removed) gone[i] = true;
  std::vector<uint32_t> rows;
  for (uint32_t i = 0; i < sys.b; ++i)
    if (!gone[i]) rows.push_back(i);
  const uint32_t before = sys.b;
  KeepRows(sys, rows);
  DualPrint("Exact reduction: %lu of %lu blocks not needed (tried from the last); b=%lu\n",
            static_cast<unsigned long>(before - sys.b), static_cast<unsigned long>(before),
            static_cast<unsigned long>(sys.b));
  return before != sys.b;
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

api::Design DesignOf(const Sys& sys) {
  api::Design d;
  d.params = api::Params{sys.v, sys.k, sys.t, sys.m, sys.l};
  d.base = sys.given.usFileBase;
  d.name = sys.szFileName;
  d.fileNumbers.assign(sys.fileNumbers.begin(), sys.fileNumbers.end());
  d.fromIdLine = sys.fIdLine != 0;
  d.points.resize(size_t{sys.b} * sys.k);
  const unsigned shift = d.base - 1u;
  for (size_t i = 0; i < d.points.size(); ++i)
    d.points[i] = static_cast<uint16_t>(sys.blocks[i] + shift);
  return d;
}

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

namespace {

// The test of a loaded design, through the facade in its steps: the
// analysis, then (once the blocks it kept may name the design in the
// system tree) the report and the test. The array keeps the blocks the
// analysis kept.
api::VerifyResult TestPhase(const RunSettings& rs, const api::Design& loaded, Sys& sys, bool force,
                            bool toSysDir) {
  api::Result<api::Session> analysed = api::Session::Analyse(loaded, VerifyOptionsOf(rs));
  if (!analysed) throw FatalExit{analysed.error().status};
  api::Session session = std::move(*analysed);
  KeepRows(sys, session.result().kept);
  if (toSysDir) SetSysDirFName(sys);
  api::VerifyResult verified = OrExit(session.Report());
  const bool testing = rs.fDoTesting != 0 || (force && verified.redundant > 0);
  if (testing) verified = OrExit(session.Test(sys.szFileName));
  return verified;
}

// What the run made of a design that was tested.
struct OutputPhase {
  bool reduced = false;      // blocks left out, by the analysis or --reduce
  bool ownReduction = false; // -c --output after a test that left nothing out
  bool created = false;      // a file (or dump) was asked of WriteNewFile
  bool written = false;      // and made in full
};

// After a test that decided: the warning of a sampled last pass, --reduce,
// and the file of -e or -c.
OutputPhase WritePhase(const RunSettings& rs, const api::VerifyResult& verified,
                       const RunOutcome& out, Sys& sys, uint32_t examined, bool toSysDir,
                       double secondsLeft) {
  OutputPhase o;
  o.reduced = verified.redundant > 0;
  // Only a last pass that skipped combinations leaves room for doubt.
  if (out.passed && verified.sampledLastPass && sys.m != sys.t && !verified.proved)
    DualPrint("Warn: Use -Q0 -q0 to be 100%% sure! (for m != t only) \n");
  if (rs.fReduce != 0)
    o.reduced =
        ReduceStep(rs, VerifyOptionsOf(rs), sys, out.passed && !out.undecided, secondsLeft) ||
        o.reduced;
  // -c writes the reduced design; with a name of the user's own (--output)
  // it writes it also when nothing went, since the design is then its own
  // reduction and a script waits for that file.
  o.ownReduction =
      rs.fWriteNonRedundantsToFile != 0 && !o.reduced && !rs.szOutputFile.empty() && out.passed;
  const bool cWrites = (rs.fWriteNonRedundantsToFile != 0 && o.reduced) || o.ownReduction;
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
  if (write && o.ownReduction && rs.fWriteToNewFile == 0)
    DualPrint("No block to leave out: the design is its own reduction.\n");
  if (write) {
    o.written = WriteNewFile(rs, sys, o.reduced, toSysDir, examined);
    o.created = true;
  }
  return o;
}

// What the run says of the design beside its test: the draw profile, the
// canonical form and the certificate. With --reduce they describe the design
// that remains.
void RecordsPhase(const RunSettings& rs, const api::Design& loaded, const Sys& sys,
                  const api::VerifyResult& verified, double seconds, RunOutcome& out) {
  api::Log console;
  console.console = true;
  api::Profile profile;
  if (rs.fProfile != 0) profile = OrExit(api::DrawProfile(loaded, rs.ulThreads, console));
  const api::Design described = rs.fReduce != 0 ? DesignOf(sys) : loaded;
  api::Canonical canonical;
  if (rs.fCanonical != 0)
    canonical = OrExit(api::CanonicalForm(described, rs.ulTimeLimit, console));
  if (rs.fJson == 0) return;
  api::CertificateInput in;
  in.verified = &verified;
  in.profile = rs.fProfile != 0 ? &profile : nullptr;
  in.profileAsked = rs.fProfile != 0;
  in.reduceAsked = rs.fReduce != 0;
  in.described = &described;
  in.canonical = rs.fCanonical != 0 ? &canonical : nullptr;
  in.partIndex = rs.ulPartIndex;
  in.partCount = rs.ulPartCount;
  in.memoryBound = rs.ulMemoryBound;
  in.seconds = seconds;
  in.command = rs.szCommand;
  EmitJsonLine(rs, api::Certificate(loaded, in));
  out.certified = true;
}

} // namespace

RunOutcome RunDesign(RunSettings& rs, bool force, bool toSysDir) {
  RunOutcome out;
  const auto runStarted = std::chrono::steady_clock::now();
  const auto secondsSoFar = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - runStarted).count();
  };
  // A run that stops early asked for no file it could write; only a verdict
  // that allows writing makes a missing file a failure of its own.
  Sys sys;
  if (!LoadRunDesign(rs, sys)) {
    out.passed = false;
    return out;
  }
  if (rs.fSkipCompleteDesigns != 0 && sys.t == sys.k && sys.m == sys.k) {
    DualPrint("-S given. Skipped <%s>.\n", sys.szFileName);
    out.passed = false;
    return out;
  }
  ShowLoadedDesign(rs, sys);
  // The certificate, the profile, the canonical form and the lambdas of -x
  // -s speak of every block as loaded; the analysis leaves the redundant
  // ones out of the array.
  const api::Design loaded = DesignOf(sys);
  const auto examined = static_cast<uint32_t>(loaded.BlockCount());
  const api::VerifyResult verified = TestPhase(rs, loaded, sys, force, toSysDir);
  const bool timedOut = verified.timedOut || verified.stopped;
  out.tested = verified.tested || timedOut;
  if (out.tested) {
    out.passed = verified.verdict == api::Verdict::kOk;
    out.undecided = verified.verdict == api::Verdict::kUndecided;
  }
  OutputPhase o;
  o.reduced = verified.redundant > 0;
  if (out.tested && !timedOut) {
    // The run's --time-limit bounds the reduction too: it has what is left.
    o = WritePhase(rs, verified, out, sys, examined, toSysDir,
                   static_cast<double>(rs.ulTimeLimit) - secondsSoFar());
    out.removed = out.passed && o.reduced ? examined - sys.b : 0;
  } else if (!timedOut) {
    DualPrint("\nTesting disabled by user\n\n");
    if (rs.fWriteToNewFile != 0)
      DualPrint("WARN: Can't create new file without verifying! Use -y \n");
  }
  // -e asks for a copy of the design, -c for the reduced design when there
  // is one; either is missing unless a complete file or dump results.
  const bool outputAsked =
      rs.fWriteToNewFile != 0 || (rs.fWriteNonRedundantsToFile != 0 && o.reduced) || o.ownReduction;
  out.outputMissing = outputAsked && out.passed && !o.written;
  if (out.passed && o.reduced && !o.created) {
    DualPrint("Redundant blocks detected (for t=%hu m=%hu)!\n", sys.t, sys.m);
    DualPrint("Use -c -d -y options to create a new sysfile with %ld blocks.\n",
              static_cast<long>(sys.b));
  }
  RecordsPhase(rs, loaded, sys, verified, secondsSoFar(), out);
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
