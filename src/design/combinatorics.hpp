// Binomial coefficients, ranking, unranking and enumeration of combinations.
//
// A combination is an array of t strictly increasing point numbers. Its rank is
// its 1-based position in lexicographic order among all t-subsets of 1..n:
// for n = 5, t = 2 the order is 12 13 14 15 23 24 25 34 35 45, so {1,2} has
// rank 1, {2,4} rank 6 and {4,5} rank C(5,2) = 10.
#pragma once

#include "base/limits.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kovra {

// Unsigned 128-bit numbers: counts of combinations of up to 128 points
// (C(128,64) is about 2.4e37) are exact in them, and so is C(1024,18).
__extension__ using Count128 = unsigned __int128;
inline constexpr Count128 COUNT128_MAX = ~Count128{0};

// C(n, k), exact wherever it fits 64 bits, and UINT64_MAX where it does not
// (C(128,20), C(1024,8) and the like: no walk can count that far). 0 when
// n < k.
uint64_t Binomial(unsigned n, unsigned k);

// C(n, k) exactly where it fits 128 bits, COUNT128_MAX where it does not
// (C(1024,19) and beyond); 0 when n < k.
Count128 BinomialWide(unsigned n, unsigned k);

// C(n, k) as a floating-point number, for estimates of any size.
double BinomialReal(unsigned n, unsigned k);

// A count as decimal digits ("%llu" stops at 64 bits).
void Count128Text(Count128 value, char* out, size_t size);

// C(n, k) for a message: its decimal digits, or "about 5.6e+41" where it
// passes 128 bits.
void BinomialText(unsigned n, unsigned k, char* out, size_t size);

// Rank of the ascending combination comb[0..t-1] (values 1..n): the reference
// form, a sum of up to n binomials. Members are not checked.
uint64_t RankComb(const Point* comb, unsigned n, unsigned t);

// Writes the combination of rank r (1..C(n,t)) to out[0..t-1].
void UnrankComb(uint64_t r, unsigned n, unsigned t, Point* out);

// Writes start, start+1, ..., start+count-1 and zeroes comb[count..fillLen-1].
void FirstComb(Point* comb, unsigned count, unsigned start, unsigned fillLen);

// Advances comb to the next combination of `count` members out of the w values
// start..start+w-1 in lexicographic order. Returns false, leaving comb as it
// was, when it held the last one.
bool NextComb(Point* comb, unsigned count, unsigned start, unsigned w);

// Largest combination size a rank table serves: a block of the compressed
// formats (an m-set of the walk is smaller).
inline constexpr unsigned MAX_RANK_T = MAX_K;

// Table form of RankComb for one (n, t): t look-ups and no loop over n.
// rank = C(n,t) - sum over j of C(n - comb[j], t - j), j counted from 0.
// Meaningful only while C(n, t) fits 64 bits. The terms take t(n + 1) words
// on the heap (a few kilobytes where n is small; a table is made per job).
struct RankTable {
  unsigned n = 0;
  unsigned t = 0;
  uint64_t total = 0; // C(n, t)
  // term[j][c] = C(n - c, t - j) for j < t and c <= n: rows of `terms`.
  const uint64_t* term[MAX_RANK_T] = {};

  RankTable() = default;
  RankTable(const RankTable& other) { *this = other; }
  RankTable& operator=(const RankTable& other);
  RankTable(RankTable&&) noexcept = default; // the rows stay where they were
  RankTable& operator=(RankTable&&) noexcept = default;

  std::vector<uint64_t> terms;
};

// Prepares `table` for t-subsets of 1..n (n <= MAX_V, t <= MAX_RANK_T).
void InitRankTable(RankTable& table, unsigned n, unsigned t);

// Same result as RankComb(comb, table.n, table.t).
inline uint64_t RankFast(const RankTable& table, const Point* comb) {
  uint64_t sum = 0;
  for (unsigned j = 0; j < table.t; ++j) sum += table.term[j][comb[j]];
  return table.total - sum;
}

} // namespace kovra
