// The program entry: banner, option parse, run mode and exit status.
#pragma once

namespace kovra {

// The whole program; returns the exit status. A fatal error anywhere below
// unwinds to here and its code is returned.
int KovraMain(int argc, const char* const* argv);

// Exit status of a run whose verdict allowed writing a file that -e or -c
// asked for, when that file was not made in full (or standard output, the
// log, could not be written).
inline constexpr int EXIT_OUTPUT_MISSING = 4;

// Exit status of a run whose test could not decide (the complete pass was
// beyond reach): neither OK nor FAIL.
inline constexpr int EXIT_UNDECIDED = 5;

// Exit status of a merge that found parts it cannot join: one missing,
// repeated, damaged or of another design. Never a verdict.
inline constexpr int EXIT_MERGE_REFUSED = 2;

} // namespace kovra
