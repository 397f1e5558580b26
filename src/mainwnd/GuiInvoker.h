// Runs code on the window's thread on behalf of other threads: queued (Post)
// or waiting for it to finish (Call), with a close that never leaves a
// caller waiting.
//
// Why not Qt's BlockingQueuedConnection: a thread blocked in one while the
// window thread is tearing the window down waits forever (or wakes on a
// destroyed object). Here every request shares one state object with the
// invoker; Close() marks it closed and wakes every waiting caller, which then
// returns "not run". A request that has already started on the window thread
// is always finished before its caller returns, so a pointer the caller
// passed (a buffer on its stack) stays valid for the whole run.
//
// Threading: construct, Close() and destroy on the window thread (the thread
// whose event loop runs the requests). Post() and Call() may be called from
// any thread while the invoker exists; after Close() they return false at
// once and nothing more runs. Requests queued before Close() but not yet run
// are dropped. Call() from the window thread itself runs the code directly.
#pragma once

#include <functional>
#include <memory>

#include "platform/Invoker.h"

class QObject;

class CGuiInvoker : public IInvoker {
 public:
  CGuiInvoker();
  ~CGuiInvoker() override;
  CGuiInvoker(const CGuiInvoker&) = delete;
  CGuiInvoker& operator=(const CGuiInvoker&) = delete;

  // Queues fn for the window thread. Returns false when closed.
  bool Post(std::function<void()> fn) override;
  // Runs fn on the window thread and returns after it has run (true), or
  // returns false without running it when the invoker is or becomes closed
  // before fn starts.
  bool Call(const std::function<void()>& fn) override;
  // Refuses every further request and releases every waiting Call().
  void Close() override;
  bool IsClosed() const override;

 private:
  struct State;
  std::shared_ptr<State> m_state;
};
