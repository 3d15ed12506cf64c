// Estimates of the walk's work.
#include "verify/estimate.hpp"

#include "design/combinatorics.hpp"
#include "verify/skipper.hpp"

#include <chrono>
#include <cstdio>

namespace kovra {
namespace {

// A xorshift step: probes need cheap, repeatable choices, not good ones.
uint64_t NextRandom(uint64_t& state) {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return state;
}

// The j-th point (from 0) of a set.
template <unsigned W>
unsigned NthPoint(PointSet<W> s, unsigned j) {
  for (; j > 0; --j) RemoveLowest(s);
  return LowestPoint(s);
}

template <unsigned W>
WalkEstimate EstimateWalkOf(MeetWalk& w, double budgetSeconds) {
  using Clock = std::chrono::steady_clock;
  while (w.depth > 0) PopPoint(w);
  WalkEstimate est;
  const unsigned n = w.n, v = w.v;
  if (n == 0 || n > v || PrefixCovered(w)) return est;
  uint64_t state = 0x9E3779B97F4A7C15ull; // the same probes every run
  double sum = 0;
  uint64_t probes = 0, pushes = 0;
  const auto start = Clock::now();
  double elapsed = 0;
  // A few probes tell a short walk at once; only a long one is worth the
  // time of a closer look.
  const auto quickLook = [&] {
    const double perPush = pushes > 0 ? elapsed / static_cast<double>(pushes) : 0;
    return sum / static_cast<double>(probes) * perPush < 1.0;
  };
  while (probes < 64 ||
         (elapsed < budgetSeconds && probes < 200000 && !(probes == 64 && quickLook()))) {
    double weight = 1;
    unsigned d = 0;
    PointSet<W> cand = ~CoveringPoints<W>(w) & PointsBetween<W>(1, v - n + 1);
    for (;;) {
      const unsigned c = CountPoints(cand);
      if (c == 0 || d + 1 == n) break;
      sum += weight * c;
      const unsigned y = NthPoint(cand, static_cast<unsigned>(NextRandom(state) % c));
      PushPoint<W>(w, y);
      ++pushes;
      const PointSet<W> open = ~CoveringPoints<W>(w) & PointsBetween<W>(y + 1, v);
      if (CountPoints(open) < n - d - 1) break;
      weight *= c;
      ++d;
      cand = open & PointsBetween<W>(y + 1, v - n + d + 1);
    }
    while (w.depth > 0) PopPoint(w);
    ++probes;
    if ((probes & 63) == 0) elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (probes == 64 && quickLook()) break;
  }
  elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  est.pushes = sum / static_cast<double>(probes);
  est.perPush = pushes > 0 ? elapsed / static_cast<double>(pushes) : 0;
  est.seconds = est.pushes * est.perPush;
  return est;
}

template <unsigned W>
double EstimateBelowPrefixOf(MeetWalk& w, unsigned probes, uint64_t seed) {
  const unsigned n = w.n, v = w.v;
  const unsigned base = w.depth;
  if (PrefixCovered(w) || base >= n) return 0;
  uint64_t state = seed * 0x9E3779B97F4A7C15ull + 0xD1B54A32D192ED03ull;
  double sum = 0;
  for (unsigned probe = 0; probe < probes; ++probe) {
    double weight = 1;
    unsigned d = base;
    const unsigned from = base == 0 ? 1 : w.S[base] + 1u;
    PointSet<W> cand = ~CoveringPoints<W>(w) & PointsBetween<W>(from, v - n + d + 1);
    for (;;) {
      const unsigned c = CountPoints(cand);
      // The last place costs a count, not a walk: one unit for the prefix.
      if (c == 0 || d + 1 == n) {
        sum += weight;
        break;
      }
      sum += weight * c;
      const unsigned y = NthPoint(cand, static_cast<unsigned>(NextRandom(state) % c));
      PushPoint<W>(w, y);
      const PointSet<W> open = ~CoveringPoints<W>(w) & PointsBetween<W>(y + 1, v);
      if (CountPoints(open) < n - d - 1) break;
      weight *= c;
      ++d;
      cand = open & PointsBetween<W>(y + 1, v - n + d + 1);
    }
    while (w.depth > base) PopPoint(w);
  }
  return sum / probes;
}

} // namespace

WalkEstimate EstimateMeetWalk(MeetWalk& w, double budgetSeconds) {
  return WithWords(w.words, [&](auto width) { return EstimateWalkOf<width()>(w, budgetSeconds); });
}

double EstimateSkipperPass(MeetWalk& w, int s, uint64_t limit) {
  using Clock = std::chrono::steady_clock;
  const unsigned n = w.n, v = w.v;
  if (n == 0 || n > v) return 0;
  Point S[MAX_M + 1] = {};
  for (unsigned i = 1; i <= n; ++i) S[i] = static_cast<Point>(i);
  const auto start = Clock::now();
  uint64_t tests = 0;
  bool more = true;
  for (; more && tests < limit; ++tests) {
    IsMSetCovered(w, S);
    more = AdvanceSkipper(S, n, v, s, [](const Point*) {});
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  while (w.depth > 0) PopPoint(w);
  if (!more) return seconds;
  // The share of the order before S: its rank among all m-sets.
  double before = 0;
  for (unsigned j = 1, i = 1; j <= n; ++j) {
    for (; i < S[j]; ++i) before += BinomialReal(v - i, n - j);
    i = S[j] + 1u;
  }
  if (before == 0) return seconds;
  return seconds * BinomialReal(v, n) / before;
}

double EstimateBelowPrefix(MeetWalk& w, unsigned probes, uint64_t seed) {
  return WithWords(w.words,
                   [&](auto width) { return EstimateBelowPrefixOf<width()>(w, probes, seed); });
}

std::vector<size_t> ShareBounds(const std::vector<double>& work, unsigned parts) {
  double total = 0;
  for (const double x : work) total += x;
  std::vector<size_t> bounds(parts + 1, work.size());
  bounds[0] = 0;
  double done = 0;
  size_t j = 0;
  for (unsigned i = 1; i < parts; ++i) {
    const double goal = total * i / parts;
    while (j < work.size() && done + work[j] / 2 < goal) done += work[j++];
    bounds[i] = j;
  }
  return bounds;
}

void DurationText(double seconds, char* out, size_t size) {
  struct Unit {
    double length;
    const char* name;
  };
  static const Unit kUnits[] = {
      {365.25 * 86400, "years"}, {86400, "days"}, {3600, "hours"}, {60, "minutes"}};
  for (const Unit& u : kUnits) {
    if (seconds < u.length) continue;
    const double value = seconds / u.length;
    if (value >= 1e6)
      std::snprintf(out, size, "%.1e %s", value, u.name);
    else
      std::snprintf(out, size, "%.1f %s", value, u.name);
    return;
  }
  std::snprintf(out, size, "%.0f seconds", seconds);
}

} // namespace kovra
