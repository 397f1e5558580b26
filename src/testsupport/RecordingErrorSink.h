// Test support: an error sink for a backend under test that records the
// errors it shows and the system errors it logs. Thread-safe (the backends'
// I/O threads report too).
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "comm/CommBackend.h"

class CRecordingErrorSink : public ICommErrorSink {
 public:
  struct Error {
    int code;
    std::string text1;
    std::string text2;
  };

  void ShowCommError(int code, const char* text1, const char* text2) override;
  void LogSystemError(DWORD code) override;
  std::vector<Error> Shown() const;
  std::vector<int> Codes() const;  // of the errors shown
  std::vector<DWORD> Logged() const;

 private:
  mutable std::mutex m_lock;
  std::vector<Error> m_shown;
  std::vector<DWORD> m_logged;
};
