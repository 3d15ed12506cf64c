// The SAT solver adapter over CaDiCaL: its types and failures stay in this file.
#include "verify/satsolver.hpp"

#include <cadical.hpp>

#include <algorithm>
#include <cstdint>
#include <exception>

namespace kovra {

struct SatSession {
  CaDiCaL::Solver solver;
};

void SatSessionDeleter::operator()(SatSession* s) const { delete s; }

namespace {

// CaDiCaL asks this between steps of its search; answering true makes it
// return "unknown" at once, with its state intact.
struct Limiter : CaDiCaL::Terminator {
  const SatLimits& limits;
  std::chrono::steady_clock::time_point nextTick;
  bool timedOut = false, stopped = false;

  explicit Limiter(const SatLimits& l)
      : limits(l), nextTick(std::chrono::steady_clock::now() + std::chrono::seconds(1)) {}

  bool terminate() override {
    if (limits.stop != nullptr && limits.stop->load(std::memory_order_relaxed)) stopped = true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= limits.deadline) timedOut = true;
    if (limits.tick != nullptr && now >= nextTick) {
      nextTick = now + std::chrono::seconds(1);
      limits.tick(limits.tickContext);
    }
    return stopped || timedOut;
  }
};

} // namespace

SatSessionPtr NewSatSession() {
  try {
    SatSessionPtr s(new SatSession);
    // The log is KOVRA's: the solver prints nothing of its own.
    s->solver.set("quiet", 1);
    return s;
  } catch (const std::exception&) {
    return nullptr;
  }
}

bool AddClauses(SatSession& s, const std::vector<int>& clauses) {
  try {
    for (const int lit : clauses) s.solver.add(lit);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

SatAnswer SolveSat(SatSession& s, const SatLimits& limits) {
  try {
    Limiter limiter(limits);
    s.solver.connect_terminator(&limiter);
    if (limits.conflicts >= 0)
      s.solver.limit("conflicts", static_cast<int>(std::min<int64_t>(limits.conflicts, INT32_MAX)));
    const int result = s.solver.solve();
    s.solver.disconnect_terminator();
    if (result == 10) return SatAnswer::kSatisfiable;
    if (result == 20) return SatAnswer::kUnsatisfiable;
    if (limiter.stopped) return SatAnswer::kStopped;
    if (limiter.timedOut) return SatAnswer::kTimedOut;
    return limits.conflicts >= 0 ? SatAnswer::kBudget : SatAnswer::kFailed;
  } catch (const std::exception&) {
    s.solver.disconnect_terminator();
    return SatAnswer::kFailed;
  }
}

bool ModelValue(SatSession& s, int var) { return s.solver.val(var) > 0; }

std::string SatSolverName() { return "CaDiCaL"; }

} // namespace kovra
