// SIGTERM and SIGHUP (a logout, `kill`, a service manager) end the desktop application the way
// closing its window does: the run in progress is stopped, the profiles are saved and the crash
// flag is cleared, so the next start shows no crash warning. No question is asked (nobody may be
// there to answer it). The signal handler only writes a byte into a socket; the window is closed on
// the user-interface thread when the socket is read.
#pragma once

class MainWindow;

// Installs the handlers for SIGTERM and SIGHUP (once): on either, `window` is closed and the
// application quits, leaving any modal loop.
void CloseOnTerminationSignals(MainWindow* window);
