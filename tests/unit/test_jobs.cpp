// Jobs on threads: results in job order whatever the threads do, an early
// stop that starts nothing more, and a job's exception where its result
// would have been taken.
#include "base/jobs.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace kovra {
namespace {

TEST(RunJobsInOrder, OrderEarlyStopAndAnExceptionInJobK) {
  for (const unsigned threads : {1u, 2u, 4u, 7u}) {
    SCOPED_TRACE(threads);
    // Later jobs finish first: the results still arrive in order.
    std::vector<size_t> seen;
    std::atomic<int> states{0};
    RunJobsInOrder<size_t>(
        threads, 300, [&] { return ++states; },
        [](int, size_t i) {
          std::this_thread::sleep_for(std::chrono::microseconds((300 - i) % 7 * 50));
          return i * i;
        },
        [&](size_t i, size_t r) {
          EXPECT_EQ(r, i * i);
          seen.push_back(i);
          return true;
        });
    ASSERT_EQ(seen.size(), 300u);
    for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], i);
    EXPECT_LE(states.load(), static_cast<int>(threads)); // one state per thread at most

    // consume's false stops: nothing after it is taken, and not every job runs.
    std::atomic<size_t> ran{0};
    seen.clear();
    RunJobsInOrder<size_t>(
        threads, 100000, [] { return 0; },
        [&](int, size_t i) {
          ++ran;
          return i;
        },
        [&](size_t i, size_t) {
          seen.push_back(i);
          return i < 10;
        });
    EXPECT_EQ(seen.size(), 11u);
    EXPECT_LT(ran.load(), 100000u);

    // Job 57 throws: the jobs before it are taken, then the exception comes.
    seen.clear();
    EXPECT_THROW(RunJobsInOrder<size_t>(
                     threads, 200, [] { return 0; },
                     [](int, size_t i) {
                       if (i == 57) throw std::runtime_error("job 57");
                       return i;
                     },
                     [&](size_t i, size_t) {
                       seen.push_back(i);
                       return true;
                     }),
                 std::runtime_error);
    ASSERT_EQ(seen.size(), 57u);
    EXPECT_EQ(seen.back(), 56u);
  }
}

} // namespace
} // namespace kovra
