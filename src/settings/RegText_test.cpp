#include "settings/RegText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testsupport/TestFiles.h"

namespace {

using namespace std::string_literals;

const char kKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX";

TEST(RegTextTest, ReadsWindowsExportSkippingWhatItDoesNotUse) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n"
      "\"Parity\"=dword:00000004\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\KORVEL\\SENDRIX]\r\n"
      "\"String Mode\"=dword:0000000C\r\n"
      "\"Path\"=\"C:\\\\Données\\\\\\\"x\\\"\"\r\n"
      "@=\"default\"\r\n"
      "\"Blob\"=hex:01,02,\\\r\n"
      "  03,04\r\n"
      "; a comment\r\n"
      "\"Expand\"=hex(2):41,00,00,00\r\n"
      "\"Gone\"=-\r\n"
      "\"Bad\"=dword:123456789\r\n"
      "\"Open\"=\"no end\r\n"
      "  \"Indented\"=dword:1   \r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\WOW6432Node\\KORVEL\\SENDRIX]\r\n"
      "\"Twice\"=dword:2\r\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX]\r\n"
      "\"Deleted key\"=dword:00000001\r\n";
  for (const std::string& bytes : {text, Utf16Le(text), "\xEF\xBB\xBF" + text}) {
    const CRegData data = ParseRegText(bytes.data(), bytes.size());
    DWORD n = 0;
    EXPECT_TRUE(data.GetDword(kKey, "string mode", &n));
    EXPECT_EQ(n, 12u);
    std::string path;
    EXPECT_TRUE(data.GetString(kKey, "Path", &path));
    EXPECT_EQ(path, "C:\\Données\\\"x\"");
    EXPECT_TRUE(data.GetDword(kKey, "Indented", &n));
    EXPECT_EQ(n, 1u);
    // A doubled 32-bit view is still our key (it once read back elsewhere).
    EXPECT_TRUE(data.GetDword(kKey, "Twice", &n));
    EXPECT_EQ(n, 2u);
    // Number and text are kinds of their own.
    EXPECT_FALSE(data.GetString(kKey, "String Mode", &path));
    for (const char* skipped : {"Blob", "Expand", "Gone", "Bad", "Open", "Deleted key", "Parity"})
      EXPECT_EQ(data.Find(kKey, skipped), nullptr) << skipped;
    EXPECT_EQ(data.Keys().size(), 2u);  // ours and the other key
  }
}

TEST(RegTextTest, WrittenTextReadsBackAndLineBreaksCannotInjectValues) {
  CRegData data;
  data.SetDword(kKey, "Number", 0xC0A80102u);
  data.SetString(kKey, "Quote \"and\" slash \\", "a\\b\"c");
  data.SetString(kKey, "Injected", "x\"\n\"Number\"=dword:00000000");
  data.SetString("HKEY_CURRENT_USER\\X", "Other", "y");
  const std::string text = FormatRegText(data, {kKey, kKey + std::string("\\Empty")});
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n\n[", 0), 0u);
  EXPECT_NE(text.find("\"Number\"=dword:c0a80102\n"), std::string::npos);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Empty]\n"),
            std::string::npos);

  const CRegData back = ParseRegText(text.data(), text.size());
  DWORD n = 0;
  EXPECT_TRUE(back.GetDword(kKey, "Number", &n));
  EXPECT_EQ(n, 0xC0A80102u);
  std::string s;
  EXPECT_TRUE(back.GetString(kKey, "Quote \"and\" slash \\", &s));
  EXPECT_EQ(s, "a\\b\"c");
  EXPECT_EQ(back.Find(kKey, "Injected"), nullptr);
  EXPECT_TRUE(back.GetString("hkey_current_user\\x", "OTHER", &s));
}

// Any file is fuzzed (fuzz/reg_text.cpp); here the cap on values and the
// inputs that once needed care: a lone surrogate, an odd UTF-16 length, a
// value that never ends, NUL bytes inside names and texts.
TEST(RegTextTest, HostileInputStaysBounded) {
  std::string many = "[" + std::string(kKey) + "]\n";
  for (int i = 0; i < 12000; ++i)
    many += "\"v" + std::to_string(i) + "\"=dword:1\n";
  EXPECT_EQ(ParseRegText(many.data(), many.size()).ValueCount(), kMaxRegValues);
  for (const std::string& input :
       {std::string("\xFF\xFE\x5B\x00\x00\xD8", 6), std::string("\xFF\xFE[\x00", 3),
        "[" + std::string(kKey) + "]\n\"a\"=\"" + std::string(100000, '\\'),
        "[" + std::string(kKey) + "]\n\"a\0b\"=dword:1\n\"c\"=\"d\0\"\n"s})
    EXPECT_LE(ParseRegText(input.data(), input.size()).ValueCount(), kMaxRegValues);
  EXPECT_EQ(ParseRegText(nullptr, 0).Keys().size(), 0u);
}

}  // namespace
