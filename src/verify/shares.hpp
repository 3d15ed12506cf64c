// How the complete pass of a test is cut into shares (--part=I/N), so that N
// runs on N machines cover every m-set exactly once, and how a merge checks
// that the shares it is given fit together.
//
// The cut depends on the design alone, never on the memory, the processors
// or the time a run has: whatever --memory and --threads each share used,
// share I covers the same m-sets.
// - m = t: the t-subsets in rank order (index = rank - 1), share I the
//   indices [C(v,t)·(I-1)/N, C(v,t)·I/N). A merge can recompute these.
// - m > t (and the m-sets of a derived test): the prefix jobs of the walk,
//   every pair of first points in lexicographic order (PrefixJobs), cut
//   into runs of about equal estimated work below them. The estimate is
//   seeded by the job's index, so it is the same on every machine; a merge
//   checks that the runs follow each other without gap or overlap.
// Inside a share the work may still be split further (by memory or threads):
// that split is the share's own business and changes nothing it reports.
#pragma once

#include "base/limits.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kovra {

// The units a cut counts in.
enum class CutUnit : uint8_t { kNone, kTSets, kPrefixes };

// The part of the complete pass one share walked: units [from, to) of `of`.
struct ShareCut {
  CutUnit unit = CutUnit::kNone;
  uint64_t from = 0, to = 0, of = 0;
};

// The names a certificate gives the units ("t-subsets", "prefixes"), and
// back; kNone for a name that is neither.
const char* CutUnitName(CutUnit unit);
CutUnit CutUnitNamed(const std::string& name);

// The first unit of share `index` (from 0) of `parts` over `total` units:
// total·index/parts, exactly (share `parts` ends at `total`).
uint64_t ShareStart(uint64_t total, unsigned index, unsigned parts);

// The prefixes the complete pass of m-sets of n points of 1..v is split
// into, for threads and for shares: every pair of first points (every first
// point for n = 2, the empty prefix for n <= 1), in lexicographic order.
// [0] is the prefix's length, [1..2] its points.
std::vector<std::array<Point, 3>> PrefixJobs(unsigned v, unsigned n);

// The unit of the cut that holds the m-set (n ascending points of 1..v, in
// base 1): its t-subset index or its prefix job. UINT64_MAX when the set is
// no m-set of 1..v.
uint64_t CutUnitOf(CutUnit unit, unsigned v, const std::vector<unsigned>& set);

// The m-sets of n points of 1..v that lie in units [from, to) of the cut,
// saturated at UINT64_MAX: no share can lose more.
uint64_t MSetsInCut(CutUnit unit, unsigned v, unsigned n, uint64_t from, uint64_t to);

} // namespace kovra
