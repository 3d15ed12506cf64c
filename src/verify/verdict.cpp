// What every test prints of its verdict.
#include "verify/verdict.hpp"

#include "base/console.hpp"
#include "base/limits.hpp"

#include <algorithm>
#include <cstdio>

namespace kovra {

void PrintLosingLine(const unsigned* named, unsigned n) {
  static constexpr char kTail[] = " : LOSING combination !!!\n";
  char line[32 + 6 * MAX_M];
  char* end = line;
  for (unsigned i = 0; i < n && i < MAX_M; ++i) {
    end = PutUnsigned(end, named[i], 2);
    *end++ = ' ';
  }
  end = std::copy(kTail, kTail + sizeof kTail - 1, end);
  DualWrite(line, static_cast<size_t>(end - line));
}

void ShareText(uint64_t count, uint64_t combinations, char* out, size_t size) {
  // m > v leaves no combination at all: 0 of 0 is shown as 0.0%, not as nan.
  const double percent =
      combinations == 0 ? 0.0
                        : static_cast<double>(count) * 100.0 / static_cast<double>(combinations);
  if (count != 0 && percent < 0.05)
    std::snprintf(out, size, "<0.1%%");
  else if (count < combinations && percent >= 99.95)
    std::snprintf(out, size, ">99.9%%");
  else
    std::snprintf(out, size, "%.1lf%%", percent);
}

void PrintCombCount(const char* label, uint64_t count, uint64_t combinations) {
  char share[16];
  ShareText(count, combinations, share, sizeof share);
  // The classic column holds 7 digits after the colon; a longer count gets
  // a blank of its own instead of running into it.
  if (count < 10000000)
    DualPrint("%s combinations:%8llu (%s)\n", label, static_cast<unsigned long long>(count), share);
  else
    DualPrint("%s combinations: %llu (%s)\n", label, static_cast<unsigned long long>(count), share);
}

void PrintCombCountAtLeast(const char* label, uint64_t count, uint64_t combinations) {
  char share[16];
  ShareText(count, combinations, share, sizeof share);
  DualPrint("%s combinations: at least %llu (%s)\n", label, static_cast<unsigned long long>(count),
            share);
}

void PrintVerdictLine(TestVerdict verdict, const char* fileName, const VerdictOf& of) {
  const char* name = fileName != nullptr ? fileName : "";
  if (of.candidate) {
    const char* word = verdict == TestVerdict::kOk     ? "OK"
                       : verdict == TestVerdict::kFail ? "not satisfied"
                                                       : "UNDECIDED";
    DualPrint("Candidate: %s (%s)\n", word, name);
    return;
  }
  const char* word = verdict == TestVerdict::kOk     ? "OK"
                     : verdict == TestVerdict::kFail ? "FAIL!"
                                                     : "UNDECIDED";
  if (of.partCount == 0)
    DualPrint("TestRetCode: %s (%s)\n", word, name);
  else
    DualPrint("TestRetCode: %s (share %u of %u of %s)\n", word, of.partIndex, of.partCount, name);
}

} // namespace kovra
