// The design run: one design from its file to its verdict and new file.
#pragma once

#include "base/settings.hpp"

#include <cstdint>

namespace kovra {

// What one design run tells its caller.
struct RunOutcome {
  bool passed = true;         // the verdict; true when testing was not done and nothing failed
  bool outputMissing = false; // -e or -c asked for a file (or dump) that was not made in full
  uint32_t removed = 0;       // redundant blocks removed, when the test ran and passed
};

// Loads, reduces, reports, tests and writes one design as the settings say.
RunOutcome RunDesign(RunSettings& rs, bool force, bool toSysDir);

} // namespace kovra
