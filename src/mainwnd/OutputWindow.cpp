#include "mainwnd/OutputWindow.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <memory>

#include "comm/Cablox.h"
#include "mainwnd/OutputWinDlg.h"

namespace {

// What a waiting caller and its queued call share. The queued call holds a
// CDone; whether the call runs or is dropped with the window, destroying it
// releases the caller.
struct CCallState {
  std::mutex lock;
  std::condition_variable done;
  bool finished = false;
  bool ran = false;
};

struct CDone {
  explicit CDone(std::shared_ptr<CCallState> s) : state(std::move(s)) {}
  CDone(const CDone&) = delete;
  CDone& operator=(const CDone&) = delete;
  std::shared_ptr<CCallState> state;
  ~CDone() {
    std::lock_guard<std::mutex> lock(state->lock);
    state->finished = true;
    state->done.notify_all();
  }
};

}  // namespace

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

namespace {

// Queues action to run on receiver's thread (receiver must live there) and
// gives the caller the state to wait on.
std::shared_ptr<CCallState> Queue(QObject* receiver, std::function<void()> action) {
  auto state = std::make_shared<CCallState>();
  auto done = std::make_shared<CDone>(state);
  QMetaObject::invokeMethod(
      receiver,
      [action = std::move(action), done] {
        action();
        std::lock_guard<std::mutex> lock(done->state->lock);
        done->state->ran = true;
      },
      Qt::QueuedConnection);
  return state;
}

int Wait(const std::shared_ptr<CCallState>& state, DWORD timeoutMs) {
  std::unique_lock<std::mutex> lock(state->lock);
  state->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return state->finished; });
  return state->ran ? 1 : 0;
}

}  // namespace

int COutputWindow::Call(std::function<void(COutputWinDlg*)> action) {
  std::unique_lock<std::mutex> lock(m_lock);
  COutputWinDlg* dlg = m_pDlg;
  if (dlg == nullptr)
    return 0;
  if (QThread::currentThread() == dlg->thread()) {
    lock.unlock();  // the action may process events that call in again
    action(dlg);
    return 1;
  }
  // Posted under the lock so that Destroy cannot delete the window between
  // the test above and the post; a window deleted before the call ran drops
  // it, which releases the wait.
  auto state = Queue(dlg, [dlg, action = std::move(action)] { action(dlg); });
  lock.unlock();
  return Wait(state, kCallTimeoutMs);
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
    delete dlg;  // drops queued calls, which releases their callers
    return 1;
  }
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || app->thread() != dlg->thread())
    return Wait(Queue(dlg, [dlg] { dlg->deleteLater(); }), kCallTimeoutMs);
  return Wait(Queue(app, [dlg] { delete dlg; }), kCallTimeoutMs);
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
