// The run sequence: the window is shown only on a supported system, and the
// settings are saved only after it ran.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/Session.h"
#include "testsupport/CodecTestSupport.h"
#include "windowlogic/SendrixApp.h"

namespace {

class CRecordingRunner : public IWindowRunner {
 public:
  explicit CRecordingRunner(std::vector<std::string>& events) : m_events(events) {}
  void RunModal(CSendrixDlg& dlg) override {
    m_events.push_back("run interface=" + std::to_string(dlg.Fields().main.m_nInterface));
  }
  std::vector<std::string>& m_events;
};

class SendrixAppTest : public CodecTest {};

TEST_F(SendrixAppTest, TheWindowRunsOnlyOnASupportedSystem) {
  for (int supported : {1, 0}) {
    SCOPED_TRACE(supported);
    m_notifier.Clear();
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
    CSession session;
    CSendrixApp app(session, hooks);
    CRecordingRunner runner(events);
    EXPECT_EQ(app.InitInstance(runner), 0);
    EXPECT_EQ(app.GetOSVersion(), "OS Version = test");
    EXPECT_EQ(app.GetMainWindow(), nullptr);
    if (supported) {
      EXPECT_EQ(events, (std::vector<std::string>{"load", "run interface=2", "save"}));
      // No text library is named: said once, and the program goes on.
      EXPECT_EQ(m_notifier.Texts(), std::vector<std::string>{"Thesaurus DLL not found"});
    } else {
      EXPECT_EQ(events, std::vector<std::string>{"load"});
      EXPECT_EQ(m_notifier.Texts(),
                (std::vector<std::string>{"Thesaurus DLL not found", "error 49"}));
    }
    app.ExitInstance();
  }
}

}  // namespace
