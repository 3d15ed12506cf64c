// Several designs in one run: each input in turn, their statuses folded
// into the one exit status of the run.
#pragma once

#include "app/driver.hpp"
#include "base/settings.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kovra {

// One design to run: a file named on the command line ("" for the best
// file of the system tree), and which of its designs when it holds several
// (XML), under a name of its own ("FILE#2").
struct DesignInput {
  std::string file;
  uint32_t designIndex = 0;
  std::string displayName; // empty: the file's own name
};

// Runs one design with the settings given; the shape of RunOne.
using DesignRunFn = std::function<RunOutcome(RunSettings& rs, bool force, bool toSysDir)>;

// The exit status of one design run: 5 undecided, 1 FAIL (or not read),
// 4 a verified design whose requested output is missing, 0 otherwise.
int DesignStatus(const RunOutcome& out);

// The worse of two exit statuses, worst first: a design that could not be
// read or ended in a fatal error (2, 3, 6 to 14 and any other code), a
// FAIL or a design not loaded (1), an undecided test (5), an output not
// written (4), OK (0). Of two statuses equally bad the first stays.
int WorseStatus(int first, int second);

// Runs the inputs one after another, each on its own copy of `rs` (no
// design inherits what the one before it loaded), and returns the worst
// of their statuses. One input runs exactly as a single design always
// did: a fatal error ends the program. With several, each gets a heading
// line, a fatal error ends only its own design, a design that leaves no
// certificate under --json gets a line that says so (so that the lines
// and the designs still match one to one), and a summary line ends the run.
int RunDesignList(const RunSettings& rs, const std::vector<DesignInput>& inputs,
                  const DesignRunFn& run);

// The same with RunOne.
int RunDesignList(const RunSettings& rs, const std::vector<DesignInput>& inputs);

} // namespace kovra
