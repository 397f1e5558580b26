// The error boxes: texts from the library's look-ups, shown through the
// notifier; nothing at all without the look-ups.
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "log/DataLog.h"
#include "platform/LastError.h"
#include "report/ErrorBoxes.h"
#include "testsupport/CodecTestSupport.h"

namespace {

const char* CommText(int code) {
  switch (code) {
    case 1:
      return "Cannot open %s: %s";
    case 10:
      return "%s%n%s";  // a hostile format: must not be used as one
    case 2:
      return "Busy %s %d";  // not a format for other codes: shown as it stands
    case 3:
      return nullptr;
    default:
      return "other";
  }
}

COMM_ERROR_RECORD Record(const char* text1, const char* text2) {
  COMM_ERROR_RECORD record{};
  std::strncpy(record.szText1, text1, sizeof(record.szText1) - 1);
  std::strncpy(record.szText2, text2, sizeof(record.szText2) - 1);
  return record;
}

TEST_F(CodecTest, ShowErrorTextUsesTheLibraryText) {
  ShowErrorText(6);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"error 6"}));
}

TEST_F(CodecTest, NoLibraryFunctionShowsNothing) {
  g_pfnErrorGetText.store(nullptr);
  ShowErrorText(6);
  const COMM_ERROR_RECORD record = Record("a", "b");
  ShowCommError(1, &record);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(CodecTest, ShowCommErrorFillsOnlyCodesOneAndTen) {
  g_pfnCommErrorGetText.store(&CommText);
  const COMM_ERROR_RECORD record = Record("/dev/ttyUSB0", "No such device");
  ShowCommError(1, &record);
  ShowCommError(2, &record);
  ShowCommError(3, &record);
  ShowCommError(10, &record);
  ShowCommError(1, nullptr);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"Cannot open /dev/ttyUSB0: No such device",
                                               "Busy %s %d", "", "%s%n%s", "Cannot open : "}));
}

TEST_F(CodecTest, ShowCommErrorIsBoundedByRecordAndMessageSize) {
  g_pfnCommErrorGetText.store(&CommText);
  COMM_ERROR_RECORD record;
  std::memset(&record, 'x', sizeof(record));  // texts without their NUL
  ShowCommError(1, &record);
  ASSERT_EQ(Boxes().size(), 1u);
  // "Cannot open " + 128 + ": " + 128 characters.
  EXPECT_EQ(Boxes()[0].size(), 12u + 128u + 2u + 128u);
}

// With a real data log: the boxes' texts and the system error line are in it.

std::string ReadAll(const std::string& path) {
  std::string content;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof(chunk), f)) > 0)
      content.append(chunk, n);
    std::fclose(f);
  }
  return content;
}

class ErrorBoxesLogTest : public CodecTest {
 protected:
  void SetUp() override {
    CodecTest::SetUp();
    const char* tmp = std::getenv("SENDRIX_TEST_TMP");
    std::string root = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    ::mkdir(root.c_str(), 0777);
    std::string pattern = root + "/errorboxes-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    m_home = pattern;
    const char* old = std::getenv("SENDRIX_HOME");
    m_oldHome = old != nullptr ? old : "";
    ::setenv("SENDRIX_HOME", m_home.c_str(), 1);
    ASSERT_EQ(::mkdir((m_home + "/Output").c_str(), 0777), 0);
  }
  void TearDown() override {
    g_pDataLog.Reset(nullptr);
    if (m_oldHome.empty()) {
      ::unsetenv("SENDRIX_HOME");
    } else {
      ::setenv("SENDRIX_HOME", m_oldHome.c_str(), 1);
    }
    EXPECT_EQ(std::system(("rm -rf '" + m_home + "'").c_str()), 0);
    CodecTest::TearDown();
  }
  // Closes the log and returns its file's text.
  std::string CloseLog() {
    std::shared_ptr<CDataLog> log = g_pDataLog.Get();
    if (!log)
      return std::string();
    const std::string path = log->FileName();
    g_pDataLog.Reset(nullptr);
    log.reset();
    return ReadAll(path);
  }
  std::string m_home;
  std::string m_oldHome;
};

TEST_F(ErrorBoxesLogTest, TextsAndSystemErrorGoToTheLog) {
  g_pDataLog.Reset(std::make_shared<CDataLog>("OS Version = test"));
  ASSERT_TRUE(g_pDataLog.Get()->IsOpen());
  g_pfnCommErrorGetText.store(&CommText);
  ShowErrorText(26);
  const COMM_ERROR_RECORD record = Record("127.0.0.1:9100", "Connection refused");
  ShowCommError(1, &record);
  // Other codes: the box keeps the library's text, the log line gets the
  // record's details (the backends' "address:port" and reason).
  const COMM_ERROR_RECORD closed = Record("127.0.0.1:9100", "main");
  ShowCommError(7, &closed);
  const COMM_ERROR_RECORD onlyPort = Record("/dev/ttyUSB0", "");
  ShowCommError(5, &onlyPort);
  ShowCommError(8, nullptr);
  LogSystemError(ERROR_FILE_NOT_FOUND);
  LogSystemError(ERROR_IO_PENDING);
  const std::string file = CloseLog();
  EXPECT_NE(file.find(" : other (127.0.0.1:9100, main)</h3>"), std::string::npos) << file;
  EXPECT_NE(file.find(" : other (/dev/ttyUSB0)</h3>"), std::string::npos);
  EXPECT_NE(file.find(" : other</h3>"), std::string::npos);
  EXPECT_NE(file.find(" : error 26</h3>"), std::string::npos) << file;
  EXPECT_NE(file.find(" : Cannot open 127.0.0.1:9100: Connection refused</h3>"), std::string::npos);
  EXPECT_NE(file.find(" : System Error 0x2 - Description : " +
                      SystemErrorText(ERROR_FILE_NOT_FOUND) + "</h3>"),
            std::string::npos);
  EXPECT_NE(file.find(" : System Error 0x3E5 - Description : "), std::string::npos);
  EXPECT_EQ(Boxes(),
            (std::vector<std::string>{"error 26", "Cannot open 127.0.0.1:9100: Connection refused",
                                      "other", "other", "other"}))
      << "the system error is only logged";
}

TEST_F(ErrorBoxesLogTest, NothingWithoutTheLibraryOrTheLog) {
  LogSystemError(ERROR_FILE_NOT_FOUND);  // logging off: nothing happens
  g_pDataLog.Reset(std::make_shared<CDataLog>("OS Version = test"));
  g_pfnErrorGetText.store(nullptr);
  ShowErrorText(26);
  LogSystemError(ERROR_ACCESS_DENIED);  // still logs without the library
  const std::string file = CloseLog();
  EXPECT_EQ(file.find("error 26"), std::string::npos);
  EXPECT_NE(file.find("System Error 0x5 - Description : "), std::string::npos);
  EXPECT_TRUE(Boxes().empty());
}

}  // namespace
