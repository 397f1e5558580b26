#include "testsupport/RecordingNotifier.h"

int CRecordingNotifier::MessageBox(const char* text, UINT /*type*/) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_texts.emplace_back(text != nullptr ? text : "");
  return m_nAnswer;
}

void CRecordingNotifier::SetAnswer(int answer) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_nAnswer = answer;
}

std::vector<std::string> CRecordingNotifier::Texts() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_texts;
}

void CRecordingNotifier::Clear() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_texts.clear();
}
