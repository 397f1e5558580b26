// Turns the backends' errors into messages for the owner window:
// WM_SHOW_ERROR (comm-error code, COMM_ERROR_RECORD*) and
// WM_LOG_SYSTEM_ERROR (system error code, 0).
//
// Both are posted, never sent, so that no library thread (the I/O thread
// included) ever waits for the window, whatever it does with the message
// (a message box may stay open for minutes).
// Record lifetime: the records are library-owned, in a ring of kRecords
// process-lifetime slots; a record stays valid and unchanged until kRecords
// further errors have been reported, which is far more than a window can
// have queued (errors are rare and handled at once). The same comm error with
// the same texts is reported at most once per kRepeatMs, so that a failing
// device cannot flood the window.
// Thread safety: every member may be called from any thread.
#pragma once

#include <mutex>
#include <string>

#include "comm/Cablox.h"
#include "comm/CommBackend.h"
#include "platform/MessageTarget.h"

class CCommErrorReporter : public ICommErrorSink {
 public:
  static constexpr int kRecords = 64;
  static constexpr DWORD kRepeatMs = 1000;

  // The owner may be null (errors are then dropped).
  void SetOwner(IMessageTarget* owner);
  void ShowCommError(int code, const char* text1, const char* text2) override;
  void LogSystemError(DWORD code) override;

 private:
  std::mutex m_lock;
  IMessageTarget* m_pOwner = nullptr;
  COMM_ERROR_RECORD m_records[kRecords] = {};
  int m_nNext = 0;
  std::string m_strLastKey;
  unsigned long long m_lastTimeMs = 0;
};
