// Binomial coefficients, ranking, unranking and enumeration of combinations.
#include "design/combinatorics.hpp"

#include <cmath>

namespace kovra {
namespace {

constexpr unsigned kExactRows = MAX_V; // Pascal's triangle up to here
constexpr unsigned kFactorials = 1755; // 0! .. 1754!, the extended-precision range

// Built once at start-up: every entry of the last row fits 128 bits.
struct PascalTriangle {
  Count128 c[kExactRows + 1][kExactRows + 1] = {};
  PascalTriangle() {
    for (unsigned n = 0; n <= kExactRows; ++n) {
      c[n][0] = 1;
      for (unsigned k = 1; k <= n; ++k) c[n][k] = c[n - 1][k - 1] + (k < n ? c[n - 1][k] : 0);
    }
  }
};

const PascalTriangle& Pascal() {
  static const PascalTriangle triangle;
  return triangle;
}

const long double* Factorials() {
  static const struct Table {
    long double f[kFactorials];
    Table() {
      f[0] = 1.0L;
      for (unsigned i = 1; i < kFactorials; ++i) f[i] = f[i - 1] * static_cast<long double>(i);
    }
  } table;
  return table.f;
}

} // namespace

uint64_t Binomial(unsigned n, unsigned k) {
  if (n < k || n >= kFactorials) return 0;
  if (n <= kExactRows) {
    const Count128 c = Pascal().c[n][k];
    return c > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(c);
  }
  const long double* f = Factorials();
  const long double value = std::floor(f[n] / (f[k] * f[n - k]) + 0.5L);
  // Keep the low 64 bits of values too large for the result type.
  return static_cast<uint64_t>(std::fmod(value, 18446744073709551616.0L));
}

Count128 BinomialWide(unsigned n, unsigned k) {
  if (n < k || n > kExactRows) return 0;
  return Pascal().c[n][k];
}

void Count128Text(Count128 value, char* out, size_t size) {
  char digits[48];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + static_cast<unsigned>(value % 10));
    value /= 10;
  } while (value != 0);
  size_t i = 0;
  for (; i + 1 < size && n > 0; ++i) out[i] = digits[--n];
  if (size > 0) out[i] = '\0';
}

uint64_t RankComb(const uint8_t* comb, unsigned n, unsigned t) {
  uint64_t rank = 1;
  unsigned i = 1;
  for (unsigned j = 1; j <= t; ++j) {
    for (; i < comb[j - 1]; ++i) rank += Binomial(n - i, t - j);
    i = comb[j - 1] + 1u;
  }
  return rank;
}

void UnrankComb(uint64_t r, unsigned n, unsigned t, uint8_t* out) {
  unsigned i = 1;
  uint64_t c = 0;
  for (unsigned j = 1; j <= t; ++j) {
    while (i + t <= n + j) {
      const uint64_t d = c + Binomial(n - i, t - j);
      if (d >= r) break;
      ++i;
      c = d;
    }
    out[j - 1] = static_cast<uint8_t>(i);
    ++i;
  }
}

void FirstComb(uint8_t* comb, unsigned count, unsigned start, unsigned fillLen) {
  for (unsigned i = 0; i < count; ++i) comb[i] = static_cast<uint8_t>(start + i);
  for (unsigned i = count; i < fillLen; ++i) comb[i] = 0;
}

bool NextComb(uint8_t* comb, unsigned count, unsigned start, unsigned w) {
  for (unsigned p = count; p-- > 0;) {
    const unsigned top = start + w - 1 - (count - 1 - p);
    if (comb[p] + 1u <= top) {
      ++comb[p];
      for (unsigned q = p + 1; q < count; ++q) comb[q] = static_cast<uint8_t>(comb[q - 1] + 1);
      return true;
    }
  }
  return false;
}

void InitRankTable(RankTable& table, unsigned n, unsigned t) {
  table = RankTable{};
  table.n = n;
  table.t = t;
  table.total = Binomial(n, t);
  for (unsigned j = 0; j < t; ++j)
    for (unsigned c = 0; c <= n && c <= MAX_V; ++c) table.term[j][c] = Binomial(n - c, t - j);
}

} // namespace kovra
