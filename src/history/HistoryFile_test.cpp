// History files: what Windows writes is read, what we write reads back
// exactly (here and through the Windows profile rules), and a file without
// both counts is refused without touching the lists.
#include "history/HistoryFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "history/IniFile.h"
#include "testsupport/TestFiles.h"

namespace {

TEST(HistoryFileTest, ReadsWhatWindowsWrites) {
  const std::string longValue(300, 'x');
  const std::string bytes =
      "\xEF\xBB\xBF; saved on the shop PC\r\n"
      "[files history]\r\n"
      "  count = 4 \r\n"
      "Hist File #1 = C:\\fw\\main.bin\r\n"
      "hist file #0=\"  quoted keeps blanks  \"\r\n"
      "Hist File #01=not an index\r\n"
      "Hist File #0=second of a repeated key\r\n"
      "Hist File #3=" +
      longValue +
      "\r\n"
      "Hist File #9=beyond the count\r\n"
      "\r\n"
      "[ STRING HISTORY ]\n"
      "Count=3\r"
      "Hist String #0=caf\xE9 \\x1B@\r\n"
      "Hist String #2=NOT FOUND\r\n";
  CHistoryFileLists lists;
  ASSERT_EQ(ParseHistoryFile(bytes.data(), bytes.size(), lists), 1);
  EXPECT_EQ(lists.files, (std::vector<std::string>{"  quoted keeps blanks  ", "C:\\fw\\main.bin",
                                                   std::string(259, 'x')}));
  EXPECT_EQ(lists.strings, (std::vector<std::string>{"caf\xE9 \\x1B@"}));
}

TEST(HistoryFileTest, RoundTripThroughAFileKeepsEveryEntryAndOtherSections) {
  // ".ini" is added unless the chosen name holds it, case counted.
  EXPECT_EQ(HistoryFileName("HIST.INI"), "HIST.INI.ini");
  EXPECT_EQ(HistoryFileName("/d/h.ini.bak"), "/d/h.ini.bak");
  const std::string dir = MakeTestFolder("history");
  const std::string path = HistoryFileName(dir + "/hist");
  WriteFileBytes(path,
                 "[Other]\r\nKeep=me\r\n[String History]\r\nCount=9\r\nHist String #8=stale\r\n");
  CHistoryFileLists saved;
  saved.files = {"/home/op/my receipt.prn", "/srv/fw/main.bin", "/a=b/c.tst", "/x/caf\xC3\xA9.gfx"};
  saved.strings = {" leading and trailing ", "\"quoted\"", "'single'",
                   "41 42 0D 0A ",           "A\\x41\\n",  "line\nbreak"};
  ASSERT_EQ(SaveHistoryFile(path, saved), 1);
  const std::string bytes = ReadFileBytes(path);
  EXPECT_EQ(bytes.find("\n"), bytes.find("\r\n") + 1);  // first line ends in CR LF
  for (std::size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1))
    ASSERT_EQ(bytes[at - 1], '\r') << "at " << at;
  EXPECT_NE(bytes.find("[Other]\r\nKeep=me\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("[Files History]\r\nCount=4\r\nHist File #0=/home/op/my receipt.prn\r\n"),
            std::string::npos);
  EXPECT_EQ(bytes.find("stale"), std::string::npos);

  CHistoryFileLists loaded;
  ASSERT_EQ(LoadHistoryFile(path, loaded), 1);
  EXPECT_EQ(loaded.files, saved.files);
  saved.strings.pop_back();  // a line break cannot be one line: left out
  EXPECT_EQ(loaded.strings, saved.strings);
  EXPECT_EQ(CIniFile::Parse(bytes.data(), bytes.size()).GetString("other", "KEEP", ""), "me");
  std::filesystem::remove_all(dir);
}

TEST(HistoryFileTest, RefusedWithoutBothCountsAndListsStayAsTheyWere) {
  const CHistoryFileLists before{{"/kept/file.prn"}, {"kept string"}};
  const std::vector<std::string> refused = {
      "[Files History]\r\nCount=1\r\nHist File #0=/new.prn\r\n",
      "[String History]\r\nCount=1\r\nHist String #0=new\r\n",
      "[Files History]\r\nHist File #0=/new.prn\r\n[String History]\r\nCount=0\r\n",
      "[Files History]\r\nCount=1\r\n[Strings History]\r\nCount=1\r\n",
      "",
  };
  for (const std::string& bytes : refused) {
    CHistoryFileLists lists = before;
    EXPECT_EQ(ParseHistoryFile(bytes.data(), bytes.size(), lists), 0) << bytes;
    EXPECT_EQ(lists.files, before.files);
    EXPECT_EQ(lists.strings, before.strings);
  }
  CHistoryFileLists lists = before;
  EXPECT_EQ(LoadHistoryFile("/nonexistent/missing.ini", lists), 0);
  EXPECT_EQ(lists.files, before.files);

  // Counts that are not numbers, negative or absurd: accepted, bounded.
  const std::string odd =
      "[Files History]\r\nCount=abc\r\nHist File #0=/x\r\n"
      "[String History]\r\nCount=99999999999999\r\nHist String #7=seven\r\n";
  ASSERT_EQ(ParseHistoryFile(odd.data(), odd.size(), lists), 1);
  EXPECT_TRUE(lists.files.empty());
  EXPECT_EQ(lists.strings, (std::vector<std::string>{"seven"}));
}

TEST(HistoryFileTest, FirstLineStartingWithAByteOrderMarkKeepsItThroughASave) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string bytes = bom + bom + "[Files History]\r\nCount=1\r\nHist File #0=/a\r\n" +
                            "[String History]\r\nCount=0\r\n";
  CHistoryFileLists lists;
  ASSERT_EQ(ParseHistoryFile(bytes.data(), bytes.size(), lists), 0);  // no "Files History"
  const std::string once = CIniFile::Parse(bytes.data(), bytes.size()).Serialize();
  EXPECT_EQ(CIniFile::Parse(once.data(), once.size()).Serialize(), once);
  EXPECT_EQ(ParseHistoryFile(once.data(), once.size(), lists), 0);
}

}  // namespace
