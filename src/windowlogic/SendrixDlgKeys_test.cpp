// The window logic without threads: keys by focused control, and the
// firmware group's memory of what it disabled. No interface is selected, so
// a start handler that reaches the port reports error 25 and starts nothing.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/ControlIds.h"
#include "session/Session.h"
#include "testsupport/CodecTestSupport.h"
#include "testsupport/FakeMainView.h"
#include "windowlogic/FirmwareGroupState.h"
#include "windowlogic/MainWindowRules.h"
#include "windowlogic/SendrixDlg.h"

namespace {

class WindowKeysTest : public CodecTest {
 protected:
  void SetUp() override {
    CodecTest::SetUp();
    m_dlg.Attach(&m_view, nullptr, nullptr);
  }
  CSession m_session;
  CSendrixDlg m_dlg{m_session};
  CFakeMainView m_view{m_dlg.Fields()};
};

TEST_F(WindowKeysTest, KeysActByTheFocusedControl) {
  // The history manager hands back two files, oldest first.
  m_dlg.SetHistoryManager([](int, std::vector<std::string>& list) {
    list = {"/a/two.prn", "/a/one.prn"};
  });
  m_dlg.OnSysCommand(IDM_FILE_HISTORY);
  ASSERT_EQ(m_view.m_files.size(), 2u);
  ASSERT_EQ(m_view.m_files[0].name, "/a/one.prn");
  m_view.controls.main.m_nStringFormat = 0;
  m_view.controls.main.m_strDataString = "ESC@";

  struct Case {
    int focus, key, selection, result, focusAfter;
    bool startRan;  // a start handler reached the port (error 25)
  };
  const Case cases[] = {
      {kIdcDataString, VK_RETURN, -1, CSendrixDlg::kKeyConsumed, kIdcDataString, true},
      {kIdcStringStart, VK_RETURN, -1, CSendrixDlg::kKeyConsumed, kIdcStringStart, true},
      {kIdcFileStart, VK_RETURN, -1, CSendrixDlg::kKeyConsumed, kIdcFileStart, true},
      {kIdcFileList, VK_RETURN, 1, CSendrixDlg::kKeyConsumed, kIdcFileStart, true},
      {kIdcFileName, VK_RETURN, -1, CSendrixDlg::kKeyConsumed, kIdcFileName, false},
      {0, VK_RETURN, -1, CSendrixDlg::kKeyConsumed, 0, false},
      {kIdcFileStart, VK_ESCAPE, -1, CSendrixDlg::kKeyToControlOnly, kIdcFileStart, false},
      {kIdcDataString, VK_ESCAPE, -1, CSendrixDlg::kKeyToControlOnly, kIdcDataString, false},
      {kIdcFileStart, VK_UP, -1, CSendrixDlg::kKeyConsumed, kIdcFileList, false},
      {kIdcFileStart, VK_DOWN, -1, CSendrixDlg::kKeyConsumed, kIdcFileList, false},
      {kIdcStringStart, VK_DOWN, -1, CSendrixDlg::kKeyConsumed, kIdcDataString, false},
      {kIdcDataString, VK_UP, -1, CSendrixDlg::kKeyNormal, kIdcDataString, false},
      {kIdcFileList, VK_DOWN, -1, CSendrixDlg::kKeyNormal, kIdcFileList, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "focus " << c.focus << " key " << c.key);
    m_notifier.Clear();
    m_view.SetFocusId(c.focus);
    m_view.m_nSelection = c.selection;
    EXPECT_EQ(m_dlg.PreTranslateKey(c.key), c.result);
    EXPECT_EQ(m_view.GetFocusId(), c.focusAfter);
    EXPECT_EQ(m_notifier.Texts(),
              c.startRan ? std::vector<std::string>{"error 25"} : std::vector<std::string>{});
    EXPECT_EQ(m_view.m_nCloseRequests, 0);
  }
  // Enter on the file list took its selected row as the file to send; Enter
  // in the string box put the string into the history.
  EXPECT_EQ(m_dlg.Fields().main.m_strFileName, "/a/two.prn");
  ASSERT_FALSE(m_view.m_strings.empty());
  EXPECT_EQ(m_view.m_strings[0], "ESC@");
}

TEST(FirmwareGroupStateTest, EnablingRestoresExactlyWhatDisablingFound) {
  CDialogFields fields;
  CFakeMainView view(fields);
  CFirmwareGroupState group;
  view.EnableDlgItem(kIdcFirmwareStart, 0);   // the Start button a download abort left off
  view.EnableDlgItem(kIdcStepLabelErase, 0);  // a step label not reached yet
  group.Apply(view, 0);
  for (int id : CFirmwareGroupState::kControls)
    EXPECT_EQ(view.Enabled(id), 0) << id;
  // Disabled twice: the second call must not record "all disabled".
  view.EnableDlgItem(kIdcFirmwareCrc, 1);
  group.Apply(view, 0);
  EXPECT_EQ(view.Enabled(kIdcFirmwareCrc), 0);
  group.Apply(view, 1);
  for (int id : CFirmwareGroupState::kControls)
    EXPECT_EQ(view.Enabled(id), id == kIdcFirmwareStart || id == kIdcStepLabelErase ? 0 : 1) << id;
  // Enabling again keeps that picture; controls outside the group untouched.
  group.Apply(view, 1);
  EXPECT_EQ(view.Enabled(kIdcFirmwareStart), 0);
  EXPECT_EQ(view.Enabled(kIdcFileStart), 1);
}

// Switching ASCII -> Hex -> Hex -> ASCII converts the whole combo and the
// data string each time the format changes, and nothing when it does not.
TEST_F(WindowKeysTest, StringFormatSwitchConvertsTheWholeCombo) {
  m_dlg.SetHistoryManager([](int mode, std::vector<std::string>& list) {
    if (mode == 0)
      list = {"hi", "A\\x1B"};  // oldest first, as the manager hands it back
  });
  m_dlg.OnSysCommand(IDM_STRING_HISTORY);
  ASSERT_EQ(m_view.m_strings, (std::vector<std::string>{"A\\x1B", "hi"}));
  m_dlg.Fields().main.m_nStringFormat = 0;
  m_view.controls.main.m_strDataString = "ok";

  m_view.controls.main.m_nStringFormat = 1;
  m_dlg.OnCommand(kIdcHexRadio);
  EXPECT_EQ(m_view.m_strings, (std::vector<std::string>{"41 1B ", "68 69 "}));
  EXPECT_EQ(m_view.controls.main.m_strDataString, "6F 6B ");
  EXPECT_EQ(m_dlg.StringHistoryList(), m_view.m_strings);
  m_dlg.OnCommand(kIdcHexRadio);  // Hex again: already hex, nothing converted
  EXPECT_EQ(m_view.m_strings, (std::vector<std::string>{"41 1B ", "68 69 "}));

  m_view.controls.main.m_nStringFormat = 0;
  m_dlg.OnCommand(kIdcAsciiRadio);
  EXPECT_EQ(m_view.m_strings, (std::vector<std::string>{"A\\x1B", "hi"}));
  EXPECT_EQ(m_view.controls.main.m_strDataString, "ok");
  EXPECT_TRUE(m_notifier.Texts().empty());
}

TEST_F(WindowKeysTest, BrowseStartsFromThePatternOfTheLastFile) {
  CFakeFileDialog files;
  m_dlg.Attach(&m_view, &files, nullptr);
  m_view.controls.main.m_strFileName = "/srv/fw.v2/image.tar.gz";
  files.m_answers = {"/srv/new.bin", ""};
  m_dlg.OnCommand(kIdcBrowse);
  EXPECT_EQ(m_view.controls.main.m_strFileName, "/srv/new.bin");
  m_dlg.OnCommand(kIdcBrowse);  // cancelled: nothing changes
  EXPECT_EQ(m_view.controls.main.m_strFileName, "/srv/new.bin");
  EXPECT_EQ(files.m_initials, (std::vector<std::string>{"/srv/fw.v2/*.tar.gz", "/srv/*.bin"}));
  auto bin =
      std::find_if(files.m_lastFilters.begin(), files.m_lastFilters.end(),
                   [](const CFileFilter& f) { return f.first == " Flash Code Files (*.bin)"; });
  ASSERT_NE(bin, files.m_lastFilters.end());
  EXPECT_EQ(bin->second, "*.bin *.BIN");
}

}  // namespace
