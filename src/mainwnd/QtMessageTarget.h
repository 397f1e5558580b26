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
// Reports that only the latest value matters for (WM_TRANSFER_PROGRESS and
// WM_TRANSFER_RATE) are coalesced: at most one of each waits in the queue,
// and it runs the handler with the values of the last post. A continuous run
// of a small file posts them thousands of times a second; queued one by one
// they outgrew the window's pace, memory grew without bound and Abort waited
// behind them. The order with the other messages is kept: a waiting report
// runs before a WM_TRANSFER_DONE posted after it.
//
// Threading: construct, SetHandler, Close and destroy on the window thread.
// The object must outlive every thread that may call it (workers hold it by
// reference); after Close() it is inert.
#pragma once

#include <functional>
#include <mutex>

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
  BOOL PostLatest(int slot, UINT message, WPARAM wParam, LPARAM lParam);

  struct Latest {
    bool bWaiting = false;  // a dispatch of this report is queued
    WPARAM wParam = 0;
    LPARAM lParam = 0;
  };
  static constexpr int kCoalescedKinds = 2;  // progress, rate
  std::mutex m_latestLock;
  Latest m_latest[kCoalescedKinds];

  Handler m_handler;
  CGuiInvoker m_invoker;
};
