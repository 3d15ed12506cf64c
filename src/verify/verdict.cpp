// The last line of every test.
#include "verify/verdict.hpp"

#include "base/console.hpp"

namespace kovra {

void PrintVerdictLine(TestVerdict verdict, const char* fileName, unsigned partIndex,
                      unsigned partCount) {
  const char* word = verdict == TestVerdict::kOk     ? "OK"
                     : verdict == TestVerdict::kFail ? "FAIL!"
                                                     : "UNDECIDED";
  const char* name = fileName != nullptr ? fileName : "";
  if (partCount == 0)
    DualPrint("TestRetCode: %s (%s)\n", word, name);
  else
    DualPrint("TestRetCode: %s (share %u of %u of %s)\n", word, partIndex, partCount, name);
}

} // namespace kovra
