#include "cli/interrupt.h"

#include <csignal>

#include <atomic>

#include "batch/batch_runner.h"
#include "engine/denoise.h"

namespace cli {

namespace {

std::atomic<bool> interrupted{false};

// Only lock-free atomic stores: safe in a signal handler.
void OnInterrupt(int) {
  interrupted.store(true);
  cancelRequested.store(1);
  batchAbort.store(1);
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() { return interrupted.load(); }

}  // namespace cli
