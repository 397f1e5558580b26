// A message target that records every message in arrival order, for tests,
// benchmarks and the headless batch run. Take() removes what it returns, so
// a consumer that takes each message (the batch run) holds only those not
// yet handled, however long it runs; Snapshot, Filter and the counts see
// the messages not taken.
//
// A hook, when installed, runs on the caller's thread inside PostMessage and
// SendMessage (before the message is recorded), so that a sent message's
// lParam buffer can be copied while it is still valid. SendMessage returns
// the hook's result, or 1 without a hook.
//
// Thread safety: every member may be called from any thread. Waits are
// bounded by their time-out.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/MessageTarget.h"

struct QueuedMessage {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool sent;  // true for SendMessage, false for PostMessage
};

class CMessageQueue : public IMessageTarget {
 public:
  using Hook = std::function<LRESULT(const QueuedMessage&)>;

  BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  // Install before the workers start; not to be changed while they run.
  void SetHook(Hook hook);
  // Every message not taken, in order.
  std::vector<QueuedMessage> Snapshot() const;
  // Messages with this number so far, in order.
  std::vector<QueuedMessage> Filter(UINT message) const;
  size_t Count(UINT message) const;
  // Waits until at least `count` messages with this number were recorded.
  bool WaitForCount(UINT message, size_t count, DWORD timeoutMs) const;
  // Removes and returns the oldest message, waiting up to timeoutMs for one.
  bool Take(QueuedMessage* out, DWORD timeoutMs);
  void Clear();

 private:
  void Record(const QueuedMessage& m);

  mutable std::mutex m_lock;
  mutable std::condition_variable m_changed;
  std::deque<QueuedMessage> m_messages;
  Hook m_hook;
};
