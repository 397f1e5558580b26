// The expected reply of a batch run (-E:PATTERN, -T:MS): the bytes the
// printer sends on the data channel from the action's start on are matched
// against the pattern (codec/ReplyPattern.h); when the action has completed
// without the reply, the run waits up to MS ms more for it. Met: the run
// ends with the action's status. Not met: "expected reply PATTERN not
// received within MS ms; received: XX XX ..." and exit status 4.
//
// How the window uses it:
//   data-channel bytes OnRx(bytes); if it returns true the awaited reply came:
//                     close now.
//   the job's end     for a completed batch action, if !ActionEnded(target)
//                     keep the window open: a wait has started.
//   WM_REPLY_TIMEOUT  if Expired(): show FailureText(), status 4, close.
//
// Threading: every member runs on the window's thread. The wait's timer
// thread only posts WM_REPLY_TIMEOUT to the target; the object joins it when
// it is destroyed or the wait ends.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "codec/ReplyPattern.h"
#include "platform/AppMessages.h"
#include "platform/MessageTarget.h"
#include "platform/Win32Types.h"

// Posted by the wait's timer (0, 0); beside the numbers of AppMessages.h,
// clear of them.
inline constexpr UINT WM_REPLY_TIMEOUT = WM_APP + 40;

inline constexpr int kBatchExitReplyNotReceived = 4;
inline constexpr int kDefaultReplyTimeoutMs = 1000;

class CBatchReplyCheck {
 public:
  CBatchReplyCheck() = default;
  CBatchReplyCheck(const CBatchReplyCheck&) = delete;
  CBatchReplyCheck& operator=(const CBatchReplyCheck&) = delete;
  ~CBatchReplyCheck();

  // False for a pattern CReplyPattern refuses (the check then stays off).
  bool Configure(const std::string& pattern, int timeoutMs);
  bool Active() const { return m_bActive; }

  // Bytes of the data channel; true when this call met the pattern while
  // the run was waiting for it.
  bool OnRx(const BYTE* data, DWORD size);

  // The action completed. True when the run may end now (no check, or the
  // reply came already); false when the wait has started: WM_REPLY_TIMEOUT
  // is posted to `target` after the time-out.
  bool ActionEnded(IMessageTarget* target);
  bool Waiting() const { return m_bWaiting; }

  // For WM_REPLY_TIMEOUT: true when the wait was still on without the
  // reply (the wait then ends).
  bool Expired();
  std::string FailureText() const;

 private:
  void StopTimer();

  CReplyPattern m_pattern;
  int m_nTimeoutMs = kDefaultReplyTimeoutMs;
  bool m_bActive = false;
  bool m_bWaiting = false;
  std::mutex m_lock;
  std::condition_variable m_wake;
  bool m_bCancelled = false;
  std::thread m_timer;
};
