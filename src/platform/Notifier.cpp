#include "platform/Notifier.h"

#include <atomic>

#include "platform/StderrNotifier.h"

namespace {
CStderrNotifier g_stderrNotifier;
std::atomic<INotifier*> g_notifier{&g_stderrNotifier};
}  // namespace

void SetNotifier(INotifier* notifier) {
  g_notifier.store(notifier != nullptr ? notifier : &g_stderrNotifier);
}

INotifier& GetNotifier() {
  return *g_notifier.load();
}

int AfxMessageBox(const char* text, UINT type) {
  return GetNotifier().MessageBox(text, type);
}
