// The plain coverage walk, kept as the reference the engine is measured and
// checked against: every combination of a pass is stepped to one by one, and
// each is decided by the definition itself, scanning every accepted block
// with a popcount of its intersection (the words of the design's width).
// Header-only so that the unit tests use the very same walk.
#pragma once

#include "base/clock.hpp"
#include "base/console.hpp"
#include "design/combinatorics.hpp"
#include "verify/engine.hpp"

#include <cstdint>
#include <cstdio>
#include <ctime>

namespace kovra::reference {

// S[1..n] (n = usTestSize) is covered when l accepted blocks meet it in t or
// more points.
inline bool IsCoveredPlain(const TestContext& ctx, const Point* S) {
  return WithWords(ctx.accepted.Words(), [&](auto width) {
    PointSet<width()> set;
    for (unsigned i = 1; i <= ctx.usTestSize; ++i) AddPoint(set, S[i]);
    unsigned meeting = 0;
    for (const auto& b : ctx.accepted.Sets<width()>())
      if (CountCommon(b, set) >= ctx.t && ++meeting >= ctx.l) return true;
    return false;
  });
}

inline void PrintLosingPlain(const Point* S, unsigned n, uint16_t printBase) {
  for (unsigned i = 1; i <= n; ++i)
    DualPrint("%2hu ", static_cast<unsigned short>(S[i] + printBase - 1));
  DualPrint(" : LOSING combination !!!\n");
}

// The skipper passes, printing the same lines as MultiPassTest: losing
// combinations up to ulMaxLosing over all passes, the sampled passes left
// skipped once that many are printed, the complete pass counting every
// losing combination (the count then), else the most one pass found.
inline bool MultiPassTestPlain(TestContext& ctx, uint64_t* combinations, uint64_t* losing) {
  const unsigned n = ctx.usTestSize, v = ctx.v;
  const uint64_t combs = Binomial(v, n);
  *combinations = combs;
  const uint64_t interval = combs / ctx.options.ulMaxReport + 1;
  const std::time_t remembered = ctx.tStart;
  const int high = static_cast<int16_t>(ctx.options.skippers.ulSkipperHigh);
  const int low = static_cast<int16_t>(ctx.options.skippers.ulSkipperLow);
  uint64_t printed = 0;
  uint64_t most = 0;
  for (int s = high; s >= low; --s) {
    if (s != 0 && printed >= ctx.options.ulMaxLosing) {
      if (low == 0) continue;
      break;
    }
    if (ctx.options.fInternalOptions)
      DualPrint("--- skipper=%hd/%lu ---\n", static_cast<short>(s),
                static_cast<unsigned long>(ctx.options.skippers.ulSkipperLow));
    else
      DualPrint("--- (%hd/%lu) ---\n", static_cast<short>(s),
                static_cast<unsigned long>(ctx.options.skippers.ulSkipperLow));
    ctx.tStart = NowSeconds();
    ctx.usEstimate = 5;
    uint64_t count = 0;
    uint64_t threshold = interval;
    Point S[MAX_M + 1] = {};
    for (unsigned i = 1; i <= n; ++i) S[i] = static_cast<Point>(i);
    bool over = n > v;
    while (!over) {
      if (!IsCoveredPlain(ctx, S)) {
        ++count;
        if (printed < ctx.options.ulMaxLosing) {
          PrintLosingPlain(S, n, ctx.options.usPrintBase);
          ++printed;
        }
        if (s != 0 && printed >= ctx.options.ulMaxLosing) break;
      }
      unsigned p = n;
      for (int step = 0; step <= s && !over; ++step) {
        ++S[p];
        while (S[p] > v - (n - p)) {
          --p;
          if (p == 0) {
            over = true;
            break;
          }
          ++S[p];
        }
        if (over || p >= n) continue;
        for (unsigned q = p + 1; q <= n; ++q) S[q] = static_cast<Point>(S[q - 1] + 1);
        if (s <= 7) {
          const uint64_t r = ctx.usEstimate >= 4 ? RankComb(S + 1, v, n) : 0;
          if (r > threshold) {
            PrintProgress(ctx, r, combs, S + 1, static_cast<int16_t>(s));
            threshold = r + interval;
          }
        }
      }
    }
    most = s == 0 ? count : (count > most ? count : most);
  }
  ctx.tStart = remembered;
  *losing = most;
  return most == 0;
}

// Losing combinations among `count` consecutive combinations from `first`
// (S[1..n]) on, silently; for timing the plain test on a sample of a pass
// too long to walk whole. Returns the number walked.
inline uint64_t CountLosingPlain(const TestContext& ctx, const Point* first, uint64_t count,
                                 uint64_t* losing) {
  const unsigned n = ctx.usTestSize;
  Point S[MAX_M + 1] = {};
  for (unsigned i = 1; i <= n; ++i) S[i] = first[i];
  uint64_t walked = 0;
  do {
    if (!IsCoveredPlain(ctx, S)) ++*losing;
    ++walked;
  } while (walked < count && NextComb(S + 1, n, 1, ctx.v));
  return walked;
}

} // namespace kovra::reference
