// Old data logs go, newest kept by modification time; a log whose writer
// still runs, and the View Log copies, stay.
#include "log/LogRotation.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "testsupport/TestFiles.h"

namespace fs = std::filesystem;

namespace {

TEST(LogRotationTest, KeepsTheNewestAndThoseStillBeingWritten) {
  const std::string dir = MakeTestFolder("logs");
  ASSERT_FALSE(dir.empty());
  char ours[64];
  std::snprintf(ours, sizeof ours, "SendrixLog_2020-01-01_00-00-00_pid-%X.html",
                static_cast<unsigned>(getpid()));
  // pid 3FFFFFFF is above any pid_max: that writer has ended.
  const std::vector<std::string> names = {ours,
                                          "SendrixLog_2021-01-01_00-00-00_pid-3FFFFFFF.html",
                                          "SendrixLog_2022-01-01_00-00-00_pid-3FFFFFFF.html",
                                          "SendrixLog_2023-01-01_00-00-00_pid-3FFFFFFF.html",
                                          "SendrixLog_2024-01-01_00-00-00_pid-3FFFFFFF.html",
                                          "SendrixLog_2019-01-01_00-00-00_pid-1.temp.html"};
  auto when = fs::file_time_type::clock::now() - std::chrono::hours(100);
  for (const std::string& name : names) {
    WriteFileBytes(dir + "/" + name, "log");
    fs::last_write_time(dir + "/" + name, when += std::chrono::hours(1));
  }
  EXPECT_EQ(RemoveOldDataLogs(dir, 0), 0);  // 0 keeps them all
  EXPECT_EQ(RemoveOldDataLogs(dir, 2), 2);
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir))
    left.insert(entry.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{names[0], names[3], names[4], names[5]}));
  fs::remove_all(dir);
}

}  // namespace
