// COutputWindow: the output window ("Communication properties") as four
// calls that any thread may make: Append, Clear, Show, Destroy. The window
// itself (COutputWinDlg) is a top-level widget of the GUI thread, so every
// change happens there.
//
// Calls:
//  - On the window's (GUI) thread a call runs at once (never queued, so it
//    cannot wait for itself).
//  - From another thread a call runs on the GUI thread through the window's
//    CGuiInvoker and the caller waits until it has run, so Append's text need
//    only stay valid for the call. Destroying the window closes the invoker,
//    which releases at once a caller whose call has not started.
//  - Each returns 1 when it ran, 0 when there is no window (not created,
//    destroyed, or destroyed meanwhile) or the wait gave up.
//
// Lifetime: construct on the GUI thread once the QApplication exists; the
// window starts hidden. The GUI thread must run its event loop while another
// thread waits in a call (in the program only the GUI thread calls). Destroy
// (or the destructor, on the GUI thread) deletes it; calls after that return
// 0 at once. The object itself must outlive every thread that calls it.
#pragma once

#include <functional>
#include <mutex>

#include "mainwnd/GuiInvoker.h"
#include "platform/Win32Types.h"

class COutputWinDlg;

class COutputWindow {
 public:
  static constexpr size_t kPropertiesSize = 8192;

  COutputWindow();
  ~COutputWindow();
  COutputWindow(const COutputWindow&) = delete;
  COutputWindow& operator=(const COutputWindow&) = delete;

  // Appends text (nothing, but 1, when text is null).
  int Append(const char* text);
  int Clear();
  // 0 hides the window, nonzero brings it to the front.
  int Show(int show);
  // Deletes the window; later calls return 0.
  int Destroy();
  bool Exists() const;
  // The USB panel's "Info": when the window exists, shows it and clears it;
  // asks the communications library for its properties text (a zeroed
  // 8192-byte buffer) and appends that.
  void ShowPortProperties();

  // The widget, for the GUI thread (tests, placement); null once destroyed.
  COutputWinDlg* Dialog() const;

 private:
  int Call(std::function<void(COutputWinDlg*)> action);

  mutable std::mutex m_lock;  // m_pDlg against Destroy
  COutputWinDlg* m_pDlg;
  CGuiInvoker m_invoker;
};
