// The error boxes: texts from the library's look-ups, shown through the
// notifier; nothing at all without the look-ups.
#include <cstring>

#include "codec/CodecTestSupport.h"
#include "codec/ErrorBoxes.h"

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

}  // namespace
