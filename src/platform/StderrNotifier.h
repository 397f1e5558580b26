// Notifier for headless runs: prints each message box to stderr as one line
// "Sendrix: <text>" and answers IDOK. Thread-safe.
#pragma once

#include "platform/Notifier.h"

class CStderrNotifier : public INotifier {
 public:
  int MessageBox(const char* text, UINT type) override;
};
