// The error boxes: texts from the library's look-ups, shown through the
// notifier and written to the data log; nothing at all without the look-ups.
#include "report/ErrorBoxes.h"

#include <cstring>
#include <memory>
#include <string>

#include "log/DataLog.h"
#include "platform/LastError.h"
#include "testsupport/EngineTestSupport.h"
#include "texts/TextFunctions.h"

namespace {

using Strings = std::vector<std::string>;

const char* CommText(int code) {
  switch (code) {
    case 1:
      return "Cannot open %s: %s";
    case 10:
      return "%s%n%s";  // a hostile format: must not be used as one
    case 2:
      return "Busy %s %d";  // not a two-text format: shown as it stands
    case 6:
      return "Port %s is held by %s.";
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

using ErrorBoxesTest = CEngineTest;

TEST_F(ErrorBoxesTest, ShowCommErrorFillsTwoTextFormatsWithinTheRecord) {
  g_pfnCommErrorGetText.store(&CommText);
  const COMM_ERROR_RECORD record = Record("/dev/ttyUSB0", "No such device");
  for (int code : {1, 2, 3, 6, 10})
    ShowCommError(code, &record);
  ShowCommError(1, nullptr);
  COMM_ERROR_RECORD unterminated;
  std::memset(&unterminated, 'x', sizeof(unterminated));  // texts without their NUL
  ShowCommError(1, &unterminated);
  const Strings boxes = Boxes();
  ASSERT_EQ(boxes.size(), 7u);
  const std::string details = " (/dev/ttyUSB0, No such device)";
  EXPECT_EQ(Strings(boxes.begin(), boxes.end() - 1),
            (Strings{"Cannot open /dev/ttyUSB0: No such device", "Busy %s %d" + details, details,
                     "Port /dev/ttyUSB0 is held by No such device.", "%s%n%s" + details,
                     "Cannot open : "}));
  // "Cannot open " + 128 + ": " + 128 characters.
  EXPECT_EQ(boxes.back().size(), 12u + 128u + 2u + 128u);
}

TEST_F(ErrorBoxesTest, TextsAndSystemErrorGoToTheLog) {
  StartLog();
  g_pfnCommErrorGetText.store(&CommText);
  ShowErrorText(26);
  const COMM_ERROR_RECORD record = Record("127.0.0.1:9100", "Connection refused");
  ShowCommError(1, &record);
  // Other codes: the box and the log line get the record's details (the
  // backends' "address:port" and reason, or which connection).
  const COMM_ERROR_RECORD closed = Record("127.0.0.1:9100", "main");
  ShowCommError(7, &closed);
  // Held for a job's end: logged, no box, and handed over once.
  HoldCommErrors(true);
  ShowCommError(5, &closed);
  ShowCommError(7, &closed);
  HoldCommErrors(false);
  EXPECT_EQ(TakeHeldCommError(), "other (127.0.0.1:9100, main)");
  EXPECT_EQ(TakeHeldCommError(), "");
  const COMM_ERROR_RECORD onlyPort = Record("/dev/ttyUSB0", "");
  ShowCommError(5, &onlyPort);
  ShowCommError(8, nullptr);
  LogSystemError(ERROR_FILE_NOT_FOUND);
  LogSystemError(ERROR_IO_PENDING);
  const std::string file = StopLog();
  for (const std::string& line : Strings{
           " : other (127.0.0.1:9100, main)</h3>", " : other (/dev/ttyUSB0)</h3>", " : other</h3>",
           " : error 26</h3>", " : Cannot open 127.0.0.1:9100: Connection refused</h3>",
           " : System Error 0x2 - Description : " + SystemErrorText(ERROR_FILE_NOT_FOUND) + "</h3>",
           std::string(" : System Error 0x3E5 - Description : ")}) {
    EXPECT_NE(file.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(Boxes(), (Strings{"error 26", "Cannot open 127.0.0.1:9100: Connection refused",
                              "other (127.0.0.1:9100, main)", "other (/dev/ttyUSB0)", "other"}))
      << "the system error is only logged";
}

TEST_F(ErrorBoxesTest, NothingWithoutTheLibraryOrTheLog) {
  LogSystemError(ERROR_FILE_NOT_FOUND);  // logging off: nothing happens
  StartLog();
  g_pfnErrorGetText.store(nullptr);
  ShowErrorText(26);
  const COMM_ERROR_RECORD record = Record("a", "b");
  ShowCommError(1, &record);
  LogSystemError(ERROR_ACCESS_DENIED);  // still logs without the library
  const std::string file = StopLog();
  EXPECT_EQ(file.find("error 26"), std::string::npos);
  EXPECT_NE(file.find("System Error 0x5 - Description : "), std::string::npos);
  EXPECT_TRUE(Boxes().empty());
}

}  // namespace
