// The design run: one design from its file to its verdict and new file.
#pragma once

#include "base/settings.hpp"
#include "design/sys.hpp"
#include "formats/loader.hpp"
#include "kovra/kovra.hpp"

#include <cstdint>

namespace kovra {

// What one design run tells its caller.
struct RunOutcome {
  bool passed = true;         // the verdict; true when testing was not done and nothing failed
  bool outputMissing = false; // -e or -c asked for a file (or dump) that was not made in full
  uint32_t removed = 0;       // redundant blocks removed, when the test ran and passed
  bool undecided = false;     // the test could not decide (passed is false then)
  bool tested = false;        // the coverage test ran (a verdict or undecided)
  bool certified = false;     // its certificate was written (--json)
};

// Loads the design a run is given (rs.szDesignFile, or the system tree's
// file for the parameters) as the settings say; false, after "SysLoad Err",
// when none could be read.
bool LoadRunDesign(RunSettings& rs, Sys& sys);

// Brings a loaded design to base 1 and prints its "Sys loaded" line; the
// run's parameters become the design's.
void ShowLoadedDesign(RunSettings& rs, Sys& sys);

// The design as the facade takes it: every block the array holds now, in
// the file's base, named as the run names it.
api::Design DesignOf(const Sys& sys);

// Loads, reduces, reports, tests and writes one design as the settings say.
RunOutcome RunDesign(RunSettings& rs, bool force, bool toSysDir);

// RunDesign framed by the -A separator lines: how the entry, the batch modes
// and the parameter search run every design.
RunOutcome RunOne(RunSettings& rs, bool force, bool toSysDir);

// Reads a design for the given parameters: from `fileName` when given (and
// not empty), else the best file of its class in the system tree. It lives
// here rather than beside the loader because it joins the loader and the
// system tree, two parts of one level that do not include each other. True
// when a design was read.
bool MakeSys(Sys& sys, const DesignParams& p, const char* fileName, const LoadOptions& opt);

} // namespace kovra
