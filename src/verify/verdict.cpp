// The last line of every test.
#include "verify/verdict.hpp"

#include "base/console.hpp"

namespace kovra {

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
