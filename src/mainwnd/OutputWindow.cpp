#include "mainwnd/OutputWindow.h"

#include <QThread>

#include "comm/Cablox.h"
#include "mainwnd/OutputWinDlg.h"

COutputWindow::COutputWindow() : m_pDlg(new COutputWinDlg) {}

COutputWindow::~COutputWindow() {
  Destroy();
}

bool COutputWindow::Exists() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_pDlg != nullptr;
}

COutputWinDlg* COutputWindow::Dialog() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_pDlg;
}

int COutputWindow::Call(std::function<void(COutputWinDlg*)> action) {
  COutputWinDlg* dlg = Dialog();
  if (dlg == nullptr)
    return 0;
  if (QThread::currentThread() == dlg->thread()) {
    action(dlg);  // not under the lock: the action may process events that call in again
    return 1;
  }
  // The window is looked up again on its own thread: Destroy may have come
  // in between. Destroy closes the invoker, which releases a waiting call.
  int ran = 0;
  m_invoker.Call([&] {
    if (COutputWinDlg* live = Dialog()) {
      action(live);
      ran = 1;
    }
  });
  return ran;
}

int COutputWindow::Append(const char* text) {
  if (text == nullptr)
    return Exists() ? 1 : 0;
  const QString copy = QString::fromLocal8Bit(text);
  return Call([copy](COutputWinDlg* dlg) { dlg->AppendText(copy); });
}

int COutputWindow::Clear() {
  return Call([](COutputWinDlg* dlg) { dlg->ClearText(); });
}

int COutputWindow::Show(int show) {
  return Call([show](COutputWinDlg* dlg) { dlg->ShowWindow(show); });
}

int COutputWindow::Destroy() {
  std::unique_lock<std::mutex> lock(m_lock);
  COutputWinDlg* dlg = m_pDlg;
  if (dlg == nullptr)
    return 0;
  m_pDlg = nullptr;  // calls from now on find no window
  lock.unlock();
  if (QThread::currentThread() == dlg->thread()) {
    m_invoker.Close();  // releases every caller still waiting
    delete dlg;
    return 1;
  }
  const bool ran = m_invoker.Call([dlg] { delete dlg; });
  m_invoker.Close();
  return ran ? 1 : 0;
}

void COutputWindow::ShowPortProperties() {
  if (Exists()) {
    Show(1);
    Clear();
  }
  char buffer[kPropertiesSize] = {};
  Comm_ShowPortProperties(buffer);
  Append(buffer);
}
