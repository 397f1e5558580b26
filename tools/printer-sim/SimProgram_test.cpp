// The program as scripts use it: start it, read its ready line, send a file
// over loopback TCP, stop it by pid, check the summary. The simulator's
// faults run in PrinterSim_test, its protocol in PrinterCore_test.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Sha256.h"
#include "SimTestClient.h"

namespace {

// The program run through the shell with its stdout on a pipe. `timeout`
// bounds its life (so no read below can hang), passes the test's signal on
// (killing after 2 s more) and keeps the shell's pid, which the shell prints
// first: the pid the test signals.
class CChild {
 public:
  explicit CChild(const std::string& args) {
    const std::string command = "echo $$; exec timeout -k 2 20 " SIM_PROGRAM_PATH " " + args;
    m_pipe = popen(command.c_str(), "r");
    m_pid = std::atoi(ReadLine().c_str());
  }
  ~CChild() {
    if (m_pipe != nullptr) {
      Signal(SIGTERM);
      Wait();
    }
  }
  // One line of the program's stdout, "" at its end.
  std::string ReadLine() {
    char line[512];
    if (m_pipe == nullptr || fgets(line, sizeof line, m_pipe) == nullptr) {
      return "";
    }
    std::string text(line);
    if (!text.empty() && text.back() == '\n') {
      text.pop_back();
    }
    return text;
  }
  bool Signal(int signal) const { return m_pid > 0 && kill(m_pid, signal) == 0; }
  // The exit status once the program ended.
  int Wait() {
    const int status = pclose(m_pipe);
    m_pipe = nullptr;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  FILE* m_pipe = nullptr;
  pid_t m_pid = -1;
};

int FieldOf(const std::string& line, const std::string& key) {
  const size_t at = line.find(" " + key + "=");
  return at == std::string::npos ? -1 : std::atoi(line.c_str() + at + key.size() + 2);
}

}  // namespace

// Status requests on the main and the real-time port are answered on the
// main connection and count as print data, then a 1 MiB file arrives: the
// summary's hash and the capture cover every byte.
TEST(SimProgramTest, StatusRepliesThenAFileArriveWithMatchingSummaryAndCapture) {
  const std::string dir = simtest::TempDir();
  std::vector<uint8_t> content = {0x10, 0x04, 0x01, 0x10, 0x04, 0x03};
  content.resize(6 + (1 << 20));
  uint32_t x = 12345;
  for (size_t i = 6; i < content.size(); ++i) {
    x = x * 1103515245u + 12345u;
    content[i] = static_cast<uint8_t>(x >> 16);
  }
  CChild sim("--main-port 0 --rt-port 0 --usm-port 0 --no-firmware --capture " + dir +
             "/capture.bin");
  const std::string ready = sim.ReadLine();
  ASSERT_EQ(ready.rfind("ready main=", 0), 0u) << ready;
  EXPECT_GT(FieldOf(ready, "usm"), 0);
  const int fd = simtest::ConnectTcp(FieldOf(ready, "main"));
  const int rt = simtest::ConnectTcp(FieldOf(ready, "rt"));
  ASSERT_GE(fd, 0);
  ASSERT_GE(rt, 0);
  ASSERT_TRUE(simtest::WriteAll(fd, {content.begin(), content.begin() + 3}));
  EXPECT_EQ(simtest::ReadSome(fd, 1, 5000), std::vector<uint8_t>{0x16});
  ASSERT_TRUE(simtest::WriteAll(rt, {content.begin() + 3, content.begin() + 6}));
  EXPECT_EQ(simtest::ReadSome(fd, 1, 5000), std::vector<uint8_t>{0x12});
  ASSERT_TRUE(simtest::WriteAll(fd, {content.begin() + 6, content.end()}));
  close(fd);
  close(rt);
  // Everything was read before the stop: the program hashes what is waiting.
  ASSERT_TRUE(sim.Signal(SIGTERM));
  const std::string summary = sim.ReadLine();
  EXPECT_EQ(sim.Wait(), 0);
  CSha256 sha;
  sha.Update(content.data(), content.size());
  EXPECT_EQ(summary, "summary bytes=" + std::to_string(content.size()) + " sha256=" +
                         sha.HexDigest() + " frames_ok=0 frames_bad=0 flash_blocks=0 crc=FFFF");
  struct stat st {};
  ASSERT_EQ(stat((dir + "/capture.bin").c_str(), &st), 0);
  EXPECT_EQ(static_cast<size_t>(st.st_size), content.size());
  std::remove((dir + "/capture.bin").c_str());
  rmdir(dir.c_str());
}

// Without TCP, the ready line names only the UDP port and the link; the
// program ends by itself and takes its link away.
TEST(SimProgramTest, ExitAfterWithUdpAndPtyOnly) {
  const std::string dir = simtest::TempDir();
  CChild timed("--no-tcp --udp-port 0 --pty " + dir + "/tty0 --exit-after-s 0.3");
  const std::string ready = timed.ReadLine();
  EXPECT_GT(FieldOf(ready, "udp"), 0) << ready;
  EXPECT_NE(ready.find(" pty=" + dir + "/tty0"), std::string::npos) << ready;
  EXPECT_EQ(ready.find("main="), std::string::npos);
  EXPECT_EQ(timed.ReadLine().rfind("summary bytes=0 sha256=e3b0c442", 0), 0u);
  EXPECT_EQ(timed.Wait(), 0);
  struct stat st {};
  EXPECT_NE(lstat((dir + "/tty0").c_str(), &st), 0);  // the link is gone
  rmdir(dir.c_str());
}
