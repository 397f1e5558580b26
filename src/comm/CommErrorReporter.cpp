#include "comm/CommErrorReporter.h"

#include <cstring>

#include "platform/AppMessages.h"
#include "platform/Clock.h"

namespace {

void CopyText(char (&dest)[128], const char* text) {
  std::memset(dest, 0, sizeof dest);
  if (text != nullptr)
    std::strncpy(dest, text, sizeof dest - 1);
}

}  // namespace

void CCommErrorReporter::SetOwner(IMessageTarget* owner) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_pOwner = owner;
}

void CCommErrorReporter::ShowCommError(int code, const char* text1, const char* text2) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_pOwner == nullptr)
    return;
  std::string key =
      std::to_string(code) + '\t' + (text1 ? text1 : "") + '\t' + (text2 ? text2 : "");
  unsigned long long now = NowMs();
  if (key == m_strLastKey && now - m_lastTimeMs < kRepeatMs)
    return;
  m_strLastKey = key;
  m_lastTimeMs = now;
  COMM_ERROR_RECORD& record = m_records[m_nNext];
  m_nNext = (m_nNext + 1) % kRecords;
  record.dwReserved = 0;
  CopyText(record.szText1, text1);
  CopyText(record.szText2, text2);
  m_pOwner->PostMessage(WM_SHOW_ERROR, static_cast<WPARAM>(code),
                        reinterpret_cast<LPARAM>(&record));
}

void CCommErrorReporter::LogSystemError(DWORD code) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_pOwner != nullptr)
    m_pOwner->PostMessage(WM_LOG_SYSTEM_ERROR, code, 0);
}
