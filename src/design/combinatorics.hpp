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

namespace kovra {

// Unsigned 128-bit numbers: counts of combinations of up to 128 points
// (C(128,64) is about 2.4e37) are exact in them.
__extension__ using Count128 = unsigned __int128;

// C(n, k), exact for every n up to 128 where it fits 64 bits, and
// UINT64_MAX where it does not (C(128,20) and the like: no walk can count
// that far). 0 when n < k or n > 1754; for 128 < n <= 1754 the value comes
// from an extended-precision factorial table and is exact only where that
// precision allows (nothing in the program asks for those).
uint64_t Binomial(unsigned n, unsigned k);

// C(n, k) exactly for n <= MAX_V (0 when n < k or n > MAX_V).
Count128 BinomialWide(unsigned n, unsigned k);

// A count as decimal digits ("%llu" stops at 64 bits).
void Count128Text(Count128 value, char* out, size_t size);

// Rank of the ascending combination comb[0..t-1] (values 1..n): the reference
// form, a sum of up to n binomials. Members are not checked.
uint64_t RankComb(const uint8_t* comb, unsigned n, unsigned t);

// Writes the combination of rank r (1..C(n,t)) to out[0..t-1].
void UnrankComb(uint64_t r, unsigned n, unsigned t, uint8_t* out);

// Writes start, start+1, ..., start+count-1 and zeroes comb[count..fillLen-1].
void FirstComb(uint8_t* comb, unsigned count, unsigned start, unsigned fillLen);

// Advances comb to the next combination of `count` members out of the w values
// start..start+w-1 in lexicographic order. Returns false, leaving comb as it
// was, when it held the last one.
bool NextComb(uint8_t* comb, unsigned count, unsigned start, unsigned w);

// Largest combination size a rank table serves: a block of the compressed
// formats (an m-set of the walk is smaller).
inline constexpr unsigned MAX_RANK_T = MAX_K;

// Table form of RankComb for one (n, t): t look-ups and no loop over n.
// rank = C(n,t) - sum over j of C(n - comb[j], t - j), j counted from 0.
// Meaningful only while C(n, t) fits 64 bits.
struct RankTable {
  unsigned n = 0;
  unsigned t = 0;
  uint64_t total = 0;                        // C(n, t)
  uint64_t term[MAX_RANK_T][MAX_V + 1] = {}; // term[j][c] = C(n - c, t - j) for c <= n
};

// Prepares `table` for t-subsets of 1..n (n <= MAX_V, t <= MAX_RANK_T).
void InitRankTable(RankTable& table, unsigned n, unsigned t);

// Same result as RankComb(comb, table.n, table.t).
inline uint64_t RankFast(const RankTable& table, const uint8_t* comb) {
  uint64_t sum = 0;
  for (unsigned j = 0; j < table.t; ++j) sum += table.term[j][comb[j]];
  return table.total - sum;
}

} // namespace kovra
