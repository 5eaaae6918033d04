#include "cli/interrupt.h"

#include <csignal>

#include "batch/batch_runner.h"
#include "engine/denoise.h"
#include "platform/termination.h"

namespace cli {

namespace {

// Only lock-free atomic stores: safe in a signal handler.
void OnTerminationSignal(int signal) {
  RecordTerminationSignal(signal);
  cancelRequested.store(1);
  batchAbort.store(1);
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool Interrupted() { return TerminationSignal() != 0; }

int InterruptedExitStatus() { return 128 + TerminationSignal(); }

}  // namespace cli
