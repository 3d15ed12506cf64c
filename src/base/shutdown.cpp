// The cleanup of a run ended by a signal. The handler may only use what is
// safe in a signal handler: unlink, write and the fixed tables below.
#include "base/shutdown.hpp"

#include "base/console.hpp"

#include <atomic>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace kovra {
namespace {

// A run writes at most a new design file and a temporary copy at a time.
constexpr int kSlots = 4;
constexpr size_t kPathMax = 4096;

struct TempSlot {
  volatile std::sig_atomic_t inUse = 0;
  char path[kPathMax] = {};
};
TempSlot gSlots[kSlots];

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void CleanUpAndReraise(int sig) {
  for (TempSlot& slot : gSlots)
    if (slot.inUse != 0) ::unlink(slot.path);
  ConsoleFlushForSignal();
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, nullptr);
  raise(sig);
}

} // namespace

void InstallSignalCleanup() {
  struct sigaction sa {};
  sa.sa_handler = CleanUpAndReraise;
  sigemptyset(&sa.sa_mask);
  for (int sig : kCleanupSignals) sigaddset(&sa.sa_mask, sig);
  for (int sig : kCleanupSignals) {
    // A signal the caller chose to ignore (nohup) stays ignored.
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(sig, &sa, nullptr);
  }
  std::signal(SIGXFSZ, SIG_IGN);
}

int RegisterTempPath(const char* path) {
  if (path == nullptr || std::strlen(path) >= kPathMax) return -1;
  for (int i = 0; i < kSlots; ++i) {
    if (gSlots[i].inUse != 0) continue;
    std::strcpy(gSlots[i].path, path);
    // The path is complete before the handler may see the slot in use.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    gSlots[i].inUse = 1;
    return i;
  }
  return -1;
}

void UnregisterTempPath(int slot) {
  if (slot >= 0 && slot < kSlots) gSlots[slot].inUse = 0;
}

} // namespace kovra
