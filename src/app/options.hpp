// The command line: echo, options into RunSettings, warnings, screen requests.
#pragma once

#include "base/settings.hpp"

namespace kovra {

// The value of -u that, given as the first argument, switches the internal
// mode on ("-u7").
inline constexpr unsigned INTERNAL_ACCESS_VALUE = 7;

// Prints "\rCmdline: KOVRA arg1 arg2 ... \n" (the program is always named KOVRA).
void EchoCmdline(int argc, const char* const* argv);

// Echoes the command line, applies every option to `rs` (range errors end the
// program), prints the warnings and shows the requested screens. Returns
// false when screens were shown (the program then ends with status 0).
bool ParseOptions(int argc, const char* const* argv, RunSettings& rs);

} // namespace kovra
