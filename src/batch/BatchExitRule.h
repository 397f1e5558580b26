// The exit status a batch run ends with, so that a script can trust it.
//
// The rule: a message box that reports a failure (every box but a question),
// or output that could not be written (stdout full or closed, so the
// printer's reply is lost), makes the status nonzero, whatever the action's
// own outcome said; a stop signal makes it 3 (aborted) whenever it came.
// The window decides the rest (CSendrixDlg::BatchExitStatus, CommandLine.h).
//
// The object stands between the program and the notifier that shows the
// boxes, counting them as they pass.
//
// Threading: MessageBox from any thread (the count is atomic); the rest on
// the main thread.
#pragma once

#include <atomic>
#include <cstdio>

#include "platform/Notifier.h"

class CBatchExitRule : public INotifier {
 public:
  // `shown` shows the boxes; it must outlive this object's use.
  explicit CBatchExitRule(INotifier& shown) : m_shown(shown) {}
  int MessageBox(const char* text, UINT type) override;
  int FailureBoxes() const { return m_nFailureBoxes.load(); }

  // The status of a run with a command line. decided: the window's
  // (kBatchExit*, or -1 when the window closed before the action started);
  // outputLost: what was written to stdout did not all arrive.
  int Final(int decided, bool stopRequested, bool outputLost) const;

  // Flushes `out` and tells whether everything written to it arrived.
  static bool OutputLost(std::FILE* out);
  // A closed stdout would let the next file the program opens take its
  // descriptor, and the printer's reply would land there: it is opened on
  // /dev/full instead, so every write to it fails and counts as lost.
  static void GuardClosedStdout();

 private:
  INotifier& m_shown;
  std::atomic<int> m_nFailureBoxes{0};
};
