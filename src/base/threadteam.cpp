// A team of threads kept for many short pieces of parallel work.
#include "base/threadteam.hpp"

#include "base/jobs.hpp"

namespace kovra {
namespace {

// Rounds a waiting thread checks awake before it sleeps: some tens of
// microseconds, about the gap between two blocks of the analysis.
constexpr unsigned kSpins = 1u << 13;

inline void Relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Waits until `value` is no longer `seen`: awake for a while, then asleep.
void WaitWhile(const std::atomic<uint32_t>& value, uint32_t seen) {
  for (unsigned i = 0; i < kSpins; ++i) {
    if (value.load(std::memory_order_acquire) != seen) return;
    Relax();
  }
  while (value.load(std::memory_order_acquire) == seen) value.wait(seen, std::memory_order_acquire);
}

} // namespace

ThreadTeam::ThreadTeam(unsigned threads) {
  for (unsigned i = 1; i < threads; ++i) helpers_.emplace_back([this, i] { HelperLoop(i); });
}

ThreadTeam::~ThreadTeam() {
  quit_.store(true, std::memory_order_release);
  round_.fetch_add(1, std::memory_order_acq_rel);
  round_.notify_all();
  helpers_.clear(); // joins
}

void ThreadTeam::Work(unsigned thread) {
  for (;;) {
    const size_t i = next_.fetch_add(1, std::memory_order_relaxed);
    if (i >= count_) return;
    try {
      call_(context_, i, thread);
    } catch (...) {
      std::lock_guard lock(errorMutex_);
      if (!error_) error_ = std::current_exception();
      next_.store(count_, std::memory_order_relaxed); // the rest is skipped
    }
  }
}

void ThreadTeam::HelperLoop(unsigned thread) {
  BlockEndingSignalsInThisThread();
  uint32_t seen = 0;
  for (;;) {
    WaitWhile(round_, seen);
    seen = round_.load(std::memory_order_acquire);
    if (quit_.load(std::memory_order_acquire)) return;
    Work(thread);
    if (busy_.fetch_sub(1, std::memory_order_acq_rel) == 1) busy_.notify_one();
  }
}

void ThreadTeam::RunErased(size_t count, Call call, void* context) {
  if (count == 0) return;
  if (helpers_.empty() || count == 1) {
    for (size_t i = 0; i < count; ++i) call(context, i, 0);
    return;
  }
  count_ = count;
  call_ = call;
  context_ = context;
  error_ = nullptr;
  next_.store(0, std::memory_order_relaxed);
  busy_.store(static_cast<uint32_t>(helpers_.size()), std::memory_order_relaxed);
  round_.fetch_add(1, std::memory_order_acq_rel);
  round_.notify_all();
  Work(0);
  for (uint32_t left = busy_.load(std::memory_order_acquire); left != 0;
       left = busy_.load(std::memory_order_acquire))
    WaitWhile(busy_, left);
  if (error_) std::rethrow_exception(error_);
}

} // namespace kovra
