// How long a walk over the m-sets will take, told before it starts.
//
// The walk's tree is sized by random probes (Knuth's estimator): a probe
// follows one random branch from the root and multiplies the branching it
// meets; the mean over many probes is an unbiased estimate of the number of
// prefixes the walk extends. The probes' own speed turns that into seconds.
#pragma once

#include "verify/meetwalk.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kovra {

struct WalkEstimate {
  double pushes = 0;  // prefixes the complete walk extends (estimated)
  double seconds = 0; // at the speed the probes ran
  double perPush = 0; // seconds one extension of a prefix took in the probes
};

// Probes the walk (leaving it at the empty prefix); a walk that looks short
// after a few probes is not probed further, a long one for about
// budgetSeconds.
WalkEstimate EstimateMeetWalk(MeetWalk& w, double budgetSeconds);

// The seconds a sampled pass with skipper s (>= 1) takes: its first `limit`
// tests are made and timed, and the rest extrapolated from the share of the
// order they covered.
double EstimateSkipperPass(MeetWalk& w, int s, uint64_t limit);

// The work below the walk's current prefix, for splitting a walk into
// shares: `probes` probes from a seed of the caller's (the same estimate on
// every machine, whatever its speed), in prefixes to extend.
double EstimateBelowPrefix(MeetWalk& w, unsigned probes, uint64_t seed);

// Cuts jobs of the given estimated work into `parts` runs of consecutive
// jobs of about equal work: share i (from 1) is jobs [bounds[i-1], bounds[i]).
std::vector<size_t> ShareBounds(const std::vector<double>& work, unsigned parts);

// A duration for a message: "40 seconds", "3.2 hours", "1.5e+09 years".
void DurationText(double seconds, char* out, size_t size);

// Above this a walk over every m-set is not started: no run should be left
// to spin for longer than a month without being asked (the draw profile).
inline constexpr double WALK_BEYOND_REACH_SECONDS = 30.0 * 24 * 3600;
// Above this the coverage test does not walk: the proof search decides
// (prover.hpp), which settles most such designs in seconds.
inline constexpr double WALK_PROVE_INSTEAD_SECONDS = 60.0;
// Above this the estimate is printed before the test.
inline constexpr double WALK_ESTIMATE_SHOWN_SECONDS = 10.0;

} // namespace kovra
