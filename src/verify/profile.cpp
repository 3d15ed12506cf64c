// The draw profile walk.
#include "verify/profile.hpp"

#include "base/jobs.hpp"
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

DrawProfile ComputeDrawProfile(const PointSetList& blocks, unsigned v, unsigned k, unsigned m,
                               unsigned l, unsigned threads) {
  ProfileWalk proto;
  proto.v = v;
  proto.n = m;
  proto.l = l;
  proto.top = std::min(k, m);
  proto.out.best.assign(proto.top + 1, 0);
  proto.out.atLeastL.assign(proto.top + 1, 0);
  if (m == 0 || m > v) return proto.out;
  proto.meet.assign(blocks.size(), 0);
  proto.first.assign(v + 2, 0);
  for (const PointSetView b : blocks) ForEachPoint(b, [&](unsigned p) { ++proto.first[p + 1]; });
  for (unsigned p = 1; p <= v; ++p) proto.first[p + 1] += proto.first[p];
  proto.holders.assign(proto.first[v + 1], 0);
  std::vector<uint32_t> fill(proto.first.begin(), proto.first.end());
  for (uint32_t i = 0; i < blocks.size(); ++i)
    ForEachPoint(blocks[i], [&](unsigned p) { proto.holders[fill[p]++] = i; });
  // Every block meets the empty prefix in 0 points.
  proto.atLeast[0] = static_cast<uint32_t>(blocks.size());
  if (m < 3 || threads <= 1) {
    Walk(proto, 0, 0, 0);
    return proto.out;
  }
  // On threads: one job per pair of first points, each walk of its own, the
  // sums added up (in job order, though any order would give them).
  std::vector<std::pair<Point, Point>> jobs;
  for (unsigned a = 1; a + m - 1 <= v; ++a)
    for (unsigned b = a + 1; b + m - 2 <= v; ++b)
      jobs.emplace_back(static_cast<Point>(a), static_cast<Point>(b));
  DrawProfile total = proto.out;
  RunJobsInOrder<DrawProfile>(
      threads, jobs.size(), [&] { return proto; },
      [&](ProfileWalk& w, size_t i) {
        std::fill(w.out.best.begin(), w.out.best.end(), 0);
        std::fill(w.out.atLeastL.begin(), w.out.atLeastL.end(), 0);
        unsigned maxMeet = 0;
        for (const unsigned y : {jobs[i].first, jobs[i].second})
          for (uint32_t h = w.first[y]; h < w.first[y + 1]; ++h) {
            const unsigned c = ++w.meet[w.holders[h]];
            ++w.atLeast[c];
            maxMeet = std::max(maxMeet, c);
          }
        Walk(w, 2, jobs[i].second, maxMeet);
        for (const unsigned y : {jobs[i].second, jobs[i].first})
          for (uint32_t h = w.first[y]; h < w.first[y + 1]; ++h)
            --w.atLeast[w.meet[w.holders[h]]--];
        return w.out;
      },
      [&](size_t, DrawProfile&& part) {
        for (size_t j = 0; j < part.best.size(); ++j) {
          total.best[j] += part.best[j];
          total.atLeastL[j] += part.atLeastL[j];
        }
        return true;
      });
  return total;
}

double EstimateDrawProfileSeconds(const PointSetList& blocks, unsigned v, unsigned m) {
  uint64_t held = 0;
  for (const PointSetView b : blocks) held += CountPoints(b);
  const double perLeaf = 2e-9 * (static_cast<double>(held) / std::max(1u, v) + m + 4);
  return BinomialReal(v, m) * perLeaf;
}

} // namespace kovra
