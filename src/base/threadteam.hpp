// A team of threads kept for many short pieces of parallel work.
//
// RunJobsInOrder (jobs.hpp) starts its threads for one task and suits tasks
// of many jobs; the analysis of a design asks the threads for help once per
// block, thousands of times a second, where starting threads each time
// would cost more than the help. A team starts its helpers once; between
// pieces of work they wait briefly awake and then asleep. The calling thread
// takes part, so a team of n runs on n threads with n - 1 helpers, and an
// item whose helper was put aside by the system is taken over by the others.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace kovra {

class ThreadTeam {
public:
  // A team of `threads` (at least 1: the caller alone).
  explicit ThreadTeam(unsigned threads);
  ~ThreadTeam();
  ThreadTeam(const ThreadTeam&) = delete;
  ThreadTeam& operator=(const ThreadTeam&) = delete;

  unsigned Size() const { return static_cast<unsigned>(helpers_.size()) + 1; }

  // Runs fn(i) for every i in 0..count-1, the items handed out in order to
  // whichever thread is free, and returns when all of them are done; or
  // fn(i, thread) with the thread's number (0 for the caller, 1..Size()-1
  // for the helpers), to keep working memory per thread. An item must not
  // print. The first exception an item throws reaches the caller once the
  // others have stopped; the items not yet started are skipped.
  template <typename Fn>
  void Run(size_t count, Fn&& fn) {
    using F = std::remove_reference_t<Fn>;
    RunErased(
        count,
        [](void* f, size_t i, unsigned thread) {
          if constexpr (std::is_invocable_v<F&, size_t, unsigned>)
            (*static_cast<F*>(f))(i, thread);
          else
            (*static_cast<F*>(f))(i);
        },
        const_cast<void*>(static_cast<const void*>(&fn)));
  }

private:
  using Call = void (*)(void*, size_t, unsigned);
  void RunErased(size_t count, Call call, void* context);
  void Work(unsigned thread);       // takes items of the piece of work until none are left
  void HelperLoop(unsigned thread); // a helper's life

  std::vector<std::jthread> helpers_;
  // The piece of work: set by the caller before `round_` moves on.
  size_t count_ = 0;
  Call call_ = nullptr;
  void* context_ = nullptr;
  std::atomic<size_t> next_{0};
  std::atomic<uint32_t> round_{0}; // moves on for every piece of work
  std::atomic<uint32_t> busy_{0};  // helpers not done with this round
  std::atomic<bool> quit_{false};
  std::mutex errorMutex_;
  std::exception_ptr error_;
};

} // namespace kovra
