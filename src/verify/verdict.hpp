// The last line of every test, whoever decided it: the walk, the proof
// search, the merge of shares, or a time limit that left it undecided.
#pragma once

namespace kovra {

enum class TestVerdict { kOk, kFail, kUndecided };

// "TestRetCode: OK (FILE)", "TestRetCode: FAIL! (FILE)" or "TestRetCode:
// UNDECIDED (FILE)". A share's line says that only a share was tested:
// "TestRetCode: OK (share 3 of 8 of FILE)" (partCount 0: the whole test).
void PrintVerdictLine(TestVerdict verdict, const char* fileName, unsigned partIndex = 0,
                      unsigned partCount = 0);

} // namespace kovra
