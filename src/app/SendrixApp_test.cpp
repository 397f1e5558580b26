// The run sequence: the window is shown only on a supported system, and the
// settings are saved only after it ran.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/SendrixApp.h"
#include "testsupport/RecordingNotifier.h"
#include "texts/TextFunctions.h"

namespace {

const char* ErrorText(int n) {
  static thread_local char text[32];
  std::snprintf(text, sizeof text, "error %d", n);
  return text;
}

class CRecordingRunner : public IWindowRunner {
 public:
  explicit CRecordingRunner(std::vector<std::string>& events) : m_events(events) {}
  void RunModal(CSendrixDlg& dlg) override {
    m_events.push_back("run interface=" + std::to_string(dlg.Fields().main.m_nInterface));
  }
  std::vector<std::string>& m_events;
};

TEST(SendrixAppTest, TheWindowRunsOnlyOnASupportedSystem) {
  CRecordingNotifier notifier;
  SetNotifier(&notifier);
  g_pfnErrorGetText.store(&ErrorText);
  for (int supported : {1, 0}) {
    SCOPED_TRACE(supported);
    notifier.Clear();
    std::vector<std::string> events;
    CSendrixApp::Hooks hooks;
    hooks.loadSettings = [&](CSendrixDlg& dlg) {
      events.push_back("load");
      dlg.Fields().main.m_nInterface = 2;
    };
    hooks.saveSettings = [&](CSendrixDlg&) { events.push_back("save"); };
    hooks.checkOSVersion = [&](std::string& text) {
      text = "OS Version = test";
      return supported;
    };
    CSendrixApp app(hooks);
    CRecordingRunner runner(events);
    EXPECT_EQ(app.InitInstance(runner), 0);
    EXPECT_EQ(app.GetOSVersion(), "OS Version = test");
    EXPECT_EQ(app.GetMainWindow(), nullptr);
    if (supported) {
      EXPECT_EQ(events, (std::vector<std::string>{"load", "run interface=2", "save"}));
      // No text library is named: said once, and the program goes on.
      EXPECT_EQ(notifier.Texts(), std::vector<std::string>{"Thesaurus DLL not found"});
    } else {
      EXPECT_EQ(events, std::vector<std::string>{"load"});
      EXPECT_EQ(notifier.Texts(),
                (std::vector<std::string>{"Thesaurus DLL not found", "error 49"}));
    }
    app.ExitInstance();
  }
  g_pfnErrorGetText.store(nullptr);
  SetNotifier(nullptr);
}

}  // namespace
