// The program entry: banner, option parse, run mode and exit status.
#pragma once

#include "base/settings.hpp"

#include <cstdint>

namespace kovra {

// The whole program; returns the exit status. A fatal error anywhere below
// unwinds to here and its code is returned.
int KovraMain(int argc, const char* const* argv);

// Frames one design run with the -A separator lines; true when the run
// reported success. *removed receives the count of removed redundant blocks.
bool RunOne(RunSettings& rs, uint32_t* removed, bool force, bool toSysDir);

} // namespace kovra
