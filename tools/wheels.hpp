// Designs whose coverage is known by construction, for the prover's tests and
// benchmarks: disjoint tickets, groups whose t-subsets are all covered inside
// the group, and projective planes.
//
// - Tickets: n disjoint tickets of k points cover every m-set in t points
//   exactly when m > n(t - 1) (pigeonhole; t - 1 points from each ticket
//   loses). With l > 1 an m-set may take l - 1 tickets whole: it loses
//   exactly when m <= (l - 1)k + (n - l + 1)(t - 1).
// - Groups: the points split into g groups and every t-subset inside a group
//   lies in a block inside it; then every m-set with m > g(t - 1) is
//   covered, and t - 1 points from each group lose.
// - PG(2, q), q a prime power: q^2 + q + 1 points and as many lines of
//   q + 1. Every pair lies on exactly one line (t = 2 holds for m = 2); with
//   t = 3 a losing m-set is an arc (no three points on a line), and the
//   largest arcs have q + 1 points for odd q (Bose): m = q + 1 fails,
//   m = q + 2 holds.
#pragma once

#include "verify/pointset.hpp"

#include <algorithm>
#include <array>
#include <vector>

namespace kovra::wheels {

using Rows = std::vector<std::vector<unsigned>>; // blocks as ascending points

inline PointSetList ToList(const Rows& rows, unsigned v) {
  PointSetList out(v);
  for (const auto& r : rows) out.Add(r.begin(), r.end());
  return out;
}

inline PointSetList Tickets(unsigned tickets, unsigned k) {
  Rows rows(tickets);
  for (unsigned i = 0; i < tickets; ++i)
    for (unsigned p = i * k + 1; p <= i * k + k; ++p) rows[i].push_back(p);
  return ToList(rows, tickets * k);
}

// Every t-subset of each group (consecutive points, sizes as given) in some
// block of k points inside the group, chosen greedily (the block covering
// most t-subsets not yet covered, the first in order on a tie).
inline PointSetList Groups(const std::vector<unsigned>& sizes, unsigned k, unsigned t) {
  Rows out;
  unsigned start = 1;
  const auto subsets = [](unsigned n, unsigned r) { // r-subsets of 0..n-1 as bit masks
    std::vector<unsigned> all;
    for (unsigned mask = 0; mask < (1u << n); ++mask)
      if (static_cast<unsigned>(__builtin_popcount(mask)) == r) all.push_back(mask);
    return all;
  };
  for (const unsigned n : sizes) {
    std::vector<unsigned> open = subsets(n, t);
    const std::vector<unsigned> candidates = subsets(n, std::min(k, n));
    while (!open.empty()) {
      unsigned best = 0;
      long most = -1;
      for (const unsigned c : candidates) {
        const long held =
            std::count_if(open.begin(), open.end(), [c](unsigned s) { return (s & c) == s; });
        if (held > most) {
          most = held;
          best = c;
        }
      }
      std::erase_if(open, [best](unsigned s) { return (s & best) == s; });
      std::vector<unsigned> b;
      for (unsigned i = 0; i < n; ++i)
        if ((best >> i) & 1u) b.push_back(start + i);
      out.push_back(b);
    }
    start += n;
  }
  return ToList(out, start - 1);
}

// GF(q), q = p^e: an element is a polynomial over GF(p) of degree below e,
// its coefficients the base-p digits of 0..q-1; products are reduced by the
// first monic polynomial of degree e without a root or factor of lower
// degree (tried in order, so the field is the same every time).
struct Field {
  unsigned p = 0, e = 0, q = 0;
  std::vector<unsigned> add, mul; // q x q tables

  explicit Field(unsigned order) : q(order) {
    p = 2;
    while (order % p != 0) ++p;
    for (unsigned n = order; n > 1; n /= p) ++e;
    // Polynomials as digit vectors (lowest first) over GF(p).
    using Poly = std::vector<unsigned>;
    const auto digits = [&](unsigned x, unsigned n) {
      Poly d(n, 0);
      for (unsigned i = 0; i < n; ++i, x /= p) d[i] = x % p;
      return d;
    };
    const auto reduce = [&](Poly a, const Poly& mod) { // mod monic of degree mod.size() - 1
      const size_t deg = mod.size() - 1;
      for (size_t i = a.size(); i-- > deg;) {
        const unsigned c = a[i];
        if (c == 0) continue;
        for (size_t j = 0; j <= deg; ++j)
          a[i - deg + j] = (a[i - deg + j] + p - c * mod[j] % p) % p;
      }
      a.resize(deg);
      return a;
    };
    const auto times = [&](const Poly& a, const Poly& b) {
      Poly c(a.size() + b.size(), 0);
      for (size_t i = 0; i < a.size(); ++i)
        for (size_t j = 0; j < b.size(); ++j) c[i + j] = (c[i + j] + a[i] * b[j]) % p;
      return c;
    };
    Poly mod(e + 1, 0);
    mod[e] = 1;
    for (unsigned low = 0; e > 1 && low < q; ++low) { // the lower coefficients
      const Poly d = digits(low, e);
      std::copy(d.begin(), d.end(), mod.begin());
      bool irreducible = true;
      for (unsigned deg = 1; deg <= e / 2 && irreducible; ++deg) {
        unsigned count = 1;
        for (unsigned i = 0; i < deg; ++i) count *= p;
        for (unsigned f = 0; f < count && irreducible; ++f) {
          Poly divisor = digits(f, deg);
          divisor.push_back(1);
          const Poly r = reduce(mod, divisor);
          irreducible = std::any_of(r.begin(), r.end(), [](unsigned x) { return x != 0; });
        }
      }
      if (irreducible) break;
    }
    add.assign(q * q, 0);
    mul.assign(q * q, 0);
    for (unsigned a = 0; a < q; ++a)
      for (unsigned b = 0; b < q; ++b) {
        const Poly x = digits(a, e), y = digits(b, e);
        Poly sum(e);
        for (unsigned i = 0; i < e; ++i) sum[i] = (x[i] + y[i]) % p;
        const Poly prod = e == 1 ? Poly{a * b % p} : reduce(times(x, y), mod);
        unsigned s = 0, m = 0;
        for (unsigned i = e; i-- > 0;) {
          s = s * p + sum[i];
          m = m * p + prod[i];
        }
        add[a * q + b] = s;
        mul[a * q + b] = m;
      }
  }
  unsigned Add(unsigned a, unsigned b) const { return add[a * q + b]; }
  unsigned Mul(unsigned a, unsigned b) const { return mul[a * q + b]; }
};

// The lines of PG(2, q) for a prime power q, points numbered 1..q^2+q+1 in
// the order (1,a,b), (0,1,b), (0,0,1) of their normalised coordinates; line
// i is the set of points orthogonal to point i.
inline Rows ProjectivePlaneRows(unsigned q) {
  const Field f(q);
  std::vector<std::array<unsigned, 3>> pts; // normalised: first nonzero coordinate 1
  for (unsigned a = 0; a < q; ++a)
    for (unsigned b = 0; b < q; ++b) pts.push_back({1, a, b});
  for (unsigned b = 0; b < q; ++b) pts.push_back({0, 1, b});
  pts.push_back({0, 0, 1});
  Rows lines;
  for (const auto& l : pts) {
    std::vector<unsigned> line;
    for (unsigned i = 0; i < pts.size(); ++i) {
      const unsigned dot =
          f.Add(f.Add(f.Mul(l[0], pts[i][0]), f.Mul(l[1], pts[i][1])), f.Mul(l[2], pts[i][2]));
      if (dot == 0) line.push_back(i + 1);
    }
    lines.push_back(line);
  }
  return lines;
}

inline PointSetList ProjectivePlane(unsigned q) {
  return ToList(ProjectivePlaneRows(q), q * q + q + 1);
}

} // namespace kovra::wheels
