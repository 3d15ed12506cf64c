// The fatal exit: prints its lines and unwinds to main, which returns the code.
#pragma once

namespace kovra {

// Thrown by ErrExit. Only main() catches it, and the run of several designs,
// which ends the one design it came from and goes on with the next; every
// array and file on the way up is released by its owner, so no path out of
// a run leaks or leaves a stream half written.
struct FatalExit {
  int code;
};

// Prints "\nErrExit: <code> <text1> <text2>" (texts only when non-empty; nothing
// but the line end for code 0), flushes the console and throws FatalExit.
[[noreturn]] void ErrExit(int code, const char* text1 = nullptr, const char* text2 = nullptr);

} // namespace kovra
