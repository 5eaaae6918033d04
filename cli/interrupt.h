// Ctrl+C, SIGTERM and SIGHUP during a run: the run's stop flag is raised, a save in progress is
// rolled back instead of replacing its target (picture/staged_output.h), the run finishes cleanly
// and the command exits with 128 + the signal's number (130, 143, 129).
#pragma once

#include "engine/run_control.h"

namespace cli {

// Installs the handlers (once).
void InstallInterruptHandler();

// The stop flag of the command's run, raised by the signals. A command runs one job at a time, so one
// flag serves it; signals reach the whole process anyway.
const StopFlag& RunStopFlag();

// True once one of the signals has arrived.
bool Interrupted();

// The exit status after the signal: 128 + its number.
int InterruptedExitStatus();

}  // namespace cli
