// Where worker threads report to the window.
//
// Worker threads never touch the user interface: they post or send numbered
// messages with two parameters. The Qt window implements this interface with
// queued (post) and blocking-queued (send) calls; tests use CMessageQueue.
//
// Contract:
//  - PostMessage queues the message and returns at once; the handler runs
//    later on the target's own thread. Callable from any thread. Returns
//    FALSE when the target no longer accepts messages.
//  - SendMessage returns only after the handler has run, and gives its
//    result, so a pointer passed in lParam need only stay valid for the call.
//    Must not be called from the target's own thread by an implementation
//    that would deadlock; the Qt implementation calls directly then.
#pragma once

#include "platform/Win32Types.h"

class IMessageTarget {
 public:
  virtual ~IMessageTarget() = default;
  virtual BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  virtual LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};
