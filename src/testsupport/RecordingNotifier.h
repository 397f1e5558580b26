// Notifier for tests: records every message box and answers with a preset
// button (IDOK unless changed). Thread-safe.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/Notifier.h"

class CRecordingNotifier : public INotifier {
 public:
  int MessageBox(const char* text, UINT type) override;
  void SetAnswer(int answer);
  std::vector<std::string> Texts() const;
  void Clear();

 private:
  mutable std::mutex m_lock;
  std::vector<std::string> m_texts;
  int m_nAnswer = IDOK;
};
