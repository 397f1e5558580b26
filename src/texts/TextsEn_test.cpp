// The English text library: every number the program uses has a text, and
// the two comm-error formats are safe to fill with two texts.
#include <gtest/gtest.h>

#include <string>

#include "platform/DynamicLibrary.h"
#include "texts/TextFunctions.h"

namespace {

class TextsEnTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_hLibrary = LoadLibraryA(SENDRIX_TEXTS_EN_PATH);
    ASSERT_NE(m_hLibrary, nullptr) << LastLoadError();
    for (int i = 0; i < 4; ++i) {
      m_functions[i] = reinterpret_cast<PFN_THES_GETTEXT>(GetProcAddress(m_hLibrary, kNames[i]));
      ASSERT_NE(m_functions[i], nullptr) << kNames[i];
    }
  }
  void TearDown() override {
    if (m_hLibrary != nullptr)
      FreeLibrary(m_hLibrary);
  }
  std::string Text(int kind, int n) {
    const char* text = m_functions[kind](n);
    EXPECT_NE(text, nullptr);
    return text != nullptr ? text : "";
  }

  static constexpr const char* kNames[4] = {"Thes_ErrorGetText", "Thes_CommErrorGetText",
                                            "Thes_CaptionGetText", "Thes_TipGetText"};
  enum { kError, kComm, kCaption, kTip };
  HMODULE m_hLibrary = nullptr;
  PFN_THES_GETTEXT m_functions[4] = {};
};

// The conversions of a printf format, "%%" left out.
std::string Conversions(const std::string& format) {
  std::string found;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%')
      continue;
    if (i + 1 < format.size() && format[i + 1] == '%') {
      ++i;
      continue;
    }
    found += format.substr(i, 2);
  }
  return found;
}

TEST_F(TextsEnTest, EveryUsedNumberHasItsOwnText) {
  for (int n = 0; n <= 85; ++n) {
    const std::string caption = Text(kCaption, n);
    EXPECT_FALSE(caption.empty()) << "caption " << n;
    EXPECT_NE(caption, "Caption " + std::to_string(n)) << "caption " << n;
  }
  for (int n = 0; n <= 66; ++n) {
    const std::string tip = Text(kTip, n);
    EXPECT_FALSE(tip.empty()) << "tip " << n;
    EXPECT_LT(tip.size(), 400u) << "tip " << n;
    EXPECT_NE(tip, "Unknown tip " + std::to_string(n)) << "tip " << n;
  }
  const int errors[] = {1,  3,  4,  5,  6,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17,
                        18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 30, 31, 32, 33,
                        34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 49, 50};
  for (int n : errors) {
    const std::string error = Text(kError, n);
    EXPECT_FALSE(error.empty()) << "error " << n;
    EXPECT_NE(error, "Unknown error " + std::to_string(n)) << "error " << n;
  }
  for (int n = 1; n <= 15; ++n) {
    EXPECT_NE(Text(kComm, n), "Unknown communication error " + std::to_string(n))
        << "comm error " << n;
  }
}

TEST_F(TextsEnTest, CommFormatsHoldExactlyTwoTexts) {
  EXPECT_EQ(Conversions(Text(kComm, 1)), "%s%s");
  EXPECT_EQ(Conversions(Text(kComm, 10)), "%s%s");
  for (int n = 2; n <= 15; ++n) {
    if (n == 10)
      continue;
    EXPECT_EQ(Conversions(Text(kComm, n)), "") << "comm error " << n << " is shown as it stands";
  }
  EXPECT_NE(Text(kComm, 3).find("dialout"), std::string::npos);
}

TEST_F(TextsEnTest, StartButtonCaptions) {
  EXPECT_EQ(Text(kCaption, 2), "Start");
  EXPECT_EQ(Text(kCaption, 3), "Start");
  EXPECT_EQ(Text(kCaption, 4), "Start");
  EXPECT_EQ(Text(kCaption, 5), "Abort");
}

TEST_F(TextsEnTest, UnknownNumbersGiveAShortText) {
  EXPECT_EQ(Text(kError, 123), "Unknown error 123");
  EXPECT_FALSE(Text(kComm, -1).empty());
  EXPECT_FALSE(Text(kCaption, 86).empty());
  EXPECT_FALSE(Text(kTip, 67).empty());
}

}  // namespace
