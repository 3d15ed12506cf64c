// The moment a run gives up on its test (--time-limit): every long piece of
// work asks it now and then, and the first that finds it passed unwinds the
// test with TimeLimitReached, on whichever thread it runs.
#pragma once

#include <atomic>
#include <chrono>

namespace kovra {

struct Deadline {
  std::chrono::steady_clock::time_point at = std::chrono::steady_clock::time_point::max();
  // Raised by another thread (a library caller's Ctrl-C): the test ends as
  // at the deadline.
  const std::atomic<bool>* stop = nullptr;

  bool Set() const { return at != std::chrono::steady_clock::time_point::max(); }
  bool Stopped() const { return stop != nullptr && stop->load(std::memory_order_relaxed); }
  bool Passed() const { return Stopped() || (Set() && std::chrono::steady_clock::now() >= at); }
  // Seconds left (0 when passed); a large number when no deadline is set.
  double SecondsLeft() const;
};

// `seconds` from now; none for 0.
Deadline DeadlineAfter(double seconds);

// What CheckDeadline throws: caught where the test is run, which ends
// undecided. It carries nothing: the run knows its own limit.
struct TimeLimitReached {};

inline void CheckDeadline(const Deadline& d) {
  if (d.Passed()) throw TimeLimitReached{};
}

} // namespace kovra
