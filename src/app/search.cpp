// The parameter search: k and v from the data, then the strongest t, m and l
// that the blocks satisfy, by running the design run on candidate parameters.
#include "app/search.hpp"

#include "app/jsonlines.hpp"
#include "base/console.hpp"
#include "base/file.hpp"
#include "base/input.hpp"
#include "base/memory.hpp"
#include "base/tempfile.hpp"
#include "design/sys.hpp"
#include "formats/idline.hpp"
#include "formats/loader.hpp"
#include "formats/nestedlist.hpp"
#include "formats/textfmt.hpp"
#include "report/certificate.hpp"

#include <chrono>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace kovra {
namespace {

struct Scan {
  unsigned long v = 0;
  unsigned long k = 0;
  bool ok = true;
  uint8_t kind = 0; // compression kind named by an ID line
};

// Counts the distinct point values and the numbers per line. A compressed
// file's ID line gives v and k directly.
Scan ScanFile(TextCursor text, const char* fileName, bool newFNameSchemeRun) {
  Scan s;
  bool seen[MAX_N + 1] = {};
  char line[LINE_BUFSIZE];
  while (ReadTextLine(line, text, false, true, true)) {
    const char* p = SkipLead(line);
    if (IsKeyword(p, "ID ")) {
      IdRecord id;
      ParseIdLine(id, p, true, fileName, newFNameSchemeRun);
      if (id.tooLarge) {
        s.ok = false;
        break;
      }
      if (id.bCmpr != 0) {
        s.v = id.v;
        s.k = id.k;
        s.kind = id.bCmpr;
        break;
      }
    }
    int32_t numbers[MAX_K + 2];
    bool overflow = false;
    const int n = ReadNumberLine(numbers, MAX_K + 2, line, &overflow);
    if (n == 0) continue;
    if (s.k == 0) s.k = static_cast<unsigned long>(n);
    if (static_cast<unsigned long>(n) != s.k || overflow) {
      DualPrint("Err: lines have different nbr of items or k too big\n");
      s.ok = false;
      break;
    }
    for (int i = 0; i < n && s.ok; ++i) {
      if (numbers[i] < 0 || numbers[i] > MAX_N) {
        DualPrint("Err: data out of range\n");
        s.ok = false;
      } else if (!seen[numbers[i]]) {
        seen[numbers[i]] = true;
        ++s.v;
      }
    }
    if (!s.ok) break;
  }
  return s;
}

// A design written as one nested list (JSON, GAP) has no lines to count:
// the loader reads it, k from its blocks, and v is the number of distinct
// points among them.
Scan ScanNestedList(const char* fileName, uint64_t bound) {
  Scan s;
  LoadParams io;
  io.v = MAX_V;
  io.t = io.m = io.l = 1;
  io.kOpen = true;
  const BlockArray blocks = SysLoad(fileName, io, true, 0, true, false, bound);
  if (blocks == nullptr) {
    s.ok = false;
    return s;
  }
  bool seen[MAX_N + 1] = {};
  for (uint64_t i = 0; i < uint64_t{io.b} * io.k; ++i) {
    s.v += seen[blocks[i]] ? 0 : 1;
    seen[blocks[i]] = true;
  }
  s.k = io.k;
  return s;
}

// Writes the blocks renumbered densely from 1, without ID line, to a fresh
// temporary file; the candidate runs read that copy. The internal mode names
// it. Returns the block count
// of the original (0 when it could not be loaded).
uint32_t MakeDenseCopy(const Scan& s, const std::string& fileName, uint64_t bound, TempFile& tmp,
                       bool internal) {
  Sys sys;
  LoadOptions load;
  load.memoryBound = bound;
  load.sort = false;
  load.base = 1;
  load.bCompressed = s.kind;
  load.closeGaps = true;
  const DesignParams p{static_cast<uint16_t>(s.v), static_cast<uint16_t>(s.k), 1, 1, 1};
  if (!MakeSys(sys, p, fileName.c_str(), load)) return 0;
  const uint32_t b = sys.b;
  CloseGaps(sys.blocks.get(), sys.b, sys.k, 1);
  int fd = -1;
  if (!tmp.Create("", ".tmp", &fd)) {
    DualPrint("Err: can't create a temporary file\n");
    return b;
  }
  DualPrint("\nThe candidates read the blocks of <%s> renumbered from 1, without ID\n\n",
            fileName.c_str());
  if (internal) DualPrint("Copy: <%s>\n", tmp.path().c_str());
  // Through the descriptor that created the file: its name could meanwhile
  // lead somewhere else.
  FilePtr out(::fdopen(fd, "w"));
  if (!out) ::close(fd);
  bool written = false;
  if (out) {
    WriteBlockLines(sys.blocks.get(), sys.b, sys.k, out.get());
    written = std::fflush(out.get()) == 0 && std::ferror(out.get()) == 0;
    written = std::fclose(out.release()) == 0 && written;
  }
  if (!written) {
    DualPrint("Err: can't write the temporary file <%s>\n", tmp.path().c_str());
    tmp.Remove();
  }
  return b;
}

struct Found {
  unsigned long v = 0, t = 0, m = 0, l = 0;
  unsigned long redunds = 0;
};

void SetCandidate(RunSettings& rs, unsigned long v, unsigned long k, unsigned long t,
                  unsigned long m, unsigned long l) {
  rs.v = static_cast<uint16_t>(v);
  rs.k = static_cast<uint16_t>(k);
  rs.t = static_cast<uint16_t>(t);
  rs.m = static_cast<uint16_t>(m);
  rs.l = static_cast<uint16_t>(l);
  rs.b = 0;
  // The candidate's parameters are the search's own choice, not defaults.
  ResetCmdGiven(rs.given);
  ParamsOf(rs.given) = ParamsOf(rs);
}

// Tries t from high to low, m from t up, v' from v + m - t down to v; the
// first candidate that passes wins, and its l is raised while it still passes.
// Every candidate run is appended to `tries`.
bool Search(RunSettings& rs, unsigned long v, unsigned long k, const SearchRunFn& plainRun,
            Found& found, std::vector<SearchTry>& tries) {
  const auto run = [&](RunSettings& r, bool force, bool toSysDir) {
    const RunOutcome out = plainRun(r, force, toSysDir);
    tries.push_back({ParamsOf(r), out.undecided ? CertificateVerdict::kUndecided
                                  : out.passed  ? CertificateVerdict::kOk
                                                : CertificateVerdict::kFail});
    return out;
  };
  const unsigned long firstT = rs.T < k ? rs.T : k;
  const unsigned long topM = rs.M;
  for (unsigned long t = firstT; t >= 1; --t) {
    for (unsigned long m = t; m <= topM; ++m) {
      if (rs.fSkipCompleteDesigns != 0 && t == k && m == k) continue;
      for (unsigned long vc = v + (m - t); vc >= v; --vc) {
        SetCandidate(rs, vc, k, t, m, 1);
        const RunOutcome first = run(rs, rs.fForceTestingIfRedund != 0, rs.fToSysDir != 0);
        if (!first.passed) continue;
        found = Found{vc, t, m, 1, first.removed};
        for (unsigned long l = 2; l <= 255; ++l) {
          SetCandidate(rs, vc, k, t, m, l);
          const RunOutcome raised = run(rs, rs.fForceTestingIfRedund != 0, rs.fToSysDir != 0);
          if (!raised.passed) break;
          found.l = l;
          found.redunds = raised.removed;
        }
        return true;
      }
    }
  }
  return false;
}

} // namespace

bool FindDesignParams(RunSettings& rs, const std::string& fileName) {
  return FindDesignParams(rs, fileName, RunOne);
}

bool FindDesignParams(RunSettings& rs, const std::string& fileName, const SearchRunFn& run) {
  // The caller may pass the design file name of the run settings itself,
  // which is about to name the copy instead.
  const std::string file = fileName;
  // No run of the search writes a file; every run builds its design from the
  // run settings.
  rs.fForceTestingIfRedund = 0;
  rs.fWriteToNewFile = 0;
  rs.fWriteNonRedundantsToFile = 0;
  rs.fOverwrite = 0;
  rs.fToSysDir = 0;
  rs.bCompressed = 0;
  rs.fDoTesting = 1;
  rs.fParamsGiven = 1;
  // The candidates' verdicts are no design's verdicts (see AnalysisOptions::fCandidate),
  // and their certificates none of the user's: --json gets one record of
  // the whole search instead.
  rs.fCandidates = 1;
  const bool json = rs.fJson != 0;
  rs.fJson = 0;
  const auto started = std::chrono::steady_clock::now();
  SearchRecord record;
  record.file = file;
  record.command = rs.szCommand;
  // A candidate fails at its first losing combination; counting the others
  // would cost a complete walk for every candidate that fails.
  rs.fCountAllLosing = 0;
  // A candidate that passed a sampled last pass may still miss combinations;
  // the search reports only parameters tested on every combination.
  if (rs.ulSkipperLow != 0) {
    DualPrint("Warn: -z2 tests every combination; -q%lu ignored.\n",
              static_cast<unsigned long>(rs.ulSkipperLow));
    rs.ulSkipperLow = 0;
  }

  // The same refusals as the loader's (a directory, a device that never
  // ends). "-" is standard input, which the copy reads a second time: what
  // the scan reads of it is kept for that, within the memory bound.
  const uint64_t bound = rs.ulMemoryBound != 0 ? rs.ulMemoryBound : DefaultMemoryBound();
  if (file == STDIN_NAME) KeepStandardInput(bound);
  Scan scan;
  bool nested = false;
  {
    InputStream input;
    if (!OpenDesignInput(file.c_str(), input)) {
      DualPrint("Err: can't open file <%s>\n", file.c_str());
      if (json) EmitJsonLine(rs, SearchJson(record));
      return false;
    }
    TextCursor text = CursorOn(input);
    nested = StartsNestedList(text);
    if (!nested) scan = ScanFile(text, file.c_str(), rs.fRunNewFNameScheme != 0);
  }
  if (nested) scan = ScanNestedList(file.c_str(), bound);
  DualPrint("So far detected: k=%lu, v=%lu%s\n", scan.k, scan.v,
            scan.ok ? "" : ", but errors found!");
  // Data the scan rejected is not loaded for the copy either: the loader
  // would end the program on the very line the scan stopped at (a line of
  // another length, a number beyond 255) instead of reporting it here.
  const bool valid = scan.ok && scan.k >= 1 && scan.k <= MAX_K && scan.v >= 1 && scan.v <= MAX_V &&
                     scan.v >= scan.k;

  // The copy is removed on every way out, the fatal exit included.
  TempFile tmp;
  uint32_t copyB = 0;
  if (valid) {
    copyB = MakeDenseCopy(scan, file, bound, tmp, rs.fInternalOptions != 0);
    KeepStandardInput(0); // the candidates read the copy
    if (tmp.exists()) {
      // The copy is numbered from 1 whatever -a said of the file, and the
      // runs name the file the user gave, not the copy.
      rs.szDesignFile = tmp.path();
      rs.szDisplayName = file;
      rs.usInBase = 1;
    }
  }

  Found found;
  bool ok = false;
  if (!valid)
    DualPrint("Err: Invalid data, or beyond limits\n");
  else {
    // The copy has no ID line, as said above; the loader would say so
    // again at every candidate, in a warning a search of the log finds.
    const LogLinesLeftOut noIdLine("WARNING: No ID line found.");
    ok = Search(rs, scan.v, scan.k, run, found, record.tries);
  }

  tmp.Remove();
  if (json) {
    record.scannedK = static_cast<unsigned>(scan.k);
    record.scannedV = static_cast<unsigned>(scan.v);
    record.b = copyB;
    record.found = ok;
    record.params = DesignParams{static_cast<uint16_t>(found.v), static_cast<uint16_t>(scan.k),
                                 static_cast<uint16_t>(found.t), static_cast<uint16_t>(found.m),
                                 static_cast<uint16_t>(found.l)};
    record.redundant = found.redunds;
    record.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EmitJsonLine(rs, SearchJson(record));
  }
  DualPrint("\n\nRESULT:\n");
  if (!ok) {
    DualPrint("\nErr: No satisfying params found, or an error happened\n");
    return false;
  }
  DualPrint("\nSatisfying params found: v=%lu,k=%lu,t=%lu,m=%lu,l=%lu,b<=%lu (redunds=%lu)\n",
            found.v, scan.k, found.t, found.m, found.l, static_cast<unsigned long>(copyB),
            found.redunds);
  DualPrint("You can try further fine-tuning with setting -T and -M to %hu..%hu \n(current: -T=%hu "
            "-M=%hu) and comparing the found parms with the known\nbounds from the lists... Re-run "
            "with lower values for -T -M...\n",
            static_cast<unsigned short>(7), static_cast<unsigned short>(1), rs.T, rs.M);
  return true;
}

} // namespace kovra
