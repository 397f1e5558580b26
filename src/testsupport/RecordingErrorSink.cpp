#include "testsupport/RecordingErrorSink.h"

void CRecordingErrorSink::ShowCommError(int code, const char* text1, const char* text2) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_shown.push_back({code, text1 != nullptr ? text1 : "", text2 != nullptr ? text2 : ""});
}

void CRecordingErrorSink::LogSystemError(DWORD code) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_logged.push_back(code);
}

std::vector<CRecordingErrorSink::Error> CRecordingErrorSink::Shown() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_shown;
}

std::vector<int> CRecordingErrorSink::Codes() const {
  std::vector<int> codes;
  for (const Error& e : Shown())
    codes.push_back(e.code);
  return codes;
}

std::vector<DWORD> CRecordingErrorSink::Logged() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_logged;
}
