// The device setup dialog's logic against a recording view and a scripted
// discovery: the search, the three frames and their order, the errors,
// the questions, the addresses refused, and Enter by focused control.
#include "devsetup/SetupEthDevLogic.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/ControlIds.h"
#include "testsupport/CodecTestSupport.h"
#include "testsupport/PanelTestSupport.h"

namespace {

class SetupEthDevTest : public CodecTest {
 protected:
  void SetUp() override {
    CodecTest::SetUp();
    CSetupEthDevLogic::Hooks hooks;
    hooks.discover = [this](int& count, CSetupEthDevLogic::Table& table) {
      ++m_searches;
      count = static_cast<int>(m_records.size());
      for (size_t i = 0; i < m_records.size(); ++i) {
        std::memset(table[i], 0, sizeof table[i]);
        std::memcpy(table[i], m_records[i].data(), m_records[i].size());
      }
      return m_discoverResult;
    };
    hooks.sendFrame = [this](const std::string& frame) {
      m_frames.push_back(frame);
      return frame.compare(3, 4, m_failWord) != 0;
    };
    hooks.sleepMs = [this](unsigned ms) { m_sleeps.push_back(ms); };
    hooks.runBlocking = [this](const std::function<void()>& work) {
      ++m_blocked;
      work();
    };
    m_logic.SetHooks(hooks);
    m_logic.OnInitDialog();
    m_initBoxes = m_notifier.Texts();
    m_notifier.Clear();
  }
  // Searches and selects row `row`.
  void Select(int row) {
    m_logic.SearchDevices(true);
    m_view.selection = row;
    m_logic.OnClickDeviceList();
    m_notifier.Clear();
    m_searches = 0;
  }
  std::vector<std::string> Words() const {
    std::vector<std::string> words;
    for (const auto& f : m_frames)
      words.push_back(f.substr(3, 4));
    return words;
  }

  CFakePanelView m_view;
  CSetupEthDevLogic m_logic{m_view};
  std::vector<std::string> m_records = {
      "PRINTSERVER\t10.0.0.9\t02-11-22-33-44-55\tFoo\t",
      "PRINTSERVER\t10.0.0.10\t02-00-00-00-00-01\tBar\t",
      "PRINTSERVER\tbroken record without tabs",
  };
  int m_discoverResult = 1;
  int m_searches = 0;
  int m_blocked = 0;
  std::string m_failWord = "none";
  std::vector<std::string> m_frames;
  std::vector<unsigned> m_sleeps;
  std::vector<std::string> m_initBoxes;
};

TEST_F(SetupEthDevTest, SearchSortsByAddressTextAndLeavesOutBrokenRecords) {
  EXPECT_EQ(m_view.IsDlgItemEnabled(kIdcDevUpdate), 0);
  m_logic.SearchDevices(true);
  ASSERT_EQ(m_view.rows.size(), 2u);
  EXPECT_EQ(m_view.rows[0].strIp, "10.0.0.10");  // text order, not numeric
  EXPECT_EQ(m_view.rows[0].strName, "Bar");
  EXPECT_EQ(m_view.rows[1].strMac, "02-11-22-33-44-55");
  EXPECT_TRUE(m_notifier.Texts().empty());
  EXPECT_GE(m_blocked, 1);  // discovery ran through the blocking hook

  m_records.clear();
  m_logic.SearchDevices(true);
  EXPECT_EQ(m_notifier.Texts(), std::vector<std::string>{"error 39"});
  m_notifier.Clear();
  m_discoverResult = 0;  // a failed discovery says nothing
  m_logic.SearchDevices(true);
  EXPECT_TRUE(m_notifier.Texts().empty());
  EXPECT_TRUE(m_view.rows.empty());
}

TEST_F(SetupEthDevTest, NoFrameWithoutAChangeOrAReadableSelection) {
  m_logic.OnUpdateDevice();
  m_logic.OnRebootDevice();
  EXPECT_EQ(m_notifier.Texts(), (std::vector<std::string>{"error 40", "error 40"}));
  m_notifier.Clear();
  Select(1);
  EXPECT_EQ(m_view.texts[kIdcDevNewIp], "10.0.0.9");
  EXPECT_EQ(m_view.texts[kIdcDevNewName], "Foo");
  for (int id : {kIdcDevUpdate, kIdcDevReboot, kIdcDevNewIp, kIdcDevNewName})
    EXPECT_EQ(m_view.IsDlgItemEnabled(id), 1) << id;
  m_logic.OnUpdateDevice();  // nothing changed
  EXPECT_EQ(m_searches, 0);
  m_records = {"K\t10.0.0.9\t02-11-22-33-44\tFoo"};
  Select(0);
  m_view.texts[kIdcDevNewName] = "Other";
  m_logic.OnUpdateDevice();
  m_logic.OnRebootDevice();
  EXPECT_TRUE(m_frames.empty());
  EXPECT_EQ(m_notifier.Texts(), (std::vector<std::string>{"error 45", "error 45"}));
}

TEST_F(SetupEthDevTest, NewNameSendsOnePaddedChnoAndSearchesKeepingTheSelection) {
  Select(1);
  m_view.texts[kIdcDevNewName] = "AB";
  m_logic.OnUpdateDevice();
  ASSERT_EQ(Words(), std::vector<std::string>{"CHNO"});
  EXPECT_EQ(m_frames[0].substr(13), "AB        ");
  EXPECT_TRUE(m_sleeps.empty());
  EXPECT_EQ(m_searches, 1);
  EXPECT_EQ(m_view.IsDlgItemEnabled(kIdcDevUpdate), 1);
  EXPECT_EQ(m_logic.m_strMacAddress, "02-11-22-33-44-55");
  EXPECT_EQ(m_view.texts[kIdcDevNewName], "AB        ");
}

TEST_F(SetupEthDevTest, FailedChipStillRestartsAndEachFailureHasItsError) {
  Select(1);
  m_view.texts[kIdcDevNewIp] = "10.0.0.5";
  m_view.texts[kIdcDevNewName] = "New";
  m_failWord = "CHIP";
  m_logic.OnUpdateDevice();
  EXPECT_EQ(Words(), (std::vector<std::string>{"CHIP", "CHNO", "REST"}));
  ASSERT_EQ(m_notifier.Texts().size(), 2u);  // the question, then the failure
  EXPECT_EQ(m_notifier.Texts()[1], "error 41");
  m_notifier.Clear();
  m_failWord = "REST";
  m_logic.OnRebootDevice();  // a failed restart says only that
  EXPECT_EQ(m_notifier.Texts(), std::vector<std::string>{"error 43"});
}

TEST_F(SetupEthDevTest, AddressOfAnotherRowAsksAndOnlyOkSendsChipThenRest) {
  Select(1);
  m_view.texts[kIdcDevNewIp] = "10.0.0.10";
  m_notifier.SetAnswer(IDCANCEL);
  m_logic.OnUpdateDevice();
  EXPECT_EQ(m_notifier.Texts(), std::vector<std::string>{"error 44"});
  EXPECT_TRUE(m_frames.empty());
  m_notifier.SetAnswer(IDOK);
  m_logic.OnUpdateDevice();
  EXPECT_EQ(m_notifier.Texts().size(), 3u);  // and the change of address is asked
  EXPECT_EQ(Words(), (std::vector<std::string>{"CHIP", "REST"}));
  EXPECT_EQ(m_frames[0].substr(13), std::string("\x0A\x00\x00\x0A", 4));
  EXPECT_EQ(m_sleeps, std::vector<unsigned>{3000});
  EXPECT_EQ(m_searches, 1);
  EXPECT_EQ(m_logic.m_strIpAddress, "10.0.0.10");
  EXPECT_EQ(m_view.waitCursor, 0);
}

// A print server sent to an address nobody can reach is lost to the
// operator: such addresses are refused, saying why, and nothing typed is
// dropped on the way (300 stays 300, not 30).
TEST_F(SetupEthDevTest, RefusesNoHostAddressesAndAsksBeforeReaddressing) {
  Select(1);
  const std::pair<const char*, const char*> refused[] = {
      {"300.1.2.3", "300 is out of range"}, {"10.0.0.2555", "2555 is out of range"},
      {"0.0.0.0", "name no host"},          {"255.255.255.255", "broadcast"},
      {"224.0.0.1", "multicast"},           {"240.1.2.3", "reserved"},
      {"10.0.0", "four numbers"},           {"10..0.1", "four numbers"},
      {"10.0.0.1.", "four numbers"},        {"", "four numbers"},
  };
  for (const auto& [text, why] : refused) {
    m_notifier.Clear();
    m_view.focus = 0;
    m_view.texts[kIdcDevNewIp] = text;
    m_logic.OnUpdateDevice();
    ASSERT_EQ(m_notifier.Texts().size(), 1u) << text;
    EXPECT_NE(m_notifier.Texts()[0].find(std::string("\"") + text + "\""), std::string::npos);
    EXPECT_NE(m_notifier.Texts()[0].find(why), std::string::npos) << m_notifier.Texts()[0];
    EXPECT_EQ(m_view.focus, kIdcDevNewIp);
  }
  EXPECT_TRUE(m_frames.empty());

  m_notifier.Clear();
  m_view.texts[kIdcDevNewIp] = "10.0.0.77";
  m_notifier.SetAnswer(IDCANCEL);
  m_logic.OnUpdateDevice();
  EXPECT_EQ(m_notifier.Texts(),
            std::vector<std::string>{"Change the address of the device Foo (02-11-22-33-44-55) "
                                     "from 10.0.0.9 to 10.0.0.77? The device restarts with the "
                                     "new address."});
  EXPECT_TRUE(m_frames.empty());
  m_notifier.SetAnswer(IDOK);
  m_logic.OnUpdateDevice();
  EXPECT_EQ(Words(), (std::vector<std::string>{"CHIP", "REST"}));

  m_notifier.Clear();
  m_logic.OnRebootDevice();
  ASSERT_EQ(m_notifier.Texts().size(), 1u);
  EXPECT_NE(m_notifier.Texts()[0].find("was told to restart"), std::string::npos);
}

TEST_F(SetupEthDevTest, WithoutTheTextLibraryCaptionsStayBuiltIn) {
  EXPECT_EQ(m_view.title, "Setup Devices");  // no library named: not loaded
  EXPECT_EQ(m_initBoxes, std::vector<std::string>{"Thesaurus DLL not found"});
}

}  // namespace
