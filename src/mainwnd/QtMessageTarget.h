// The window's IMessageTarget: worker threads' messages run the window's
// message handler on the window thread.
//
// PostMessage queues the message; SendMessage waits until the handler has
// run and returns its result (from the window thread it calls the handler
// directly). Close() is the first step of closing the window: from then on
// posts return FALSE, sends return 0 without running the handler, queued
// messages are dropped, and a thread already waiting in SendMessage is
// released at once (a send whose handler has started is finished first).
// So the display thread, which sends, can never hang on a closing window.
//
// Threading: construct, SetHandler, Close and destroy on the window thread.
// The object must outlive every thread that may call it (workers hold it by
// reference); after Close() it is inert.
#pragma once

#include <functional>

#include "mainwnd/GuiInvoker.h"
#include "platform/MessageTarget.h"

class CQtMessageTarget : public IMessageTarget {
 public:
  using Handler = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;

  CQtMessageTarget() = default;
  // Install before any worker can post; without a handler messages give 0.
  void SetHandler(Handler handler) { m_handler = std::move(handler); }

  BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  void Close() { m_invoker.Close(); }
  bool IsClosed() const { return m_invoker.IsClosed(); }

 private:
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  Handler m_handler;
  CGuiInvoker m_invoker;
};
