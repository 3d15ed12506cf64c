// Console output: every message of the program leaves through DualPrint.
//
// Messages go to standard output, the log. When standard output is not a
// terminal but standard error is, each message is shown there as well, so a
// user who redirects the log still watches the run; `> log 2>&1` and
// `2> err` get one copy. Where each stream goes is decided once, at the first
// output. Both streams are buffered and written in whole lines, in program
// order; a terminal gets each message as it is printed. A carriage return
// that only serves to overwrite a progress text on a terminal is left out of
// files and pipes. Write errors are remembered, not reported on the spot:
// the entry reports a lost log once, at the end.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kovra {

#define KOVRA_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))

// Prints to standard output and mirrors the text on standard error as said
// above. Returns the character count of the text, as a 16-bit number.
int16_t DualPrint(const char* format, ...) KOVRA_PRINTF(1, 2);

// DualPrint of a text that needs no formatting. The losing combinations and
// the redundant blocks come by the hundred thousand; printf's parsing of the
// format would cost more than everything else of such a run.
void DualWrite(const char* text, size_t size);

// Writes `value` right-aligned in at least `width` columns, as "%*lu" does,
// and returns the end of what it wrote.
char* PutUnsigned(char* out, unsigned long value, int width);

// Standard output only, byte for byte (a design dumped with -D, the one
// loader message that must not be mirrored).
void StdoutPrint(const char* format, ...) KOVRA_PRINTF(1, 2);

// Standard output only, the bytes as they are (a binary design included).
void StdoutWrite(const char* data, size_t size);

// Standard error only (load progress, the key prompt).
void StderrPrint(const char* format, ...) KOVRA_PRINTF(1, 2);

// Writes out what both streams hold; called at every progress line, before
// prompts and long computations, and at the exit.
void ConsoleFlush();

// Flushes standard output; false when it has failed to take anything written
// to it so far (a full disk, a closed descriptor).
bool FlushStdout();

// The error (an errno value) that standard output met first; 0 when none.
int StdoutError();

// True when standard output, or standard error, is a terminal.
bool StdoutIsConsole();
bool StderrIsConsole();

// The log (everything DualPrint and DualWrite print) goes to standard error
// instead of standard output, which is left to a design written there
// (--output=-) through StdoutPrint. Call before the first output.
void SetLogToStderr();

// Only the lines of the log that carry weight pass: errors and warnings
// ("Err", "ERR", "Error", "WARN", "Warn", "WARNING", "Warning", "Invalid
// option"), the verdict ("TestRetCode:", "Beyond reach"), the answer of the
// parameter search ("Satisfying params") and the verdicts of several
// designs ("Designs:"). Notes ("# ...") do not. For --quiet.
void SetQuietLog();

// While an instance lives, the log leaves out every line that starts with
// `start` (after carriage returns and blanks). For a message its caller has
// already given once in its own words: the candidates of the parameter
// search each read a copy without ID line, which the search announces once,
// and the loader would warn about it at every candidate.
class LogLinesLeftOut {
public:
  explicit LogLinesLeftOut(const char* start);
  ~LogLinesLeftOut();
  LogLinesLeftOut(const LogLinesLeftOut&) = delete;
  LogLinesLeftOut& operator=(const LogLinesLeftOut&) = delete;

private:
  const char* previous_;
};

// While an instance lives, what this thread prints through DualPrint,
// DualWrite, StdoutPrint, StdoutWrite and StderrPrint is handed to `sink`
// (the log's text, as the console would get it; design dumps and the
// terminal-only progress texts are not), and reaches the console as well
// only when `console` is set. Other threads print as before. The library
// facade runs each call under one, so that its log goes where its caller
// asked and the errors it printed can be given back as its result.
class ConsoleTap {
public:
  ConsoleTap(std::function<void(std::string_view)> sink, bool console);
  ~ConsoleTap();
  ConsoleTap(const ConsoleTap&) = delete;
  ConsoleTap& operator=(const ConsoleTap&) = delete;

  // The tap of this thread, or null.
  static ConsoleTap* Current();
  void Take(const char* text, size_t size) {
    if (sink_) sink_(std::string_view(text, size));
  }
  bool console() const { return console_; }

private:
  std::function<void(std::string_view)> sink_;
  bool console_;
  ConsoleTap* previous_;
};

// Decides about terminals and makes sure descriptors 0 to 2 are open: a
// closed one gets /dev/null, read-only, so that no file the program opens
// later takes its number and receives the log, and writes to a closed
// standard output still fail. Called once at start-up (the first output
// does it otherwise).
void InitConsole();

// For a terminating signal: writes out what both streams hold, with nothing
// but write(2). Safe to call from a signal handler.
void ConsoleFlushForSignal();

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
