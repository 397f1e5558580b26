// Test support: a file dialog that answers from a script and records what it
// was asked. Used by the history manager's tests, with and without Qt.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "windowlogic/IFileDialog.h"

class CScriptedFileDialog : public IFileDialog {
 public:
  struct CCall {
    bool bSave;
    std::string title;
    std::string initial;
    int filterIndex;
  };
  struct CAnswer {
    std::string chosen;  // empty: the user cancels
    int lastFilter = -1;
  };

  int GetOpenFileName(const std::string& title, const std::string& initial,
                      const std::vector<CFileFilter>&, int filterIndex,
                      std::string& chosen) override {
    return Answer(false, title, initial, filterIndex, chosen);
  }
  int GetSaveFileName(const std::string& title, const std::string& initial,
                      const std::vector<CFileFilter>&, int filterIndex,
                      std::string& chosen) override {
    return Answer(true, title, initial, filterIndex, chosen);
  }
  int LastFilterIndex() override { return m_nLastFilter; }

  std::deque<CAnswer> answers;  // none left: cancel
  std::vector<CCall> calls;

 private:
  int Answer(bool save, const std::string& title, const std::string& initial, int filterIndex,
             std::string& chosen) {
    calls.push_back({save, title, initial, filterIndex});
    CAnswer answer;
    if (!answers.empty()) {
      answer = answers.front();
      answers.pop_front();
    }
    if (answer.chosen.empty())
      return 0;
    chosen = answer.chosen;
    m_nLastFilter = answer.lastFilter;
    return 1;
  }

  int m_nLastFilter = -1;
};
