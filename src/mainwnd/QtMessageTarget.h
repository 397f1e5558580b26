// The window's IMessageTarget: worker threads' messages run the window's
// message handler on the window thread, through Qt's event loop
// (CGuiInvoker). What posting, sending and closing mean is CInvokerTarget's
// (platform/InvokerTarget.h).
//
// Threading: construct, SetHandler, Close and destroy on the window thread.
// The object must outlive every thread that may call it (workers hold it by
// reference); after Close() it is inert.
#pragma once

#include "mainwnd/GuiInvoker.h"
#include "platform/InvokerTarget.h"

class CQtMessageTarget : public IMessageTarget {
 public:
  using Handler = CInvokerTarget::Handler;

  CQtMessageTarget() = default;
  // Install before any worker can post; without a handler messages give 0.
  void SetHandler(Handler handler) { m_target.SetHandler(std::move(handler)); }

  BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    return m_target.PostMessage(message, wParam, lParam);
  }
  LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    return m_target.SendMessage(message, wParam, lParam);
  }

  // The window thread's invoker (the workers' typed reports go through it,
  // in line with the messages).
  IInvoker& Invoker() { return m_invoker; }

  void Close() { m_target.Close(); }
  bool IsClosed() const { return m_target.IsClosed(); }

 private:
  CGuiInvoker m_invoker;
  CInvokerTarget m_target{m_invoker};
};
