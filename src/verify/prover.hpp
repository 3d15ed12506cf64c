// Coverage decided without walking the m-sets: a search for one losing m-set.
//
// A design fails exactly when some m-set S meets fewer than l blocks in t or
// more points (a block repeated counts per copy). Since a block that meets S
// meets every superset of S at least as much, such an S exists exactly when
// a set of at least m points does, and the search looks for that: a point
// set chosen so that fewer than l blocks get t or more of its points. Either
// it finds one (the witness: its m lowest points) or it proves that none
// exists, which proves the design covers without visiting one m-set.
//
// Two searches take turns (prover.cpp says why). One is a SAT
// problem over one variable per point (satsolver.hpp):
// for each block, "at most t - 1 of its points are chosen, or the block is
// one of the hit ones", and cardinality constraints for "fewer than l hit
// blocks" and "at least m points". The counting of the m points follows the
// structure of the blocks (points that share blocks sit in one subtree of the
// counter), so that a bound such as "at most t - 1 points of each of these
// disjoint tickets" is seen by propagation instead of by search. The other
// is a depth-first search over the points in increasing order that cuts a
// prefix as soon as a bound shows it cannot grow into a losing m-set.
#pragma once

#include "verify/pointset.hpp"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace kovra {

enum class ProofVerdict : uint8_t {
  kCovered,  // proved: every m-set meets at least l blocks in t or more points
  kLosing,   // witnesses found; the design fails
  kTimedOut, // the time limit passed first: nothing decided
  kStopped,  // the stop flag was raised: nothing decided
  kTooLarge, // the problem would pass the memory bound
  kFailed,   // the solver failed: nothing decided
};

struct ProofQuery {
  const PointSetList* blocks = nullptr; // a repeated block counts per copy
  unsigned v = 0, m = 0, t = 1, l = 1;
  double timeLimitSeconds = 0;              // 0: none
  const std::atomic<bool>* stop = nullptr;  // raised by another thread: give up soon
  uint32_t maxWitnesses = 1;                // losing m-sets to find before stopping
  uint64_t memoryBound = 0;                 // bytes the problem may take; 0: no bound
  bool useSat = true, useDepthFirst = true; // the searches that take turns (tests force one)
  // Called about once a second while the search runs (a progress display).
  void (*tick)(void* context) = nullptr;
  void* tickContext = nullptr;
};

// The two searches that take turns; the first to decide ends the proof.
enum class ProofMethod : uint8_t {
  kSat,        // clauses over the points for a SAT solver
  kDepthFirst, // the points in increasing order, prefixes cut by a bound
};

struct ProofResult {
  ProofVerdict verdict = ProofVerdict::kFailed;
  ProofMethod method = ProofMethod::kSat; // the search that decided
  // kLosing: different losing m-sets, in lexicographic order, each checked
  // against the blocks by direct count (of the blocks' width).
  PointSetList witnesses;
  // kLosing: the witnesses are every losing m-set (the search ran out of
  // them before maxWitnesses), so their number is the exact count.
  bool allFound = false;
};

ProofResult ProveCoverage(const ProofQuery& q);

// True when every witness is an m-set that fewer than l of the query's
// blocks meet in t or more points, counted directly: the check every
// search's answer passes before it is believed.
bool WitnessesLose(const ProofQuery& q, const PointSetList& witnesses);

// How many blocks meet the set in t or more points (each copy counted).
uint32_t BlocksMeeting(const PointSetList& blocks, PointSetView s, unsigned t);

// The method, for the log: "the SAT search (CaDiCaL)".
std::string ProofMethodName(ProofMethod method);

} // namespace kovra
