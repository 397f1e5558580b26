// The program run headless: a batch action over the window's logic with no
// window (CHeadlessRunner), its message boxes and progress on stderr, what
// the printer sends back on stdout (CHeadlessRows), and the batch action's
// exit status as the process's (CommandLine.h, BatchExitRule.h). The normal
// build runs it when there is no display (or Qt's platform is "offscreen");
// the build without Qt always does. Nothing here needs Qt.
//
// The stop signal's pipe (InstallStopSignals, installed first thing in main)
// aborts the running action as its Abort button does, or ends the run when
// none runs.
//
// Threading: the program's main thread.
#pragma once

#include "batch/ProgramArguments.h"

// Whether the run is headless: no display (neither DISPLAY nor
// WAYLAND_DISPLAY), or Qt's platform "offscreen" (-platform offscreen, or
// QT_QPA_PLATFORM when no -platform is given).
bool RunsHeadless(const CProgramArguments& arguments);
// Runs the headless program; returns the process's exit status.
int RunHeadlessProgram(const CProgramArguments& arguments, int stopPipe);
// Says on stderr that stdout could not take the output; true when so.
bool ReportLostOutput();
