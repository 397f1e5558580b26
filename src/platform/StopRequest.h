// The process-wide stop request of a signal (SIGINT, SIGTERM, SIGHUP).
//
// A signal can arrive at any moment: before the window runs, while the
// window thread waits for a connection, between the automatic start and the
// first write. The handler only stores a flag and writes one byte to a pipe
// (both async-signal-safe); the window thread watches the pipe and aborts
// the running action, and every wait that may hold a thread for long (the
// connection attempt, a job's pieces, the closing waits) polls the flag, so
// the run ends within a second and sends nothing more.
//
// Threading: RequestStop may be called from a signal handler or any thread;
// IsStopRequested from any thread. InstallStopSignals once, first thing in
// main, before any other thread exists.
#pragma once

// Sets the flag and wakes the pipe's reader.
void RequestStop();
bool IsStopRequested();
// Installs the handler for SIGINT, SIGTERM and SIGHUP and makes the pipe;
// unblocks the three (a signal left pending by a parent that had them
// blocked is handled at once).
// Returns the pipe's read end (non-blocking), or -1 when it could not be made
// (the flag still works).
int InstallStopSignals();
// Reads what the pipe holds (the window thread, when the pipe is readable).
void DrainStopPipe();
