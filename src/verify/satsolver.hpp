// The one door to the SAT solver library: clauses in, an answer and a model out.
//
// Only satsolver.cpp includes the library's header; the rest of KOVRA sees
// these records. Variables are 1..n and a literal is +v or -v, as in the
// DIMACS format; a clause is its literals followed by 0. A session is
// incremental: clauses added after an answer narrow the next solve.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kovra {

enum class SatAnswer : uint8_t {
  kSatisfiable,
  kUnsatisfiable,
  kTimedOut, // the deadline passed first
  kStopped,  // the stop flag was raised
  kBudget,   // the conflicts allowed ran out: solve again to go on
  kFailed,   // the library failed (memory, an internal error): no answer
};

struct SatLimits {
  std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
  const std::atomic<bool>* stop = nullptr; // raised by another thread: give up soon
  int64_t conflicts = -1;                  // conflicts this solve may take; -1: no bound
  // Called about once a second while the solver works, for a progress display.
  void (*tick)(void* context) = nullptr;
  void* tickContext = nullptr;
};

struct SatSession;
struct SatSessionDeleter {
  void operator()(SatSession* s) const;
};
using SatSessionPtr = std::unique_ptr<SatSession, SatSessionDeleter>;

// A fresh solver; null when it could not be made.
SatSessionPtr NewSatSession();

// Adds clauses (each ended by 0); false when the library failed.
bool AddClauses(SatSession& s, const std::vector<int>& clauses);

SatAnswer SolveSat(SatSession& s, const SatLimits& limits);

// After kSatisfiable: the value of variable var in the model found.
bool ModelValue(SatSession& s, int var);

// The library, for the log: "CaDiCaL".
std::string SatSolverName();

} // namespace kovra
