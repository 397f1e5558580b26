#include "mainwnd/GuiInvoker.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <condition_variable>
#include <mutex>

struct CGuiInvoker::State {
  std::mutex lock;
  std::condition_variable changed;
  bool bClosed = false;
  QObject* pReceiver = nullptr;  // lives on the window thread; null once closed

  struct Request {
    const std::function<void()>* pFn = nullptr;
    bool bStarted = false;
    bool bDone = false;
  };

  // Window thread: runs a waited-for request unless closed first.
  void Run(const std::shared_ptr<Request>& req) {
    {
      std::lock_guard<std::mutex> g(lock);
      if (bClosed) {
        return;  // the caller has been (or will be) released by Close()
      }
      req->bStarted = true;
    }
    (*req->pFn)();
    std::lock_guard<std::mutex> g(lock);
    req->bDone = true;
    changed.notify_all();
  }
};

CGuiInvoker::CGuiInvoker() : m_state(std::make_shared<State>()) {
  m_state->pReceiver = new QObject();
}

CGuiInvoker::~CGuiInvoker() {
  Close();
  QObject* receiver = nullptr;
  {
    std::lock_guard<std::mutex> g(m_state->lock);
    receiver = m_state->pReceiver;
    m_state->pReceiver = nullptr;
  }
  delete receiver;  // drops its queued requests with it
}

bool CGuiInvoker::Post(std::function<void()> fn) {
  std::lock_guard<std::mutex> g(m_state->lock);
  if (m_state->bClosed || m_state->pReceiver == nullptr) {
    return false;
  }
  std::shared_ptr<State> state = m_state;
  QMetaObject::invokeMethod(
      m_state->pReceiver,
      [state, f = std::move(fn)] {
        {
          std::lock_guard<std::mutex> g2(state->lock);
          if (state->bClosed) {
            return;
          }
        }
        f();
      },
      Qt::QueuedConnection);
  return true;
}

bool CGuiInvoker::Call(const std::function<void()>& fn) {
  std::unique_lock<std::mutex> g(m_state->lock);
  if (m_state->bClosed || m_state->pReceiver == nullptr) {
    return false;
  }
  if (QThread::currentThread() == m_state->pReceiver->thread()) {
    g.unlock();
    fn();
    return true;
  }
  auto req = std::make_shared<State::Request>();
  req->pFn = &fn;
  std::shared_ptr<State> state = m_state;
  QMetaObject::invokeMethod(
      m_state->pReceiver, [state, req] { state->Run(req); }, Qt::QueuedConnection);
  m_state->changed.wait(g, [&] { return req->bDone || (m_state->bClosed && !req->bStarted); });
  return req->bDone;
}

void CGuiInvoker::Close() {
  std::lock_guard<std::mutex> g(m_state->lock);
  m_state->bClosed = true;
  m_state->changed.notify_all();
}

bool CGuiInvoker::IsClosed() const {
  std::lock_guard<std::mutex> g(m_state->lock);
  return m_state->bClosed;
}
