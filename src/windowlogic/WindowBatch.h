// CWindowBatch: the batch run of the window (the -M: command line). It
// parses the command line into the fields, decides the run's exit status
// (kBatchExit*, CommandLine.h), watches the expected reply and the JSON
// Lines log (CBatchWatch), and says when the window is to close.
//
// The exit status is decided by parsing for no action or an invalid one, by
// a refused start (1), or by the engine's outcome of the batch action's job;
// -1 while undecided (interactive, or the window closed before the action
// ended).
//
// Threading: the window's thread only.
#pragma once

#include <cstdint>
#include <string>

#include "batch/BatchWatch.h"
#include "batch/CommandLine.h"
#include "platform/MessageTarget.h"
#include "settings/DialogFields.h"
#include "windowlogic/DialogHistories.h"
#include "windowlogic/IDialogView.h"

class CWindowBatch {
 public:
  // Set by the command-line parser before the window initialises.
  int m_nBatchMode = 0;
  int m_bAutoCloseWindow = 1;
  // Headless run (no one can click): a batch action that a start check
  // refused closes the window instead of leaving it open.
  int m_bHeadless = 0;
  // Set before the window initialises when the user's settings file could
  // not be read (defaults stand in for it): a batch action then runs only
  // when its options name the interface and the port (CCommandLine::
  // NamesInterfaceAndPort); otherwise it is refused before the port opens,
  // since the default port may be another device.
  int m_bSettingsUnreadable = 0;

  void SetView(IMainView* view, IMessageTarget* target) {
    m_pView = view;
    m_pTarget = target;
  }
  // The command line of a batch run (none: interactive).
  void SetCommandLine(CCommandLine commandLine) { m_commandLine = std::move(commandLine); }
  CBatchWatch& Watch() { return m_watch; }
  const CBatchRun& Run() const { return m_run; }
  int ExitStatus() const { return m_nExitStatus; }
  // A batch action: its job starts by itself once the window is up.
  bool HasAction() const { return m_nBatchMode >= 2 && m_nBatchMode <= 5; }

  // Parses the command line into `fields`; returns the batch mode. A mode
  // switch of the strings converts their history too.
  int Parse(CDialogFields& fields, CDialogHistories& histories);
  // The start-up stopped: says why and, in a batch run, closes (exit 1)
  // instead of waiting unseen for ever. Returns 0.
  int StopStartUp(const std::string& why);
  // The batch action was asked to start (WM_AUTO_START); `running`: the
  // operation that runs now (OP_IDLE: a start check refused it).
  void ActionStarted(int running, const CDialogFields& fields);
  // A job ended: `ended` the operation, `outcome` its exit status.
  void JobEnded(int ended, int outcome, std::uint64_t bytes);
  void OnReplyTimeout();
  // A block of received data or status messages the display showed.
  void OnRx(RxChannel channel, const BYTE* data, DWORD size);

 private:
  IMainView* m_pView = nullptr;
  IMessageTarget* m_pTarget = nullptr;
  int m_nExitStatus = -1;
  CCommandLine m_commandLine;
  CBatchRun m_run;
  CBatchWatch m_watch;  // -E:, -T:, -J:
};
