// Console output: every message of the program leaves through DualPrint.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

namespace kovra {

#define KOVRA_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))

// Prints to standard output and, when standard output is not a terminal, the
// same text to standard error, so a user who redirects the log still sees the
// run. Returns the character count of the last write, as a 16-bit number.
int16_t DualPrint(const char* format, ...) KOVRA_PRINTF(1, 2);
int16_t VDualPrint(const char* format, va_list args) KOVRA_PRINTF(1, 0);

// Standard output only (a design dumped with -D, the one loader message that
// must not be mirrored).
void StdoutPrint(const char* format, ...) KOVRA_PRINTF(1, 2);

// Standard error only (load progress, the key prompt).
void StderrPrint(const char* format, ...) KOVRA_PRINTF(1, 2);

// Flushes both streams; called before long computations and at the exit.
void ConsoleFlush();

// True when standard output is a terminal (a character device).
bool StdoutIsConsole();

// True when standard error is a terminal: progress that only a watching
// person needs (the loader's block counter) is shown only then.
bool StderrIsConsole();

// While an instance lives, console output is collected here instead of being
// written: `out` receives what would reach standard output (DualPrint is
// recorded once), `err` what would go to standard error only. For tests.
class ConsoleCapture {
public:
  ConsoleCapture();
  ~ConsoleCapture();
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  std::string out;
  std::string err;

private:
  ConsoleCapture* previous_;
};

} // namespace kovra
