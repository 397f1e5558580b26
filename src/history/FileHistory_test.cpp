#include "history/FileHistory.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

namespace {

TEST(FileHistoryTest, RowShowsSizeAndDateOrZeroForAnUnreadableFile) {
  setenv("TZ", "UTC", 1);  // no other test of this program reads local time
  tzset();
  const std::string path = ::testing::TempDir() + "/file-history-row.bin";
  {
    std::ofstream out(path, std::ios::binary);
    out << std::string(1234, 'x');
  }
  utimbuf times{};
  times.actime = times.modtime = 1363296978;  // 2013-03-14 21:36:18 UTC
  ASSERT_EQ(utime(path.c_str(), &times), 0);

  const CFileHistoryRow row = MakeFileHistoryRow(path);
  EXPECT_EQ(row.name, path);
  EXPECT_EQ(row.size, "1234");
  EXPECT_EQ(row.date, "March 14, 2013");

  const CFileHistoryRow missing = MakeFileHistoryRow(path + ".gone");
  EXPECT_EQ(missing.size, "0");
  EXPECT_EQ(missing.date, "January 01, 1970");
  std::remove(path.c_str());
}

TEST(FileHistoryTest, ChosenAgainMovesToTopIgnoringCaseAndTwentyFirstPushesOldestOut) {
  std::vector<CFileHistoryRow> rows;
  for (int i = 0; i < 20; ++i)
    AddFileToHistory(rows, "/data/f" + std::to_string(i) + ".prn");
  ASSERT_EQ(rows.size(), 20u);
  EXPECT_EQ(rows.front().name, "/data/f19.prn");
  EXPECT_EQ(rows.back().name, "/data/f0.prn");

  // Same file in another spelling: one row, on top, with the new spelling.
  AddFileToHistory(rows, "/DATA/F5.PRN");
  ASSERT_EQ(rows.size(), 20u);
  EXPECT_EQ(rows.front().name, "/DATA/F5.PRN");
  EXPECT_EQ(FindFileHistoryRow(rows, "/data/f5.prn"), 0);
  EXPECT_EQ(FindFileHistoryRow(rows, "/data/f4.prn"), 15);  // the old f5 row is gone

  // The top row chosen again stays the only one.
  AddFileToHistory(rows, "/DATA/F5.PRN");
  EXPECT_EQ(rows.size(), 20u);

  // A 21st distinct file: the oldest (f0) goes, the list stays at 20.
  AddFileToHistory(rows, "/data/new.prn");
  ASSERT_EQ(rows.size(), 20u);
  EXPECT_EQ(rows.front().name, "/data/new.prn");
  EXPECT_EQ(FindFileHistoryRow(rows, "/data/f0.prn"), -1);
  EXPECT_EQ(rows.back().name, "/data/f1.prn");
}

}  // namespace
