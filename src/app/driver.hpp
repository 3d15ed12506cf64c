// The design run: one design from its file to its verdict and new file.
#pragma once

#include "base/settings.hpp"

#include <cstdint>

namespace kovra {

// Loads, reduces, reports, tests and writes one design as the settings say.
// Returns the verdict (true when testing was not done and nothing failed).
bool RunDesign(RunSettings& rs, uint32_t* removed, bool force, bool toSysDir);

} // namespace kovra
