#include "windowlogic/HeadlessRunner.h"

#include "platform/AppMessages.h"
#include "platform/StopRequest.h"
#include "session/Session.h"
#include "windowlogic/MemoryMainView.h"
#include "windowlogic/MemoryReceiveDisplay.h"
#include "windowlogic/NoFileDialog.h"

// As the window's close is, the close is queued behind what the workers
// posted before it; the loop stops at it and what comes later is dropped.
void CHeadlessRunner::PostClose() {
  m_loop.Post([this] {
    if (m_bCloseRequested)
      return;  // closing already
    m_bCloseRequested = true;
    m_loop.Quit();
  });
}

void CHeadlessRunner::RunModal(CSendrixDlg& dlg) {
  CMemoryMainView view(dlg.Fields(), [this] { PostClose(); });
  CNoFileDialog files;
  CMemoryReceiveDisplay display(m_loop, dlg.Session().Engine());
  display.Pump().SetRowEcho(m_pRowEcho);
  // The logic sees every block shown, and every status decoded.
  display.Pump().SetRxTap([&dlg](RxChannel channel, const BYTE* bytes, size_t count) {
    dlg.OnReceived(channel, bytes, count);
  });
  display.Pump().SetStatusTap([&dlg](const PRINTER_STATUS_TEXT& status) {
    dlg.OnPrinterStatus(status.strSource, status.strWords);
  });
  m_target.SetHandler([&dlg](UINT message, WPARAM wParam, LPARAM lParam) {
    return dlg.OnMessage(message, wParam, lParam);
  });
  if (m_nStopPipe >= 0) {
    m_loop.WatchFd(m_nStopPipe, [this, &dlg] {
      DrainStopPipe();
      if (!dlg.AbortRunningOperation())
        PostClose();
    });
  }
  dlg.Attach(&view, &files, &m_target, &display, &m_loop);
  dlg.OnInitDialog();     // a stopped initialisation still leaves the window open
  if (IsStopRequested())  // came before the loop could watch for it
    PostClose();
  while (!m_bCloseRequested)
    m_loop.Run();
  display.Settle();
  // Then stop taking worker messages: a thread waiting in a send is let go
  // now, before the logic stops the threads.
  m_target.Close();
  dlg.OnSysCommand(static_cast<UINT>(SC_CLOSE));
}
