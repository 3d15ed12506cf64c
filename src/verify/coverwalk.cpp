// Prefix masks for the coverage test.
#include "verify/coverwalk.hpp"

#include "base/fatal.hpp"

#include <cassert>
#include <new>

namespace kovra {
namespace {

// C(d, L) for the small prefix sizes of the walk (d <= 7).
constexpr unsigned SmallBinomial(unsigned d, unsigned L) {
  if (L > d) return 0;
  unsigned r = 1;
  for (unsigned i = 1; i <= L; ++i) r = r * (d - L + i) / i;
  return r;
}

} // namespace

void BuildCoverMasks(CoverMasks& cm, unsigned v, unsigned t, const uint8_t* counters,
                     uint8_t need) {
  assert(t >= 1 && t <= CLASSIC_MAX_T && v <= 63 && "masks hold the points as bits of one word");
  cm.v = v;
  cm.t = t;
  cm.count = Binomial(v, t - 1);
  cm.mask.reset(new (std::nothrow) uint64_t[cm.count]());
  if (!cm.mask) ErrExit(13, "Mem Alloc Err!");
  if (t >= 2) InitRankTable(cm.qRank, v, t - 1);

  // The t-subsets in lexicographic order are the (t-1)-subsets Q of 1..v-1 in
  // lexicographic order, each followed by its members x = max(Q)+1..v; so the
  // counter index simply runs on and only Q is ranked, once (the (t-1)-subsets
  // that end in v complete nothing and keep an empty mask).
  uint64_t idx = 0;
  if (t == 1) {
    uint64_t bits = 0;
    for (unsigned x = 1; x <= v; ++x)
      if (counters[idx++] >= need) bits |= uint64_t{1} << x;
    cm.mask[0] = bits;
    return;
  }
  Point q[8];
  FirstComb(q, t - 1, 1, 8);
  do {
    uint64_t bits = 0;
    for (unsigned x = q[t - 2] + 1u; x <= v; ++x)
      if (counters[idx++] >= need) bits |= uint64_t{1} << x;
    cm.mask[RankFast(cm.qRank, q) - 1] = bits;
  } while (NextComb(q, t - 1, 1, v - 1));
}

void InitPrefixWalk(PrefixWalk& w, const CoverMasks& cm, unsigned n) {
  assert(n > cm.t && n <= 7 && "the walk tests combinations larger than t");
  w = PrefixWalk{};
  w.cm = &cm;
  w.n = n;
  w.M[0] = cm.t == 1 ? cm.mask[0] : 0;
  if (cm.t >= 2) w.part[0][0] = static_cast<int64_t>(cm.qRank.total) - 1;
}

void ExtendPrefix(PrefixWalk& w, unsigned d, unsigned y) {
  const CoverMasks& cm = *w.cm;
  w.S[d] = static_cast<Point>(y);
  w.bad[d] = 0;
  uint64_t bits = w.M[d - 1];
  if (cm.t >= 2) {
    // New (t-1)-subsets: y with every (t-2)-subset of S[1..d-1].
    const unsigned top = cm.t - 2;
    const int64_t termY = static_cast<int64_t>(cm.qRank.term[top][y]);
    const unsigned count = SmallBinomial(d - 1, top);
    for (unsigned i = 0; i < count; ++i) bits |= cm.mask[w.part[top][i] - termY];
    // The rank bases of depth d are needed only while a deeper M follows.
    if (d + 1 < w.n) {
      for (unsigned L = 1; L <= top; ++L) {
        const unsigned from = SmallBinomial(d - 1, L);
        const unsigned add = SmallBinomial(d - 1, L - 1);
        const int64_t term = static_cast<int64_t>(cm.qRank.term[L - 1][y]);
        for (unsigned i = 0; i < add; ++i) w.part[L][from + i] = w.part[L - 1][i] - term;
      }
    }
  }
  w.M[d] = bits;
}

// Both compilers build one copy per listed target and choose at load time;
// the popcount below is one instruction in the first and a library call in
// the baseline one, and it runs once per walked prefix.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KOVRA_POPCNT_CLONES __attribute__((target_clones("popcnt", "default")))
#else
#define KOVRA_POPCNT_CLONES
#endif

namespace {

// Only this file sees the clones: a multiversioned function must carry the
// attribute on every declaration, and the header's callers need none.
KOVRA_POPCNT_CLONES
uint64_t WalkClones(PrefixWalk& w, const Point* prefix, unsigned len, bool countAll,
                    LosingFn onLosing, void* context) {
  const unsigned n = w.n;
  const unsigned v = w.cm->v;
  uint64_t cand[9];
  uint64_t count = 0;
  bool calling = true;
  w.valid = 0; // the walk leaves no reusable state behind
  // More members than points: no combination, and no point to rank.
  if (n > v) return 0;
  // The prefix first: a member that completes a covered t-subset with the
  // ones before it leaves nothing to lose.
  for (unsigned d = 1; d <= len; ++d) {
    if ((w.M[d - 1] >> prefix[d]) & 1u) return 0;
    ExtendPrefix(w, d, prefix[d]);
  }
  unsigned d = len + 1;
  cand[d] = ~w.M[len] & PointRange(len == 0 ? 1 : prefix[len] + 1u, v - n + d);
  for (;;) {
    if (d == n && !calling) {
      // Only counting now: every candidate of the last place loses.
      count += static_cast<unsigned>(__builtin_popcountll(cand[d]));
      cand[d] = 0;
    }
    if (cand[d] == 0) {
      if (--d == len) return count;
      if (d <= 2 && w.deadline != nullptr) CheckDeadline(*w.deadline);
      continue;
    }
    const auto y = static_cast<unsigned>(__builtin_ctzll(cand[d]));
    cand[d] &= cand[d] - 1;
    if (d == n) {
      w.S[n] = static_cast<Point>(y);
      ++count;
      calling = onLosing(context, static_cast<const Point*>(w.S));
      if (!calling && !countAll) return count;
      continue;
    }
    ExtendPrefix(w, d, y);
    // Every later member is a point above y outside M[d] (M only grows along
    // the prefix), so too few of them end the prefix at once.
    const uint64_t open = ~w.M[d] & PointRange(y + 1, v);
    if (static_cast<unsigned>(__builtin_popcountll(open)) < n - d) continue;
    ++d;
    cand[d] = open & PointRange(y + 1, v - n + d);
  }
}

} // namespace

uint64_t WalkLosingMSetsWith(PrefixWalk& w, const Point* prefix, unsigned len, bool countAll,
                             LosingFn onLosing, void* context) {
  return WalkClones(w, prefix, len, countAll, onLosing, context);
}

bool IsMSetCovered(PrefixWalk& w, const Point* comb) {
  const unsigned n = w.n;
  unsigned d = 1;
  while (d <= w.valid && w.S[d] == comb[d]) {
    if (w.bad[d]) return true;
    ++d;
  }
  w.valid = d - 1;
  for (;; ++d) {
    const unsigned y = comb[d];
    if ((w.M[d - 1] >> y) & 1u) {
      if (d < n) {
        w.S[d] = static_cast<Point>(y);
        w.bad[d] = 1;
        w.valid = d;
      }
      return true;
    }
    if (d == n) return false;
    ExtendPrefix(w, d, y);
    w.valid = d;
  }
}

} // namespace kovra
