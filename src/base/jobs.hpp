// Work split into jobs on several threads, the results taken in job order.
//
// The jobs of one task (the prefixes of a walk, the ranges of a scan) run on
// up to `threads` threads; their results are handed to the caller's thread
// in job order, so that what it prints does not depend on how many threads
// ran. At most a few results per thread wait to be taken, which bounds the
// memory they hold. Worker threads never receive the signals that end a
// run: those reach the thread that owns the console.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace kovra {

// The number of processors this process may run on: its affinity mask, cut
// to the CPU quota of its control group where one is set. At least 1.
unsigned UsableProcessors();

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread (a worker).
void BlockEndingSignalsInThisThread();

// Runs run(state, i) for i in 0..count-1 and calls consume(i, result) in
// order of i on the calling thread; consume returns false to stop (the jobs
// not yet started are dropped). Every thread that runs jobs makes its own
// state with makeState() once (the working memory of a walk, say). With
// threads <= 1 everything runs on the calling thread, one job after another.
// A job must not print (the console is the calling thread's) and reports
// failure by an exception, which reaches the caller when the job's result
// would have been taken.
template <typename Result, typename MakeState, typename Run, typename Consume>
void RunJobsInOrder(unsigned threads, size_t count, MakeState&& makeState, Run&& run,
                    Consume&& consume) {
  if (threads <= 1 || count <= 1) {
    auto state = makeState();
    for (size_t i = 0; i < count; ++i)
      if (!consume(i, run(state, i))) return;
    return;
  }
  // Jobs go out in batches of consecutive indices: many jobs are tiny (a
  // prefix the blocks cover whole), and handing each over alone cost more
  // than running it (the 163-ticket wheel took 2.5 times as long on two
  // threads as on one). About 32 batches per thread keep the load even; at
  // most 16 jobs each keep the results waiting in the window few.
  const size_t batch = std::clamp<size_t>(count / (size_t{threads} * 32), 1, 16);
  const size_t batches = (count + batch - 1) / batch;
  struct Slot {
    std::vector<Result> results; // of the batch's first jobs, in order
    std::exception_ptr error;    // thrown by the job after them
    bool ready = false;
  };
  const size_t window = size_t{threads} * 4;
  std::vector<Slot> slots(window);
  std::mutex mutex;
  std::condition_variable readyCv, roomCv;
  size_t taken = 0; // results consumed so far
  std::atomic<size_t> next{0};
  std::atomic<bool> stop{false};

  const auto worker = [&] {
    BlockEndingSignalsInThisThread();
    std::optional<decltype(makeState())> state;
    for (;;) {
      const size_t b = next.fetch_add(1);
      if (b >= batches || stop.load()) return;
      {
        std::unique_lock lock(mutex);
        roomCv.wait(lock, [&] { return b < taken + window || stop.load(); });
        if (stop.load()) return;
      }
      Slot out;
      try {
        if (!state) state.emplace(makeState());
        for (size_t i = b * batch; i < std::min(count, (b + 1) * batch) && !stop.load(); ++i)
          out.results.push_back(run(*state, i));
      } catch (...) {
        out.error = std::current_exception();
      }
      out.ready = true;
      std::lock_guard lock(mutex);
      slots[b % window] = std::move(out);
      readyCv.notify_all();
    }
  };
  {
    std::vector<std::jthread> pool;
    for (unsigned t = 0; t < threads && t < batches; ++t) pool.emplace_back(worker);
    std::exception_ptr error;
    for (size_t b = 0; b < batches && !error; ++b) {
      Slot got;
      {
        std::unique_lock lock(mutex);
        readyCv.wait(lock, [&] { return slots[b % window].ready; });
        got = std::move(slots[b % window]);
        slots[b % window] = Slot{};
      }
      bool more = true;
      for (size_t j = 0; j < got.results.size() && more; ++j)
        more = consume(b * batch + j, std::move(got.results[j]));
      if (more && got.error) error = got.error;
      {
        std::lock_guard lock(mutex);
        ++taken;
        if (!more || error) stop.store(true);
      }
      roomCv.notify_all();
      if (!more) break;
    }
    stop.store(true);
    roomCv.notify_all();
    // The pool joins here, before the slots go.
    pool.clear();
    if (error) std::rethrow_exception(error);
  }
}

} // namespace kovra
