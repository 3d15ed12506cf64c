// Processors and worker threads.
#include "base/jobs.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>
#include <sched.h>

namespace kovra {
namespace {

// The CPU quota of the control group ("max 100000" or "200000 100000" in
// cgroup v2): quota / period processors, 0 when none is set.
unsigned CgroupQuota() {
  std::FILE* f = std::fopen("/sys/fs/cgroup/cpu.max", "r");
  if (f == nullptr) return 0;
  char quota[32] = {};
  unsigned long period = 0;
  const int got = std::fscanf(f, "%31s %lu", quota, &period);
  std::fclose(f);
  if (got != 2 || period == 0 || quota[0] < '0' || quota[0] > '9') return 0;
  const unsigned long q = std::strtoul(quota, nullptr, 10);
  return static_cast<unsigned>((q + period - 1) / period);
}

} // namespace

unsigned UsableProcessors() {
  unsigned n = 0;
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) n = static_cast<unsigned>(CPU_COUNT(&set));
  if (n == 0) n = std::max(1u, std::thread::hardware_concurrency());
  const unsigned quota = CgroupQuota();
  if (quota != 0) n = std::min(n, quota);
  return std::max(1u, n);
}

void BlockEndingSignalsInThisThread() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

} // namespace kovra
