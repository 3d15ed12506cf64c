// The command line: echo, options into RunSettings, warnings, screen requests.
#pragma once

#include "base/settings.hpp"

#include <cstdint>
#include <string_view>

namespace kovra {

// The value of -u that, given as the first argument, switches the internal
// mode on ("-u7"). Its digit must differ from the three mode digits 1, 2, 3.
inline constexpr unsigned INTERNAL_ACCESS_VALUE = 7;
static_assert(INTERNAL_ACCESS_VALUE >= 4 && INTERNAL_ACCESS_VALUE <= 9,
              "the access value is one digit other than the mode digits");

// Most screen letters one command line can request.
inline constexpr int MAX_SCREEN_REQUESTS = 32;

// The value of one option as scanned from its argument: the first character
// of its value text ('1' for "-x", "-x+" and "-x blank", '0' for "-x-", else
// the first digit), the number at its start as written (`full`, saturated at
// UINT64_MAX, so that no setting can take a number's low bits for it) and
// that number's text (`digits`), for the messages that refuse it.
struct OptionValue {
  char first = '1';
  uint64_t full = 1;
  std::string_view digits = "1";
};

// Scans the characters after the option letter: everything that is not a
// digit, '-', '+' or a blank is skipped (so -v49, -v=49, -v:49 and -vx49 all
// give 49).
OptionValue ScanOptionValue(const char* afterLetter);

// The argument that ends the options: every argument after it is a file
// name, even one that starts with '-'.
inline constexpr const char* END_OF_OPTIONS = "--";

// Exit status of an unknown long option: they are KOVRA's own, so a
// mistyped one must not be ignored (single-letter options are warned about
// and ignored, as they always were).
inline constexpr int EXIT_USAGE = 64;

// What the entry must know before it prints anything: --version ends the
// run with the version line alone; --quiet and --output=- change where and
// what the log prints.
struct EarlyRequests {
  bool version = false;
  bool help = false; // --help: the long options, nothing else
  bool quiet = false;
  bool designToStdout = false;       // --output=- or --output -
  bool certificatesToStdout = false; // --json without a file
};
EarlyRequests ScanEarlyRequests(int argc, const char* const* argv);

// Prints "\rCmdline: KOVRA arg1 arg2 ... \n" (the program is always named KOVRA).
void EchoCmdline(int argc, const char* const* argv);

// Echoes the command line, applies every option to `rs` in order (a range
// error ends the program at once through ErrExit 1; -f2 together with the
// ToSysDir mode ends it through ErrExit 21), fixes up the end values, prints
// the warnings and shows the requested screens, then the key prompt and the
// notice. Returns false when screens were shown (the program then ends with
// status 0), true to go on with a run mode.
bool ParseOptions(int argc, const char* const* argv, RunSettings& rs);

} // namespace kovra
