#include "cli/interrupt.h"

#include <csignal>

#include "platform/termination.h"

namespace cli {

namespace {

StopFlag runStop;

// Only lock-free atomic stores: safe in a signal handler.
void OnTerminationSignal(int signal) {
  RecordTerminationSignal(signal);
  runStop.Request();
}

}  // namespace

const StopFlag& RunStopFlag() { return runStop; }

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool Interrupted() { return TerminationSignal() != 0; }

int InterruptedExitStatus() { return 128 + TerminationSignal(); }

}  // namespace cli
