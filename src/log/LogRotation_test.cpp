// Old data logs go, the newest kept by modification time; a log whose
// writer still runs, and the View Log copies, stay.
#include "log/LogRotation.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "testsupport/TestFiles.h"

namespace fs = std::filesystem;

TEST(LogRotationTest, KeepsTheNewestAndThoseStillBeingWritten) {
  const std::string dir = MakeTestFolder("logs");
  ASSERT_FALSE(dir.empty());
  // This process's log is the oldest; pid 3FFFFFFF, above any pid_max, has ended.
  const std::string ours = "SendrixLog_0_pid-" +
                           (std::stringstream() << std::hex << std::uppercase << getpid()).str() +
                           ".html";
  const std::vector<std::string> names = {
      ours, "SendrixLog_1_pid-3FFFFFFF.html", "SendrixLog_2_pid-3FFFFFFF.html",
      "SendrixLog_3_pid-3FFFFFFF.html", "SendrixLog_x.temp.html"};
  auto when = fs::file_time_type::clock::now() - std::chrono::hours(100);
  for (const std::string& name : names) {
    WriteFileBytes(dir + "/" + name, "log");
    fs::last_write_time(dir + "/" + name, when += std::chrono::hours(1));
  }
  EXPECT_EQ(RemoveOldDataLogs(dir, 0), 0);  // 0 keeps them all
  EXPECT_EQ(RemoveOldDataLogs(dir, 1), 2);
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir))
    left.insert(entry.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{names[0], names[3], names[4]}));
  fs::remove_all(dir);
}
