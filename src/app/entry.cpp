// The program entry: banner, option parse, choice of run mode, exit status.
#include "app/entry.hpp"

#include "app/batch.hpp"
#include "app/designlist.hpp"
#include "app/driver.hpp"
#include "app/isomorphic.hpp"
#include "app/options.hpp"
#include "app/search.hpp"
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "base/shutdown.hpp"
#include "base/version.hpp"
#include "formats/loader.hpp"
#include "info/screens.hpp"
#include "kovra/kovra.hpp"
#include "output/newfile.hpp"
#include "output/safefile.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace kovra {
namespace {

void PrintBanner() {
  DualPrint("%s %s/32 %s%s   -   %sFAST! Wheel, Covering, and t-Design Checker\n", PROGRAM_NAME,
            VersionText().c_str(), BuildStamp().c_str(), "", "");
  DualPrint("Checks, reduces and converts covering designs; no warranty. Help: %s -h\n",
            PROGRAM_NAME);
  DualPrint("\n* THIS IS A BETA RELEASE FOR TESTING ONLY; USE IT AT YOUR OWN RISK!\n"
            "* PLEASE REPORT ANY BUGS FOUND TO THE AUTHOR.\n");
  DualPrint("\n%s is a general Verification and Redundancy Detection Program\n"
            "      for Covering Designs, Steiner Systems, t-Designs and Wheels\n\n",
            PROGRAM_NAME);
}

// The file of --json=FILE: written beside its name and put in place when the
// run ends, so that a half-run leaves no half-file. False when it could not
// be made (the run then ends with status 4).
bool OpenCertificates(RunSettings& rs, PendingFile& file) {
  if (rs.fJson == 0 || rs.szJsonFile.empty()) return true;
  // As for --output: an existing file is replaced with -O only.
  const bool replace = rs.fOverwrite != 0;
  if (!MayCreateFile(rs.szJsonFile, replace)) return false;
  if (OpenPendingFile(file, rs.szJsonFile, replace)) {
    rs.certificates = file.stream;
    return true;
  }
  DualPrint("Err: Can't create <%s> (%s).\n", rs.szJsonFile.c_str(), std::strerror(errno));
  return false;
}

bool CloseCertificates(RunSettings& rs, PendingFile& file) {
  if (rs.certificates == nullptr) return true;
  // A run that stopped before any design was tested (a parameter clash, a
  // file that would not load) leaves no empty file that looks like one.
  std::fflush(rs.certificates);
  rs.certificates = nullptr;
  if (file.written == 0 && file.writeError == 0) {
    DiscardPendingFile(file);
    return true;
  }
  std::string why;
  if (CommitPendingFile(file, &why)) return true;
  DualPrint("Err: Writing <%s> failed (%s).\n", rs.szJsonFile.c_str(), why.c_str());
  return false;
}

// --merge: the shares' verdict as one whole run would give it, or 2 for
// shares that do not fit (never a verdict then).
int MergeShares(const RunSettings& rs) {
  api::Log console;
  console.console = true;
  const api::Result<api::Merged> merged = api::MergeShares(rs.mergeFiles, rs.ulMaxLosing, console);
  if (!merged) return EXIT_MERGE_REFUSED;
  switch (merged->verdict) {
  case api::Verdict::kOk: return 0;
  case api::Verdict::kFail: return 1;
  case api::Verdict::kUndecided: break;
  }
  return EXIT_UNDECIDED;
}

int RunDesigns(RunSettings& rs) {
  if (rs.fInternalOptions != 0) {
    if (rs.fTestAll != 0) return TestAll(rs) ? 0 : EXIT_OUTPUT_MISSING;
    if (rs.fCDsOnly != 0) return CDsOnly(rs) ? 0 : EXIT_OUTPUT_MISSING;
    if (rs.fToSysDir != 0) {
      rs.fUseL_InOldStyleFNames = 0;
      rs.fForceTestingIfRedund = 1;
    }
  }
  if (rs.fFindDesignParams != 0) return FindDesignParams(rs, rs.szDesignFile) ? 1 : 0;
  if (rs.fMerge != 0) return MergeShares(rs);
  if (rs.fIsomorphic != 0) return CompareDesigns(rs, rs.isomorphicFiles);

  // Each file in turn; a file that holds several designs (XML) gives one
  // input each, named FILE#I.
  std::vector<DesignInput> inputs;
  std::vector<std::string> files = rs.designFiles;
  if (files.empty()) files.push_back(rs.szDesignFile);
  for (const std::string& file : files) {
    const uint32_t designs = file.empty() ? 1 : DesignsInFile(file.c_str(), rs.ulMemoryBound);
    for (uint32_t i = 0; i < designs; ++i)
      inputs.push_back(
          DesignInput{file, i, designs > 1 ? file + "#" + std::to_string(i + 1) : std::string()});
  }
  return RunDesignList(rs, inputs);
}

int RunMode(int argc, const char* const* argv) {
  RunSettings rs;
  const EarlyRequests early = ScanEarlyRequests(argc, argv);
  if (early.version) {
    DualPrint("kovra %u.%02u%s\n", VERSION_NUMBER / 100, VERSION_NUMBER % 100,
              VERSION_NUMBER % 2 != 0 ? "beta" : "");
    DualPrint("Copyright KOVRA developers; MIT License. There is no warranty.\n");
    return 0;
  }
  if (early.help) {
    ShowLongHelp();
    return 0;
  }
  if (early.designToStdout || early.certificatesToStdout) SetLogToStderr();
  if (early.quiet) SetQuietLog();
  PrintBanner();
  if (!ParseOptions(argc, argv, rs)) return 0;
  PendingFile certificates;
  if (!OpenCertificates(rs, certificates)) return EXIT_OUTPUT_MISSING;
  const int status = RunDesigns(rs);
  if (!CloseCertificates(rs, certificates) && status == 0) return EXIT_OUTPUT_MISSING;
  return status;
}

} // namespace

int KovraMain(int argc, const char* const* argv) {
  InitConsole();
  InstallSignalCleanup();
  int status = 0;
  try {
    status = RunMode(argc, argv);
  } catch (const FatalExit& e) {
    status = e.code;
  } catch (const std::bad_alloc&) {
    // Memory ran out somewhere no size check foresaw: end like the other
    // out-of-memory exits instead of dropping the buffered log.
    try {
      ErrExit(13, "Mem Alloc Err!");
    } catch (const FatalExit& e) {
      status = e.code;
    }
  }
  ConsoleFlush();
  // A log that did not reach its file is an output lost like a design file
  // that was not written. A reader that went away (`kovra ... | head`) is no
  // error worth a word.
  const int lost = StdoutError();
  if (lost != 0 && lost != EPIPE) {
    StderrPrint("Err: can't write standard output (%s)\n", std::strerror(lost));
    if (status == 0) status = EXIT_OUTPUT_MISSING;
  }
  return status;
}

} // namespace kovra
