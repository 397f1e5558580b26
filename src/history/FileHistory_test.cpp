// A row's size and date. The order, the cap of twenty and the same file in
// another spelling are checked through the history manager
// (app/HistoryEditor_test.cpp).
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

}  // namespace
