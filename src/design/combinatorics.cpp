// Binomial coefficients, ranking, unranking and enumeration of combinations.
#include "design/combinatorics.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kovra {
namespace {

constexpr unsigned kExactRows = 128; // Pascal's triangle in 128 bits up to here
constexpr unsigned kSmallK = 32;     // the 64-bit table's columns: C(n, k) for k <= 32

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

// C(n, k) for n <= MAX_V and k <= 32, saturated at UINT64_MAX: a sum of two
// entries that are exact is exact or saturates, and a saturated entry keeps
// every entry below it saturated, so no entry ever wraps. Beyond 32, C(n, k)
// with n - k > 32 too passes 64 bits for every n > 128.
struct SmallKTable {
  uint64_t c[MAX_V + 1][kSmallK + 1] = {};
  SmallKTable() {
    for (unsigned n = 0; n <= MAX_V; ++n) {
      c[n][0] = 1;
      for (unsigned k = 1; k <= kSmallK && k <= n; ++k) {
        const uint64_t a = c[n - 1][k - 1], b = k < n ? c[n - 1][k] : 0;
        c[n][k] = a > UINT64_MAX - b ? UINT64_MAX : a + b;
      }
    }
  }
};

const SmallKTable& SmallK() {
  static const SmallKTable table;
  return table;
}

// C(n, k) by the product formula, saturating at `cap`: every partial
// product C(n - k + i, i) is exact, and they grow with i, so the first one
// above the cap settles it.
Count128 ProductBinomial(unsigned n, unsigned k, Count128 cap) {
  Count128 r = 1;
  for (unsigned i = 1; i <= k; ++i) {
    const Count128 a = n - k + i;
    // r * a / i without passing 128 bits: r * a is a multiple of i.
    const Count128 q = r / i, s = r % i;
    Count128 high = 0;
    if (__builtin_mul_overflow(q, a, &high)) return cap;
    const Count128 next = high + s * a / i;
    if (next < high || next > cap) return cap;
    r = next;
  }
  return r;
}

// Binomial beyond the 64-bit table's columns.
__attribute__((noinline)) uint64_t LargeKBinomial(unsigned n, unsigned k) {
  if (n < k) return 0;
  k = std::min(k, n - k);
  if (n <= MAX_V && k <= kSmallK) return SmallK().c[n][k];
  if (n <= kExactRows) {
    const Count128 c = Pascal().c[n][k];
    return c > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(c);
  }
  return static_cast<uint64_t>(ProductBinomial(n, k, UINT64_MAX));
}

} // namespace

uint64_t Binomial(unsigned n, unsigned k) {
  // The table holds 0 where k > n.
  if (n <= MAX_V && k <= kSmallK) return SmallK().c[n][k];
  return LargeKBinomial(n, k);
}

Count128 BinomialWide(unsigned n, unsigned k) {
  if (n < k) return 0;
  k = std::min(k, n - k);
  if (n <= kExactRows) return Pascal().c[n][k];
  return ProductBinomial(n, k, COUNT128_MAX);
}

double BinomialReal(unsigned n, unsigned k) {
  if (n < k) return 0;
  if (n <= kExactRows) return static_cast<double>(Pascal().c[n][k]);
  return std::exp(std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0));
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

void BinomialText(unsigned n, unsigned k, char* out, size_t size) {
  const Count128 c = BinomialWide(n, k);
  if (c != COUNT128_MAX)
    Count128Text(c, out, size);
  else
    std::snprintf(out, size, "about %.1e", BinomialReal(n, k));
}

uint64_t RankComb(const Point* comb, unsigned n, unsigned t) {
  uint64_t rank = 1;
  unsigned i = 1;
  for (unsigned j = 1; j <= t; ++j) {
    for (; i < comb[j - 1]; ++i) rank += Binomial(n - i, t - j);
    i = comb[j - 1] + 1u;
  }
  return rank;
}

void UnrankComb(uint64_t r, unsigned n, unsigned t, Point* out) {
  unsigned i = 1;
  uint64_t c = 0;
  for (unsigned j = 1; j <= t; ++j) {
    while (i + t <= n + j) {
      const uint64_t d = c + Binomial(n - i, t - j);
      if (d >= r) break;
      ++i;
      c = d;
    }
    out[j - 1] = static_cast<Point>(i);
    ++i;
  }
}

void FirstComb(Point* comb, unsigned count, unsigned start, unsigned fillLen) {
  for (unsigned i = 0; i < count; ++i) comb[i] = static_cast<Point>(start + i);
  for (unsigned i = count; i < fillLen; ++i) comb[i] = 0;
}

bool NextComb(Point* comb, unsigned count, unsigned start, unsigned w) {
  for (unsigned p = count; p-- > 0;) {
    const unsigned top = start + w - 1 - (count - 1 - p);
    if (comb[p] + 1u <= top) {
      ++comb[p];
      for (unsigned q = p + 1; q < count; ++q) comb[q] = static_cast<Point>(comb[q - 1] + 1);
      return true;
    }
  }
  return false;
}

RankTable& RankTable::operator=(const RankTable& other) {
  if (this == &other) return *this;
  n = other.n;
  t = other.t;
  total = other.total;
  terms = other.terms;
  for (unsigned j = 0; j < MAX_RANK_T; ++j)
    term[j] = j < t ? terms.data() + size_t{j} * (n + 1) : nullptr;
  return *this;
}

void InitRankTable(RankTable& table, unsigned n, unsigned t) {
  table.n = n;
  table.t = t;
  table.total = Binomial(n, t);
  table.terms.assign(size_t{t} * (n + 1), 0);
  for (unsigned j = 0; j < MAX_RANK_T; ++j)
    table.term[j] = j < t ? table.terms.data() + size_t{j} * (n + 1) : nullptr;
  for (unsigned j = 0; j < t; ++j)
    for (unsigned c = 0; c <= n; ++c) table.terms[size_t{j} * (n + 1) + c] = Binomial(n - c, t - j);
}

} // namespace kovra
