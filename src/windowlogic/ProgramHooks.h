// The hooks both programs (the window's and the headless one) hand to
// CSendrixApp, made in one place so that the two cannot drift apart: the
// stored settings go into the dialog and the command line is applied on
// top of them; at close the settings are saved and the dialog's exit status
// is taken.
//
// Lifetime: `settings`, `commandLine` and `exitStatus` are referred to by
// the hooks and must outlive the CSendrixApp that runs them.
#pragma once

#include <functional>

#include "windowlogic/SendrixApp.h"

class CCommandLine;
class CStoredSettings;

// `afterLoad` (may be empty) runs after the command line is applied: the
// headless program sets its echoes there. `exitStatus` receives
// CSendrixDlg::ExitStatusAtClose() when the settings are saved.
CSendrixApp::Hooks MakeProgramHooks(CStoredSettings& settings, const CCommandLine& commandLine,
                                    int& exitStatus,
                                    std::function<void(CSendrixDlg&)> afterLoad = {});
