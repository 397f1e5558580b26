// The log file as written: exact bytes, the log clock, nothing lost under
// load, several threads, turning logging off while others log, snapshots.
#include "log/DataLog.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "testsupport/EngineTestSupport.h"
#include "testsupport/RecordingNotifier.h"
#include "testsupport/TestFiles.h"

namespace fs = std::filesystem;

namespace {

class CFakeClock : public CDataLog::IClock {
 public:
  BOOL QueryCounter(LONGLONG* count) override {
    *count = m_ms;
    return m_bCounterOk;
  }
  BOOL QueryFrequency(LONGLONG* frequency) override {
    *frequency = m_bFrequencyOk ? 1000 : 0;
    return m_bFrequencyOk;
  }
  void LocalTime(SYSTEMTIME* time) override { *time = m_start; }

  std::atomic<LONGLONG> m_ms{0};
  SYSTEMTIME m_start{2026, 12, 0, 6, 10, 0, 59, 500};
  bool m_bCounterOk = true;
  bool m_bFrequencyOk = true;
};

std::string Header() {
  char h[128];
  std::snprintf(h, sizeof h,
                "<html>\r\n<body>\r\n<pre>\r\n<h1>Sendrix V5.0.894 svn Log File, pid = %X</h1>\r\n",
                static_cast<unsigned>(getpid()));
  return h;
}

const std::string kFooter = "</pre>\r\n</body>\r\n</html>\r\n";

// The log file's name for the fake clock's start.
std::string LogName() {
  char name[96];
  std::snprintf(name, sizeof name, "SendrixLog_2026-12-06_10-00-59_pid-%X.html",
                static_cast<unsigned>(getpid()));
  return name;
}

std::vector<BYTE> AsBytes(const std::string& s) {
  return std::vector<BYTE>(s.begin(), s.end());
}

class DataLogTest : public testing::Test {
 protected:
  void SetUp() override {
    m_home = MakeTestFolder("log");
    ASSERT_FALSE(m_home.empty());
    fs::create_directory(m_home / "Output");
    setenv("SENDRIX_HOME", m_home.c_str(), 1);
    SetNotifier(&m_notifier);
    m_clock = std::make_shared<CFakeClock>();
  }
  void TearDown() override {
    m_holder.Reset(nullptr);
    SetNotifier(nullptr);
    unsetenv("SENDRIX_HOME");
    std::error_code ec;
    fs::remove_all(m_home, ec);
  }

  // Destroys the log and returns its file's content.
  std::string Finish(std::unique_ptr<CDataLog> log) {
    std::string name = log->FileName();
    log.reset();
    return ReadFileBytes(name);
  }

  fs::path m_home;
  CRecordingNotifier m_notifier;
  std::shared_ptr<CFakeClock> m_clock;
  CDataLogHolder m_holder;
};

TEST_F(DataLogTest, WholeFileWithTheLogClockAndEscapedMarkup) {
  auto log = std::make_unique<CDataLog>("OS Version = Linux <test>", m_clock);
  EXPECT_EQ(log->FileName(), (m_home / "Output" / LogName()).string());
  m_clock->m_ms = 1000;
  log->Log("one");
  m_clock->m_ms = 2500;
  log->Log("two\n", "\x41\x42\x00\x7F\x80", 5);
  m_clock->m_ms = 2500 + 59900;
  log->Log(nullptr, "<&>", 3);  // markup from the printer is escaped
  log->Log("three & <b>");

  std::string row = "0000: 41 42 00 7F  80 ";
  row.append(59 - row.size(), ' ');
  row += "AB.\x7F.\r\n";
  std::string expected =
      Header() +
      "<h3>Time = 06/12/2026 10:00:59:500 (+00:00:00:000) : Start Log Recording.\n</h3>"
      "<h3>Time = 06/12/2026 10:00:59:500 (+00:00:00:000) : OS Version = Linux &lt;test&gt;</h3>"
      "<h3>Time = 06/12/2026 10:01:00:500 (+00:00:01:000) : one</h3>"
      "<h3>Time = 06/12/2026 10:01:02:000 (+00:00:01:500) : two\n</h3><h4>" +
      row +
      "</h4>"
      "<h4>0000: 3C 26 3E" +
      std::string(59 - 14, ' ') +
      "&lt;&amp;&gt;\r\n</h4>"
      "<h3>Time = 06/12/2026 10:02:01:900 (+00:00:00:000) : three &amp; &lt;b&gt;</h3>"
      "<h3>Time = 06/12/2026 10:02:01:900 (+00:00:00:000) : Stop Log Recording.\n</h3>" +
      kFooter;
  EXPECT_EQ(Finish(std::move(log)), expected);
  EXPECT_TRUE(m_notifier.Texts().empty());
}

TEST_F(DataLogTest, NothingIsLostBetweenFlushes) {
  auto log = std::make_unique<CDataLog>("os", m_clock);
  std::vector<std::vector<BYTE>> sent;
  size_t total = 0;
  for (int i = 0; total < 200000; ++i) {
    std::string block(257 + i % 300, '\0');
    for (size_t j = 0; j < block.size(); ++j)
      block[j] = static_cast<char>(i * 7 + j);
    log->Log("Data Received.\n", block.data(), static_cast<DWORD>(block.size()));
    total += block.size();
    sent.push_back(AsBytes(block));
  }
  // One entry bigger than the whole buffer is written whole.
  std::string huge(CDataLog::kBufferSize, 'h');
  log->Log(nullptr, huge.data(), static_cast<DWORD>(huge.size()));
  sent.push_back(AsBytes(huge));
  std::string file = Finish(std::move(log));
  EXPECT_EQ(file.substr(0, Header().size()), Header());
  EXPECT_EQ(file.substr(file.size() - kFooter.size()), kFooter);
  EXPECT_EQ(ParseLogDumps(file), sent);
}

// A slow disk (here a pipe that nobody reads yet) must not hold up the
// threads that log: a full buffer is written outside the lock they need.
TEST_F(DataLogTest, LoggingGoesOnWhileTheFileWriteIsStalled) {
  const std::string path = (m_home / "Output" / LogName()).string();
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  auto log = std::make_unique<CDataLog>("OS Version = test", m_clock);
  ASSERT_TRUE(log->IsOpen());
  const int pipe = open(path.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(pipe, 0);
  const int capacity = fcntl(pipe, F_GETPIPE_SZ);
  auto inPipe = [pipe] {
    int n = 0;
    ioctl(pipe, FIONREAD, &n);
    return n;
  };
  // More than the buffer holds: the filler's own flush meets the full pipe.
  const std::string block(1000, 'x');
  std::thread filler([&] {
    for (int i = 0; i < 180; ++i)
      log->Log(block.c_str());
  });
  for (int i = 0; i < 500 && inPipe() < capacity; ++i)
    Sleep(10);
  ASSERT_EQ(inPipe(), capacity);
  auto meanwhile = std::async(std::launch::async, [&] { log->Log("meanwhile"); });
  EXPECT_EQ(meanwhile.wait_for(std::chrono::seconds(2)), std::future_status::ready)
      << "a thread that logs waited for the disk";
  std::string content;
  std::thread drain([&] {
    char chunk[65536];
    for (int i = 0; i < 20000; ++i) {
      ssize_t n = read(pipe, chunk, sizeof chunk);
      if (n == 0)
        break;  // the log closed its end
      if (n > 0)
        content.append(chunk, static_cast<size_t>(n));
      else
        Sleep(1);
    }
  });
  filler.join();
  meanwhile.wait();
  log.reset();
  drain.join();
  close(pipe);
  size_t blocks = 0;
  for (size_t pos = 0; (pos = content.find(block, pos)) != std::string::npos; pos += block.size())
    ++blocks;
  EXPECT_EQ(blocks, 180u) << "nothing lost";
  EXPECT_NE(content.find(" : meanwhile</h3>"), std::string::npos);
  EXPECT_EQ(content.substr(content.size() - kFooter.size()), kFooter);
}

TEST_F(DataLogTest, FirstRunMakesTheOutputFolderAndOneThatCannotBeMadeLogsNothing) {
  fs::remove(m_home / "Output");  // a new home: the window has not made it yet
  auto first = std::make_unique<CDataLog>("os", m_clock);
  EXPECT_TRUE(first->IsOpen());
  first.reset();
  fs::remove_all(m_home / "Output");
  std::ofstream(m_home / "Output") << "a file where the folder should be";
  auto log = std::make_unique<CDataLog>("os", m_clock);
  EXPECT_FALSE(log->IsOpen());
  EXPECT_EQ(log->Log("text", "ab", 2), 1);
  std::uint64_t size = 0;
  char buffer[8];
  DWORD read = 5;
  EXPECT_EQ(log->GetLogFileSize(&size) + log->ReadLogFile(buffer, sizeof buffer, &read), 0);
  EXPECT_EQ(read, 0u);
  std::string path;
  EXPECT_EQ(log->WriteSnapshot(&path), 0);
  log.reset();
  EXPECT_TRUE(fs::is_regular_file(m_home / "Output"));
  EXPECT_TRUE(m_notifier.Texts().empty());
}

TEST_F(DataLogTest, UnreadableClockIsReported) {
  m_clock->m_bCounterOk = false;
  m_clock->m_bFrequencyOk = false;
  auto log = std::make_unique<CDataLog>("os", m_clock);
  log->Log("still logged");
  EXPECT_EQ(m_notifier.Texts(),
            (std::vector<std::string>{"error get timer", "error get performance counter freq"}));
  EXPECT_NE(Finish(std::move(log)).find(": still logged</h3>"), std::string::npos);
}

TEST_F(DataLogTest, WriterFlushesOnceASecondAndReportsItsThread) {
  setenv("SENDRIX_DEBUG", "1", 1);
  testing::internal::CaptureStderr();
  auto log = std::make_unique<CDataLog>("os", m_clock);
  std::uint64_t size = 0;
  for (int i = 0; i < 100 && size == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(log->GetLogFileSize(&size), 1);
  }
  log.reset();
  std::string err = testing::internal::GetCapturedStderr();
  unsetenv("SENDRIX_DEBUG");
  EXPECT_GT(size, Header().size());
  EXPECT_NE(err.find("**  Thread Log started\r\n"), std::string::npos);
  EXPECT_NE(err.find("** Thread Log stopped\r\n"), std::string::npos);
}

TEST_F(DataLogTest, ReadAndSnapshotWhileAnotherThreadLogs) {
  auto log = std::make_unique<CDataLog>("os", m_clock);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; i < 20000 && !stop; ++i)
      log->Log("line\n", &i, sizeof i);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::string read(1 << 16, '\0');
  DWORD got = 0;
  ASSERT_EQ(log->ReadLogFile(read.data(), static_cast<DWORD>(read.size()), &got), 1);
  read.resize(got);
  std::string snapshotPath;
  ASSERT_EQ(log->WriteSnapshot(&snapshotPath), 1);
  EXPECT_NE(snapshotPath.find("/Output/SendrixLog_2026-12-06_10-00-59_pid-"), std::string::npos);
  EXPECT_EQ(snapshotPath.substr(snapshotPath.size() - 10), ".temp.html");
  std::string snapshot = ReadFileBytes(snapshotPath);
  stop = true;
  writer.join();
  std::string file = Finish(std::move(log));
  EXPECT_GT(snapshot.size(), Header().size());
  EXPECT_EQ(file.compare(0, snapshot.size(), snapshot), 0);
  EXPECT_EQ(file.compare(0, read.size(), read), 0);

  fs::create_directory(m_home / "Output" / "SendrixLog_folder.temp.html");
  std::ofstream(m_home / "Output" / "Other.temp.html") << "x";
  EXPECT_EQ(CDataLog::DeleteSnapshots(), 1);
  EXPECT_FALSE(fs::exists(snapshotPath));
  EXPECT_TRUE(fs::exists(m_home / "Output" / "SendrixLog_folder.temp.html"));
  EXPECT_TRUE(fs::exists(m_home / "Output" / "Other.temp.html"));
}

// Several threads log through one holder while the main thread turns logging
// off: no call touches a destroyed log, each thread's lines are in order,
// and the file is complete with its last line and footer.
TEST_F(DataLogTest, TurningLoggingOffWhileThreadsLog) {
  m_holder.Reset(std::make_shared<CDataLog>("os", m_clock));
  std::string name = m_holder.Get()->FileName();
  constexpr int kThreads = 4;
  constexpr int kLines = 3000;
  std::atomic<int> started{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t, &started] {
      ++started;
      for (int i = 0; i < kLines; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "T%d %d\n", t, i);
        if (m_holder)
          m_holder->Log(text, text, 4);
      }
    });
  }
  while (started < kThreads)
    std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  m_holder.Reset(nullptr);
  EXPECT_FALSE(m_holder);
  EXPECT_EQ(m_holder->Log("ignored"), 1);
  for (auto& th : threads)
    th.join();

  std::string file = ReadFileBytes(name);
  ASSERT_GE(file.size(), kFooter.size());
  EXPECT_EQ(file.substr(file.size() - kFooter.size()), kFooter);
  std::string stop = ": Stop Log Recording.\n</h3>" + kFooter;
  EXPECT_EQ(file.substr(file.size() - stop.size()), stop);
  for (int t = 0; t < kThreads; ++t) {
    int next = 0;
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, ": T%d ", t);
    for (size_t pos = 0; (pos = file.find(prefix, pos)) != std::string::npos; ++pos) {
      EXPECT_EQ(std::atoi(file.c_str() + pos + 5), next) << "thread " << t;
      ++next;
    }
  }
}

}  // namespace
