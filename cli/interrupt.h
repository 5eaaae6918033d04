// Ctrl+C during a run: the engine's and the batch's stop flags are raised, the run finishes
// cleanly, and the command exits with status 130.
#pragma once

namespace cli {

// Installs the SIGINT handler (once).
void InstallInterruptHandler();

// True once SIGINT has arrived.
bool Interrupted();

}  // namespace cli
