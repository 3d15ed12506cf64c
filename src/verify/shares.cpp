// The cut of a complete pass into shares.
#include "verify/shares.hpp"

#include "design/combinatorics.hpp"

#include <algorithm>

namespace kovra {

const char* CutUnitName(CutUnit unit) {
  switch (unit) {
  case CutUnit::kTSets: return "t-subsets";
  case CutUnit::kPrefixes: return "prefixes";
  case CutUnit::kNone: break;
  }
  return "";
}

CutUnit CutUnitNamed(const std::string& name) {
  if (name == "t-subsets") return CutUnit::kTSets;
  if (name == "prefixes") return CutUnit::kPrefixes;
  return CutUnit::kNone;
}

uint64_t ShareStart(uint64_t total, unsigned index, unsigned parts) {
  if (parts == 0) return 0;
  return static_cast<uint64_t>(static_cast<Count128>(total) * index / parts);
}

std::vector<std::array<Point, 3>> PrefixJobs(unsigned v, unsigned n) {
  std::vector<std::array<Point, 3>> jobs;
  if (n <= 1 || n > v) {
    jobs.push_back({0, 0, 0});
    return jobs;
  }
  for (unsigned a = 1; a + n - 1 <= v; ++a) {
    if (n == 2) {
      jobs.push_back({1, static_cast<Point>(a), 0});
      continue;
    }
    for (unsigned b = a + 1; b + n - 2 <= v; ++b)
      jobs.push_back({2, static_cast<Point>(a), static_cast<Point>(b)});
  }
  return jobs;
}

uint64_t CutUnitOf(CutUnit unit, unsigned v, const std::vector<unsigned>& set) {
  const auto n = static_cast<unsigned>(set.size());
  if (n == 0 || n > v || n > MAX_M || set.front() < 1 || set.back() > v) return UINT64_MAX;
  for (size_t i = 1; i < set.size(); ++i)
    if (set[i] <= set[i - 1]) return UINT64_MAX;
  if (unit == CutUnit::kTSets) {
    if (n > MAX_RANK_T) return UINT64_MAX;
    Point comb[MAX_M];
    for (unsigned i = 0; i < n; ++i) comb[i] = static_cast<Point>(set[i]);
    const uint64_t rank = RankComb(comb, v, n);
    return rank == 0 ? UINT64_MAX : rank - 1;
  }
  if (unit != CutUnit::kPrefixes) return UINT64_MAX;
  const std::vector<std::array<Point, 3>> jobs = PrefixJobs(v, n);
  std::array<Point, 3> key{static_cast<Point>(n <= 1 ? 0 : n == 2 ? 1 : 2), 0, 0};
  if (key[0] >= 1) key[1] = static_cast<Point>(set[0]);
  if (key[0] >= 2) key[2] = static_cast<Point>(set[1]);
  const auto at = std::lower_bound(jobs.begin(), jobs.end(), key);
  return at != jobs.end() && *at == key ? static_cast<uint64_t>(at - jobs.begin()) : UINT64_MAX;
}

uint64_t MSetsInCut(CutUnit unit, unsigned v, unsigned n, uint64_t from, uint64_t to) {
  if (to <= from) return 0;
  if (unit == CutUnit::kTSets) return to - from;
  const std::vector<std::array<Point, 3>> jobs = PrefixJobs(v, n);
  Count128 sum = 0;
  for (uint64_t j = from; j < to && j < jobs.size(); ++j) {
    const auto& job = jobs[j];
    // The m-sets that start with the job's prefix: the rest of their points
    // lie above its last point.
    const unsigned last = job[0] == 0 ? 0 : job[job[0]];
    const Count128 here = BinomialWide(v - last, n - job[0]);
    sum = here > COUNT128_MAX - sum ? COUNT128_MAX : sum + here;
  }
  return sum > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(sum);
}

} // namespace kovra
