// What a batch run watches besides its action: the expected reply (-E:,
// -T:; BatchReplyCheck.h) and the JSON Lines log (-J:; BatchJournal.h).
// The main window's logic calls it at each step of the run:
//   Configure(run)            after parsing the command line
//   Started(mode, fields)     once the batch action has started
//   OnRx(channel, bytes)      each block the display shows; true: the awaited
//                             reply came now: close (the action's status)
//   OnCommError(code, text)   WM_SHOW_ERROR, with the text shown
//   OnStatus(source, words)   each printer status the display decoded
//   OnProgress(pass)          the pass number of the job's progress
//   ActionEnded(status, bytes, target)   the batch action's end; true:
//                             close now; false: the reply wait started
//   OnReplyTimeout(status)    WM_REPLY_TIMEOUT; true: the reply did not
//                             come: status is now 4, close
// The window's "JSON Log" box writes the same events for the runs an operator
// starts: WindowRunStarted(path, ...) at each run's start (an empty path: the
// box is clear, the file is closed), WindowRunEnded at its end. A -J: file
// takes precedence: it already logs every run.
// The failure line goes to stderr ("Sendrix: ...") and to the data log; no
// message box, so that a window with a display closes by itself too.
//
// Threading: the window's thread only (the reply wait's timer only posts).
#pragma once

#include <cstdint>
#include <string>

#include "batch/BatchJournal.h"
#include "batch/BatchReplyCheck.h"
#include "batch/CommandLine.h"
#include "engine/RxFeed.h"

class CBatchWatch {
 public:
  // The text of a problem to show (the JSON Lines log cannot be created),
  // or empty.
  std::string Configure(const CBatchRun& run);
  void Started(int mode, const CDialogFields& fields);
  bool OnRx(RxChannel channel, const BYTE* data, DWORD size, int exitStatus);
  void OnCommError(int code, const std::string& text);
  // A status the receive display decoded: source and words.
  void OnStatus(const std::string& source, const std::string& words);
  void OnProgress(int pass);
  bool ActionEnded(int exitStatus, std::uint64_t bytes, IMessageTarget* target);
  bool OnReplyTimeout(int& exitStatus);
  void WindowRunStarted(const std::string& path, int mode, const CDialogFields& fields);
  void WindowRunEnded(int status, std::uint64_t bytes);

 private:
  // Start and done lines come from the batch steps only with -J:.
  bool CommandLineLog() const { return m_bCommandLineLog && m_journal.IsOpen(); }

  bool m_bCommandLineLog = false;  // -J: named the file
  bool m_bWindowRun = false;       // a run the "JSON Log" box logs is going on
  CBatchReplyCheck m_reply;
  CBatchJournal m_journal;
  std::uint64_t m_qwBytes = 0;
};
