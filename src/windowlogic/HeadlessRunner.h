// Runs the window logic (CSendrixDlg) with no window toolkit: over the
// in-memory view (CMemoryMainView), the in-memory receive display and an
// event loop of its own (CEventLoop), which delivers the workers' messages
// (CInvokerTarget), polls the receive feeds and watches the stop signal's
// pipe. It is how every headless batch run goes, in the normal build and in
// the build without Qt; nothing of Qt is loaded.
//
// As the window's runner does, it attaches the view, the (always cancelled)
// file dialog, the message target and the display, runs OnInitDialog, then
// the loop until the logic closes the window (PostClose) or a stop signal
// finds no running operation to abort. Closing first lets the receive
// display settle while the loop still delivers messages (a printer that
// closes the connection right after taking the last bytes is reported, not
// cut off by the close), then closes the message target and runs the
// logic's SC_CLOSE. The window placement is never read
// or written.
//
// Threading: construct and RunModal on the program's main thread, which is
// the loop's thread. The runner must outlive the window logic (the workers
// keep its message target).
#pragma once

#include "platform/EventLoop.h"
#include "platform/InvokerTarget.h"
#include "windowlogic/SendrixApp.h"

class CHeadlessRows;

class CHeadlessRunner : public IWindowRunner {
 public:
  // stopPipe: the stop signal's pipe (InstallStopSignals), -1 for none.
  explicit CHeadlessRunner(int stopPipe) : m_nStopPipe(stopPipe) {}
  // The receive lists' rows go to `rows` (null: none).
  void SetRowEcho(CHeadlessRows* rows) { m_pRowEcho = rows; }
  void RunModal(CSendrixDlg& dlg) override;

 private:
  void PostClose();

  int m_nStopPipe;
  CHeadlessRows* m_pRowEcho = nullptr;
  bool m_bCloseRequested = false;
  CEventLoop m_loop;
  CInvokerTarget m_target{m_loop};
};
