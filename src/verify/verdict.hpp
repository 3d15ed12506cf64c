// The last line of every test, whoever decided it: the walk, the proof
// search, the merge of shares, or a time limit that left it undecided.
#pragma once

namespace kovra {

enum class TestVerdict { kOk, kFail, kUndecided };

// Whose verdict a line gives: the whole design (the default), a share of
// its test, or a candidate of the parameter search.
struct VerdictOf {
  unsigned partIndex = 0, partCount = 0; // --part=I/N; 0: the whole test
  bool candidate = false;                // -z2 tries parameters, it judges no design
};

// "TestRetCode: OK (FILE)", "TestRetCode: FAIL! (FILE)" or "TestRetCode:
// UNDECIDED (FILE)". A share's line says that only a share was tested:
// "TestRetCode: OK (share 3 of 8 of FILE)". A candidate of the search says
// "Candidate: OK (FILE)", "Candidate: not satisfied (FILE)" or "Candidate:
// UNDECIDED (FILE)", which no search of a log for FAIL takes for a design
// that failed.
void PrintVerdictLine(TestVerdict verdict, const char* fileName, const VerdictOf& of = {});

} // namespace kovra
