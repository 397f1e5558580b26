// Runs code on one owning thread (the window's) on behalf of other threads:
// queued (Post) or waiting for it to finish (Call), with a close that never
// leaves a caller waiting. The Qt window implements it over its event loop
// (CGuiInvoker), a run without Qt over CEventLoop.
//
// Contract: Post and Call may be called from any thread while the object
// exists; after Close() they return false at once and nothing more runs.
// Requests queued before Close() but not yet run are dropped. A Call whose
// code has started is finished before its caller returns (a pointer the
// caller passed stays valid for the whole run). Call from the owning thread
// runs the code directly. Close on the owning thread.
#pragma once

#include <functional>

class IInvoker {
 public:
  virtual ~IInvoker() = default;
  // Queues fn for the owning thread. Returns false when closed.
  virtual bool Post(std::function<void()> fn) = 0;
  // Runs fn on the owning thread; true once it has run, false when the
  // invoker is or becomes closed before fn starts.
  virtual bool Call(const std::function<void()>& fn) = 0;
  virtual void Close() = 0;
  virtual bool IsClosed() const = 0;
};
