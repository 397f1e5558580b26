// Loading the text library, its messages, the buffers texts are copied to,
// and what the English library says.
#include "texts/TextLibrary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/ControlIds.h"
#include "platform/Notifier.h"
#include "testsupport/RecordingNotifier.h"
#include "texts/TooltipTable.h"

namespace {

using Texts = std::vector<std::string>;

class TextLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { SetNotifier(&m_notifier); }
  void TearDown() override {
    m_library.FreeTextLibrary();
    SetNotifier(nullptr);
  }
  CRecordingNotifier m_notifier;
  CTextLibrary m_library;
};

TEST_F(TextLibraryTest, MissingLibrary) {
  for (const char* name : {"/nonexistent/libnothing.so", "libsendrix-no-such-texts.so", "",
                           static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(name != nullptr ? name : "(null)");
    EXPECT_EQ(m_library.LoadTextLibrary(name), 0);
    EXPECT_EQ(m_notifier.Texts(), Texts{"Thesaurus DLL not found"});
    EXPECT_FALSE(m_library.IsLoaded());
    EXPECT_EQ(m_library.GetCaptionText(0), nullptr);
    EXPECT_EQ(m_library.GetTipText(0), nullptr);
    EXPECT_EQ(g_pfnErrorGetText.load(), nullptr);
    m_notifier.Clear();
  }
}

// A second load by bare name replaces the first library; the name is not on
// the loader's search path, only the program's folder has it.
TEST_F(TextLibraryTest, ReloadByBareNameWithoutTipExportAndALongCaption) {
  ASSERT_EQ(m_library.LoadTextLibrary(SENDRIX_TEXTS_EN_PATH), 1);
  ASSERT_EQ(m_library.LoadTextLibrary(SENDRIX_TEXTS_NOTIPS_NAME), 1);
  EXPECT_EQ(m_notifier.Texts(), Texts{"Thes_TipGetText function not found"});
  EXPECT_STREQ(g_pfnErrorGetText.load()(6), "test error");
  EXPECT_FALSE(m_library.HasTipFunction());
  for (int n = 0; n <= 66; ++n)
    EXPECT_EQ(m_library.GetTipText(n), nullptr);
  EXPECT_STREQ(m_library.GetCaptionText(0), "test caption");
  // A long caption is cut to the buffer; a null one reads as empty.
  const char* caption = m_library.GetCaptionText(1);
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(std::string(caption), std::string(CTextLibrary::kCaptionBufferSize - 1, 'c'));
  EXPECT_STREQ(m_library.GetCaptionText(2), "");
}

TEST_F(TextLibraryTest, LibraryWithoutExports) {
  // Any shared object without the four functions will do.
  ASSERT_EQ(m_library.LoadTextLibrary("libm.so.6"), 1);
  const Texts texts = m_notifier.Texts();
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_FALSE(texts[0].empty()) << "the system's text for the failed look-up";
  EXPECT_EQ(texts[1], "Thes_ErrorGetText function not found");
  EXPECT_EQ(texts[2], "Thes_CommErrorGetText function not found");
  EXPECT_EQ(texts[3], "Thes_CaptionGetText function not found");
  EXPECT_EQ(texts[4], "Thes_TipGetText function not found");
  EXPECT_EQ(m_library.GetCaptionText(0), nullptr);
  EXPECT_EQ(g_pfnErrorGetText.load(), nullptr);
}

// The conversions of a printf format, "%%" left out.
std::string Conversions(const std::string& format) {
  std::string found;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%')
      continue;
    if (i + 1 < format.size() && format[i + 1] == '%')
      ++i;
    else
      found += format.substr(i, 2);  // a lone '%' at the end counts too
  }
  return found;
}

// The English library loads silently and sets the shared look-ups; its
// comm-error formats (the record's texts, and the port with the reason for a
// busy or forbidden port) are safe to fill with two texts, the others are
// shown as they stand, and unknown numbers still give a text. A dialog's own
// caption and tip load leaves the shared look-ups alone.
TEST_F(TextLibraryTest, EnglishLoadsSilentlyAndADialogsOwnLoadLeavesSharedLookUpsAlone) {
  ASSERT_EQ(m_library.LoadTextLibrary(SENDRIX_TEXTS_EN_PATH), 1);
  EXPECT_TRUE(m_notifier.Texts().empty());
  EXPECT_STREQ(m_library.GetCaptionText(5), "Abort");
  EXPECT_GT(std::strlen(m_library.GetTipText(7)), 0u);
  EXPECT_GT(std::strlen(m_library.GetCaptionText(86)) * std::strlen(m_library.GetTipText(67)), 0u);
  const PFN_THES_GETTEXT shared = g_pfnErrorGetText.load(), comm = g_pfnCommErrorGetText.load();
  ASSERT_TRUE(shared != nullptr && comm != nullptr);
  EXPECT_STREQ(shared(6), "No file is selected.");
  EXPECT_STREQ(shared(123), "Unknown error 123");
  for (int n = 1; n <= 15; ++n) {
    const bool filled = n == 1 || n == 2 || n == 3 || n == 6 || n == 10;
    EXPECT_EQ(Conversions(comm(n)), filled ? "%s%s" : "") << "comm error " << n;
  }
  EXPECT_NE(std::string(comm(3)).find("permission denied"), std::string::npos);
  EXPECT_GT(std::strlen(comm(-1)), 0u);

  CTextLibrary dialog;
  ASSERT_EQ(dialog.LoadCaptionAndTipTexts(SENDRIX_TEXTS_NOTIPS_PATH), 1);
  EXPECT_EQ(m_notifier.Texts(), Texts{"Thes_TipGetText function not found"});
  EXPECT_STREQ(dialog.GetCaptionText(0), "test caption");
  EXPECT_STREQ(m_library.GetCaptionText(0), "Select File") << "each dialog its own buffer";
  dialog.FreeTextLibrary();
  EXPECT_EQ(g_pfnErrorGetText.load(), shared);
  m_notifier.Clear();
  EXPECT_EQ(dialog.LoadCaptionAndTipTexts("/nonexistent/lib.so"), 0);
  EXPECT_EQ(m_notifier.Texts(), Texts{"Thesaurus DLL not found"});

  m_library.FreeTextLibrary();
  EXPECT_EQ(g_pfnErrorGetText.load(), nullptr);
  EXPECT_EQ(g_pfnCommErrorGetText.load(), nullptr);
  EXPECT_EQ(m_library.GetCaptionText(5), nullptr);
}

// Tip requests: the rate label and its unit share a tip; the Ethernet panel
// names a control outside its table, the serial panel shows nothing; without
// the tip export every tip is empty.
TEST_F(TextLibraryTest, TooltipTextsByDialogAndControl) {
  ASSERT_EQ(m_library.LoadTextLibrary(SENDRIX_TEXTS_EN_PATH), 1);
  const std::string rate = TooltipText(m_library, -1, kIdcRate);
  EXPECT_FALSE(rate.empty());
  EXPECT_EQ(TooltipText(m_library, -1, kIdcRateLabel), rate);
  EXPECT_EQ(TooltipText(m_library, -1, kIdcEthernetRadio), m_library.GetTipText(42));
  EXPECT_EQ(TooltipText(m_library, 2, kIdcEthFrame), "Undefined Control ID #1099");
  EXPECT_EQ(TooltipText(m_library, 0, kIdcSerialPortFrame), "");
  EXPECT_EQ(TooltipText(m_library, 1, kIdcUsbInfo), m_library.GetTipText(26));
  ASSERT_EQ(m_library.LoadTextLibrary(SENDRIX_TEXTS_NOTIPS_PATH), 1);
  EXPECT_EQ(TooltipText(m_library, -1, kIdcRate), "");
  EXPECT_EQ(TooltipText(m_library, 2, kIdcEthFrame), "");
}

}  // namespace
