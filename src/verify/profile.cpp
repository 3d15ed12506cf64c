// The draw profile walk.
#include "verify/profile.hpp"

#include "design/combinatorics.hpp"

#include <algorithm>

namespace kovra {
namespace {

struct ProfileWalk {
  unsigned v = 0, n = 0, l = 0, top = 0; // top = min(k, m)
  std::vector<uint32_t> first, holders;  // blocks holding point p: holders[first[p] .. first[p+1])
  std::vector<uint8_t> meet;             // per block: points of the prefix it holds
  uint32_t atLeast[MAX_M + 2] = {};      // blocks meeting the prefix in j or more points
  DrawProfile out;
};

// Every m-set that completes the prefix (of d points, the last one `last`)
// with one point z: what the blocks holding z add decides it.
void CountLastPoints(ProfileWalk& w, unsigned last, unsigned maxMeet) {
  const unsigned n = w.n;
  for (unsigned z = last + 1; z <= w.v; ++z) {
    uint32_t near[MAX_M + 2] = {}; // near[j]: blocks holding z that meet the prefix in j - 1
    unsigned best = maxMeet;
    for (uint32_t i = w.first[z]; i < w.first[z + 1]; ++i) {
      const unsigned c = w.meet[w.holders[i]] + 1u;
      ++near[c];
      best = std::max(best, c);
    }
    ++w.out.best[std::min(best, w.top)];
    for (unsigned j = 0; j <= w.top && j <= n; ++j)
      if (w.atLeast[j] + near[j] >= w.l) ++w.out.atLeastL[j];
  }
}

void Walk(ProfileWalk& w, unsigned d, unsigned last, unsigned maxMeet) {
  if (d + 1 == w.n) {
    CountLastPoints(w, last, maxMeet);
    return;
  }
  for (unsigned y = last + 1; y + (w.n - d - 1) <= w.v; ++y) {
    unsigned grown = maxMeet;
    for (uint32_t i = w.first[y]; i < w.first[y + 1]; ++i) {
      const unsigned c = ++w.meet[w.holders[i]];
      ++w.atLeast[c];
      grown = std::max(grown, c);
    }
    Walk(w, d + 1, y, grown);
    for (uint32_t i = w.first[y]; i < w.first[y + 1]; ++i) --w.atLeast[w.meet[w.holders[i]]--];
  }
}

} // namespace

DrawProfile ComputeDrawProfile(const std::vector<PointSet>& blocks, unsigned v, unsigned k,
                               unsigned m, unsigned l) {
  ProfileWalk w;
  w.v = v;
  w.n = m;
  w.l = l;
  w.top = std::min(k, m);
  w.out.best.assign(w.top + 1, 0);
  w.out.atLeastL.assign(w.top + 1, 0);
  if (m == 0 || m > v) return w.out;
  w.meet.assign(blocks.size(), 0);
  w.first.assign(v + 2, 0);
  for (const PointSet& b : blocks) ForEachPoint(b, [&](unsigned p) { ++w.first[p + 1]; });
  for (unsigned p = 1; p <= v; ++p) w.first[p + 1] += w.first[p];
  w.holders.assign(w.first[v + 1], 0);
  std::vector<uint32_t> fill(w.first.begin(), w.first.end());
  for (uint32_t i = 0; i < blocks.size(); ++i)
    ForEachPoint(blocks[i], [&](unsigned p) { w.holders[fill[p]++] = i; });
  // Every block meets the empty prefix in 0 points.
  w.atLeast[0] = static_cast<uint32_t>(blocks.size());
  Walk(w, 0, 0, 0);
  return w.out;
}

double EstimateDrawProfileSeconds(const std::vector<PointSet>& blocks, unsigned v, unsigned m) {
  uint64_t held = 0;
  for (const PointSet& b : blocks) held += CountPoints(b);
  const double perLeaf = 2e-9 * (static_cast<double>(held) / std::max(1u, v) + m + 4);
  return static_cast<double>(BinomialWide(v, m)) * perLeaf;
}

} // namespace kovra
