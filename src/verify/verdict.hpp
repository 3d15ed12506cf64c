// What every test prints of its verdict, whoever decided it (the walk, the
// proof search, the merge of shares, or a time limit that left it
// undecided): each losing m-set, the count of them, and the last line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kovra {

// "p1 p2 ... : LOSING combination !!!": the n points of a losing m-set as
// the run names them (the file's base or numbers), each in two columns at
// least.
void PrintLosingLine(const unsigned* named, unsigned n);

// "LABEL combinations:" with the count (in the classic column below 10^7,
// after a blank above) and its share of all combinations.
void PrintCombCount(const char* label, uint64_t count, uint64_t combinations);
// The same for a count that is only a lower bound: "... at least N (x%)".
void PrintCombCountAtLeast(const char* label, uint64_t count, uint64_t combinations);

// A share of `combinations` as "x.y%" into out: one that is not 0 but would
// round to 0.0% reads "<0.1%", and one short of all that would round to
// 100.0% reads ">99.9%", so that 462 losing draws never pass for none.
void ShareText(uint64_t count, uint64_t combinations, char* out, size_t size);

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
