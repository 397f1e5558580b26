// The window's IMessageTarget over an IInvoker: worker threads' messages run
// the window's message handler on the invoker's thread (the Qt window's, or
// the event loop of a run without a window).
//
// PostMessage queues the message; SendMessage waits until the handler has
// run and returns its result (from the owning thread it calls the handler
// directly). Once the invoker is closed (the first step of closing the
// window), posts return FALSE, sends return 0 without running the handler,
// queued messages are dropped, and a thread already waiting in SendMessage
// is released at once (a send whose handler has started is finished first).
// So a thread that sends can never hang on a closing window.
//
// Threading: construct, SetHandler and destroy on the owning thread. The
// object must outlive every thread that may call it (workers hold it by
// reference); the invoker must outlive the object.
#pragma once

#include <functional>

#include "platform/Invoker.h"
#include "platform/MessageTarget.h"

class CInvokerTarget : public IMessageTarget {
 public:
  using Handler = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;

  explicit CInvokerTarget(IInvoker& invoker) : m_invoker(invoker) {}
  // Install before any worker can post; without a handler messages give 0.
  void SetHandler(Handler handler) { m_handler = std::move(handler); }

  BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  void Close() { m_invoker.Close(); }
  bool IsClosed() const { return m_invoker.IsClosed(); }

 private:
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  Handler m_handler;
  IInvoker& m_invoker;
};
