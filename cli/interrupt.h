// Ctrl+C, SIGTERM and SIGHUP during a run: the engine's and the batch's stop flags are raised, a
// save in progress is rolled back instead of replacing its target (picture/staged_output.h), the
// run finishes cleanly and the command exits with 128 + the signal's number (130, 143, 129).
#pragma once

namespace cli {

// Installs the handlers (once).
void InstallInterruptHandler();

// True once one of the signals has arrived.
bool Interrupted();

// The exit status after the signal: 128 + its number.
int InterruptedExitStatus();

}  // namespace cli
