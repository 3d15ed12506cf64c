// Sets of points 1..v as W 64-bit words (point p is bit p - 1 of word
// (p - 1) / 64), and lists of them, of any width up to MAX_V points.
//
// A design's sets all have the width its v needs: one word up to 64 points,
// two up to 128, then four, eight and sixteen. The algorithms are written
// once over PointSet<W> and compiled for each width; WithWords chooses the
// one a design needs, once, where the work starts. Meeting a block is an AND
// and a popcount of W words, whatever k is.
#pragma once

#include "base/limits.hpp"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <variant>
#include <vector>

namespace kovra {

inline constexpr unsigned MAX_WORDS = (MAX_V + 63) / 64;
static_assert(MAX_WORDS <= 16, "the widths go to sixteen words");

// The words a set of points 1..v takes: 1, 2, 4, 8 or 16.
constexpr unsigned WordsFor(unsigned v) {
  return v <= 64 ? 1 : v <= 128 ? 2 : v <= 256 ? 4 : v <= 512 ? 8 : 16;
}

template <unsigned W>
struct PointSet {
  static_assert(W == 1 || W == 2 || W == 4 || W == 8 || W == 16, "a width of the list");
  uint64_t w[W] = {};
  bool operator==(const PointSet&) const = default;
};

template <unsigned W>
inline void AddPoint(PointSet<W>& s, unsigned p) {
  assert(p >= 1 && p <= 64 * W && "a point of the set's width");
  s.w[(p - 1) >> 6] |= uint64_t{1} << ((p - 1) & 63);
}
template <unsigned W>
inline bool HasPoint(const PointSet<W>& s, unsigned p) {
  return ((s.w[(p - 1) >> 6] >> ((p - 1) & 63)) & 1u) != 0;
}
template <unsigned W>
inline PointSet<W> operator&(PointSet<W> a, const PointSet<W>& b) {
  for (unsigned i = 0; i < W; ++i) a.w[i] &= b.w[i];
  return a;
}
template <unsigned W>
inline PointSet<W> operator|(PointSet<W> a, const PointSet<W>& b) {
  for (unsigned i = 0; i < W; ++i) a.w[i] |= b.w[i];
  return a;
}
template <unsigned W>
inline PointSet<W> operator^(PointSet<W> a, const PointSet<W>& b) {
  for (unsigned i = 0; i < W; ++i) a.w[i] ^= b.w[i];
  return a;
}
template <unsigned W>
inline PointSet<W> operator~(PointSet<W> a) {
  for (unsigned i = 0; i < W; ++i) a.w[i] = ~a.w[i];
  return a;
}
template <unsigned W>
inline PointSet<W>& operator|=(PointSet<W>& a, const PointSet<W>& b) {
  return a = a | b;
}
template <unsigned W>
inline PointSet<W>& operator&=(PointSet<W>& a, const PointSet<W>& b) {
  return a = a & b;
}
template <unsigned W>
inline PointSet<W>& operator^=(PointSet<W>& a, const PointSet<W>& b) {
  return a = a ^ b;
}

template <unsigned W>
inline bool IsEmpty(const PointSet<W>& s) {
  uint64_t any = 0;
  for (unsigned i = 0; i < W; ++i) any |= s.w[i];
  return any == 0;
}
template <unsigned W>
inline unsigned CountPoints(const PointSet<W>& s) {
  unsigned n = 0;
  for (unsigned i = 0; i < W; ++i) n += static_cast<unsigned>(std::popcount(s.w[i]));
  return n;
}
// |a & b| without the set in between.
template <unsigned W>
inline unsigned CountCommon(const PointSet<W>& a, const PointSet<W>& b) {
  unsigned n = 0;
  for (unsigned i = 0; i < W; ++i) n += static_cast<unsigned>(std::popcount(a.w[i] & b.w[i]));
  return n;
}

// Points lo..hi (empty when lo > hi); 1 <= lo, hi <= 64 W. Two words or
// fewer take a mask per word without a branch; wider sets fill only the
// words the range touches.
template <unsigned W>
inline PointSet<W> PointsBetween(unsigned lo, unsigned hi) {
  PointSet<W> s;
  if (lo > hi) return s;
  const unsigned a = lo - 1, b = hi - 1;
  if constexpr (W <= 2) {
    for (unsigned i = 0; i < W; ++i) {
      const unsigned base = 64 * i;
      const uint64_t from = a <= base        ? ~uint64_t{0}
                            : a >= base + 64 ? 0
                                             : ~uint64_t{0} << (a - base);
      const uint64_t to = b >= base + 63 ? ~uint64_t{0}
                          : b < base     ? 0
                                         : ~uint64_t{0} >> (63 - (b - base));
      s.w[i] = from & to;
    }
  } else {
    for (unsigned i = a >> 6; i <= (b >> 6); ++i) {
      const unsigned from = i == (a >> 6) ? a & 63 : 0, to = i == (b >> 6) ? b & 63 : 63;
      s.w[i] = (~uint64_t{0} >> (63 - to)) & (~uint64_t{0} << from);
    }
  }
  return s;
}

// The smallest point of a set that is not empty.
template <unsigned W>
inline unsigned LowestPoint(const PointSet<W>& s) {
  if constexpr (W == 1) {
    return static_cast<unsigned>(std::countr_zero(s.w[0])) + 1;
  } else if constexpr (W == 2) {
    return s.w[0] != 0 ? static_cast<unsigned>(std::countr_zero(s.w[0])) + 1
                       : static_cast<unsigned>(std::countr_zero(s.w[1])) + 65;
  } else {
    unsigned i = 0;
    while (i + 1 < W && s.w[i] == 0) ++i;
    return static_cast<unsigned>(std::countr_zero(s.w[i])) + 64 * i + 1;
  }
}
template <unsigned W>
inline void RemoveLowest(PointSet<W>& s) {
  if constexpr (W == 1) {
    s.w[0] &= s.w[0] - 1;
  } else if constexpr (W == 2) {
    if (s.w[0] != 0)
      s.w[0] &= s.w[0] - 1;
    else
      s.w[1] &= s.w[1] - 1;
  } else {
    unsigned i = 0;
    while (i + 1 < W && s.w[i] == 0) ++i;
    s.w[i] &= s.w[i] - 1;
  }
}

// Calls fn(p) for every point of the words w[0..words-1] in increasing order.
template <typename Fn>
void ForEachPointOfWords(const uint64_t* w, unsigned words, Fn&& fn) {
  for (unsigned i = 0; i < words; ++i)
    for (uint64_t bits = w[i]; bits != 0; bits &= bits - 1)
      fn(static_cast<unsigned>(std::countr_zero(bits)) + 64 * i + 1);
}

// Calls fn(p) for every point of the set in increasing order.
template <unsigned W, typename Fn>
void ForEachPoint(const PointSet<W>& s, Fn&& fn) {
  ForEachPointOfWords(s.w, W, fn);
}

// Lexicographic order of sets of equal size: the one holding the lowest
// point where they differ comes first.
template <unsigned W>
inline bool LexLess(const PointSet<W>& a, const PointSet<W>& b) {
  for (unsigned i = 0; i < W; ++i) {
    const uint64_t diff = a.w[i] ^ b.w[i];
    if (diff != 0) return (a.w[i] & (diff & (0 - diff))) != 0;
  }
  return false;
}

// Calls fn(std::integral_constant<unsigned, W>{}) with the width W of
// `words` (1, 2, 4, 8 or 16) and returns what it returns: the one place
// where a design's width turns into the width its algorithms are compiled
// for.
template <typename Fn>
decltype(auto) WithWords(unsigned words, Fn&& fn) {
  switch (words) {
  case 1: return fn(std::integral_constant<unsigned, 1>{});
  case 2: return fn(std::integral_constant<unsigned, 2>{});
  case 4: return fn(std::integral_constant<unsigned, 4>{});
  case 8: return fn(std::integral_constant<unsigned, 8>{});
  default: assert(words == 16 && "a width of the list"); break;
  }
  return fn(std::integral_constant<unsigned, 16>{});
}

// One set of a list, of the list's width, to read where the width does not
// matter (output, certificates, checks): its words live in the list.
struct PointSetView {
  const uint64_t* w = nullptr;
  unsigned words = 0;
};

inline bool HasPoint(PointSetView s, unsigned p) {
  return (p - 1) / 64 < s.words && ((s.w[(p - 1) >> 6] >> ((p - 1) & 63)) & 1u) != 0;
}
inline unsigned CountPoints(PointSetView s) {
  unsigned n = 0;
  for (unsigned i = 0; i < s.words; ++i) n += static_cast<unsigned>(std::popcount(s.w[i]));
  return n;
}
template <typename Fn>
void ForEachPoint(PointSetView s, Fn&& fn) {
  ForEachPointOfWords(s.w, s.words, fn);
}
// The points in increasing order.
std::vector<unsigned> PointsOfSet(PointSetView s);

// Sets of points of one width, one after another (a design's blocks, the
// witnesses of a search): nauty's m words per set, with the width in the
// list. The algorithms take the sets as PointSet<W> (Sets<W>()).
class PointSetList {
public:
  // Sets of points 1..v (v <= MAX_V); `words` forces a larger width (the
  // differential tests run a design in every width it fits).
  explicit PointSetList(unsigned v, unsigned words = 0);
  PointSetList() : PointSetList(64) {}

  unsigned Words() const { return 1u << sets_.index(); }
  size_t size() const;
  bool empty() const { return size() == 0; }
  void clear();
  void reserve(size_t n);

  // The set of these points (each of 1..64 W; repeats do nothing).
  template <typename It>
  void Add(It first, It last) {
    WithWords(Words(), [&](auto width) {
      PointSet<width()> s;
      for (; first != last; ++first) AddPoint(s, static_cast<unsigned>(*first));
      Sets<width()>().push_back(s);
    });
  }
  // Another list's set i (of the same width).
  void AddFrom(const PointSetList& other, size_t i);

  PointSetView operator[](size_t i) const;

  // The sets as views, in order.
  struct Iterator {
    const PointSetList* list;
    size_t i;
    PointSetView operator*() const { return (*list)[i]; }
    Iterator& operator++() {
      ++i;
      return *this;
    }
    bool operator==(const Iterator&) const = default;
  };
  Iterator begin() const { return {this, 0}; }
  Iterator end() const { return {this, size()}; }

  template <unsigned W>
  std::vector<PointSet<W>>& Sets() {
    assert(Words() == W && "the list's width");
    return std::get<std::vector<PointSet<W>>>(sets_);
  }
  template <unsigned W>
  const std::vector<PointSet<W>>& Sets() const {
    assert(Words() == W && "the list's width");
    return std::get<std::vector<PointSet<W>>>(sets_);
  }

private:
  std::variant<std::vector<PointSet<1>>, std::vector<PointSet<2>>, std::vector<PointSet<4>>,
               std::vector<PointSet<8>>, std::vector<PointSet<16>>>
      sets_;
};

} // namespace kovra
