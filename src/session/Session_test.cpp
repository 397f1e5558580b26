// The session: the error boxes write to the log of the session that is
// alive, whatever other session came and went meanwhile.
#include "session/Session.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "report/ErrorBoxes.h"
#include "testsupport/CodecTestSupport.h"

namespace {

class SessionTest : public CodecTest {
 protected:
  void SetUp() override {
    CodecTest::SetUp();
    const char* base = std::getenv("SENDRIX_TEST_TMP");
    std::string root = base != nullptr && *base != '\0' ? base : "/tmp";
    std::filesystem::create_directories(root);
    std::string templ = root + "/session-XXXXXX";
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    m_strHome = templ;
    std::filesystem::create_directories(m_strHome + "/Output");
    setenv("SENDRIX_HOME", m_strHome.c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(m_strHome, ec);
    CodecTest::TearDown();
  }
  // Ends the session's log and returns its file's text.
  static std::string StopLog(CSession& session) {
    std::shared_ptr<CDataLog> log = session.DataLog().Get();
    if (!log)
      return "";
    const std::string name = log->FileName();
    session.DataLog().Reset(nullptr);
    log.reset();  // the last reference: the file is flushed and closed
    std::ifstream in(name);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::string m_strHome;
};

TEST_F(SessionTest, ErrorBoxesLogToTheLivingSession) {
  CSession first;
  first.DataLog().Reset(std::make_shared<CDataLog>("OS Version = test"));
  {
    CSession passing;  // made and destroyed while the first one lives
    ShowErrorText(7);
  }
  ShowErrorText(8);
  const std::string log = StopLog(first);
  EXPECT_EQ(log.find("error 7"), std::string::npos) << log;  // went to the passing one's
  EXPECT_NE(log.find("error 8"), std::string::npos) << log;
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"error 7", "error 8"}));
}

}  // namespace
