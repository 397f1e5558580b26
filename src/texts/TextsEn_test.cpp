// The English text library: the two comm-error formats are safe to fill
// with two texts, and unknown numbers still give a text.
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

TEST_F(TextsEnTest, UnknownNumbersGiveAShortText) {
  EXPECT_EQ(Text(kError, 123), "Unknown error 123");
  EXPECT_FALSE(Text(kComm, -1).empty());
  EXPECT_FALSE(Text(kCaption, 86).empty());
  EXPECT_FALSE(Text(kTip, 67).empty());
}

}  // namespace
