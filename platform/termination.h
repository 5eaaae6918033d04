// A request to end the process that arrived as a signal (SIGINT, SIGTERM, SIGHUP). The command
// line's handler records it here; work that is about to make a change that cannot be taken back
// (a finished save renamed over its target) reads it first and rolls back instead.
#pragma once

// Records `signal` as the reason to end. Safe in a signal handler (a lock-free atomic store).
void RecordTerminationSignal(int signal);

// The first signal recorded, 0 while none has been.
int TerminationSignal();

// Forgets a recorded signal (tests).
void ClearTerminationSignal();
