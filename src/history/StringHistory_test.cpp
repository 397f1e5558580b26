#include "history/StringHistory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testsupport/CodecTestSupport.h"

namespace {

using Entries = std::vector<std::string>;

TEST(StringHistoryTest, AddKeepsTwentyMostRecentFirstIgnoringCase) {
  struct Case {
    const char* what;
    Entries before;
    std::string text;
    Entries after;
  };
  const std::vector<Case> cases = {
      {"new text goes on top", {"b", "c"}, "a", {"a", "b", "c"}},
      {"found at 0 in other case: old spelling stays", {"abc", "d"}, "ABC", {"abc", "d"}},
      {"found lower down: moved up, new spelling", {"x", "abc", "d"}, "ABC", {"ABC", "x", "d"}},
      {"match is whole text only", {"abc"}, "ab", {"ab", "abc"}},
  };
  for (const Case& c : cases) {
    Entries entries = c.before;
    AddStringToHistory(entries, c.text);
    EXPECT_EQ(entries, c.after) << c.what;
  }

  Entries full;
  for (int i = 0; i < 21; ++i)
    AddStringToHistory(full, "s" + std::to_string(i));
  ASSERT_EQ(full.size(), 20u);
  EXPECT_EQ(full.front(), "s20");
  EXPECT_EQ(full.back(), "s1");  // s0, the oldest, was pushed out
}

class StringConversionTest : public CodecTest {};

TEST_F(StringConversionTest, ModeSwitchConvertsEveryEntryBothWays) {
  Entries entries = {"\\x1Bt\\r", "AB", "a\\\\b"};
  EXPECT_EQ(ConvertHistoryToHex(entries), 0);
  EXPECT_EQ(entries, (Entries{"1B 74 0D ", "41 42 ", "61 5C 62 "}));
  EXPECT_EQ(ConvertHistoryToAscii(entries), 0);
  EXPECT_EQ(entries, (Entries{"\\x1Bt\\r", "AB", "a\\\\b"}));
  EXPECT_TRUE(Boxes().empty());

  // Long strings up to the 255 a data string holds convert both ways; one
  // that is not valid in its notation stays as it is; no entry is lost and
  // no box is shown.
  std::string controls;  // 255 bytes, each "\\x01" as escaped text
  for (int i = 0; i < 255; ++i)
    controls += "\\x01";
  Entries longOnes = {std::string(86, 'z'), controls, "\\xZZ"};
  EXPECT_EQ(ConvertHistoryToHex(longOnes), 1);
  EXPECT_EQ(longOnes[0].size(), 86u * 3);
  EXPECT_EQ(longOnes[1].size(), 255u * 3);
  EXPECT_EQ(longOnes[2], "\\xZZ");
  EXPECT_EQ(ConvertHistoryToAscii(longOnes), 1);
  EXPECT_EQ(longOnes, (Entries{std::string(86, 'z'), controls, "\\xZZ"}));
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(IsSendableString("1B 40 41", 1));
  EXPECT_FALSE(IsSendableString("1B 40 zz", 1));
  EXPECT_FALSE(IsSendableString(std::string(256 * 2, '4'), 1));
  EXPECT_FALSE(IsSendableString("\\b", 0));  // decodes to nothing
}

// The quiet checks must agree with the codec: true exactly when the codec
// converts without its error box.
TEST_F(StringConversionTest, QuietChecksAgreeWithTheCodec) {
  std::vector<std::string> hexInputs = {"",   "1B 74 0D ", "1b740d", "1B7", "1 B", "1B;74,0D-0A.09",
                                        "GG", "1B  74",    ",1B",    "1B\n"};
  // 255 "$" fit; 64 NUL bytes make 256 characters.
  const std::pair<int, char> kLong[] = {
      {85 * 3, 'F'}, {255 * 2, '4'}, {256 * 2, '4'}, {64 * 2, '0'}};
  for (const auto& [count, c] : kLong)
    hexInputs.push_back(std::string(count, c));
  for (const std::string& hex : hexInputs) {
    m_notifier.Clear();
    HexToEscapedText(hex);
    EXPECT_EQ(CanConvertHexToEscaped(hex), Boxes().empty()) << "hex '" << hex << "'";
  }
  std::vector<std::string> escapedInputs = {"",      "\\x1Bt\\r", "\\xZZ", "\\x",
                                            "a\\x4", "\\q\\b\\b", "\\x 1"};
  for (int count : {85, 86, 255, 256})
    escapedInputs.push_back(std::string(count, 'a'));
  escapedInputs.push_back(std::string(86, 'a') + "\\b");
  for (const std::string& text : escapedInputs) {
    m_notifier.Clear();
    EscapedToHexText(text);
    EXPECT_EQ(CanConvertEscapedToHex(text), Boxes().empty()) << "text '" << text << "'";
  }
}

}  // namespace
