// The program as scripts use it: start it, read its ready line, send a file
// with socat, stop it by pid, check the summary.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "Sha256.h"
#include "SimTestClient.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// A child process with its stdout on a pipe; ended by pid when the test ends.
class CChild {
 public:
  bool Start(const std::vector<std::string>& args) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
      return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<char*> argv;
    for (const std::string& arg : args) {
      argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const int rc = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    m_fd = out[0];
    return rc == 0;
  }
  ~CChild() {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
    if (m_fd >= 0) {
      close(m_fd);
    }
  }
  // One line of the child's stdout, or "" after the time-out.
  std::string ReadLine(int timeoutMs) {
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const size_t newline = m_buffer.find('\n');
      if (newline != std::string::npos) {
        std::string line = m_buffer.substr(0, newline);
        m_buffer.erase(0, newline + 1);
        return line;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
      pollfd p{m_fd, POLLIN, 0};
      if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) {
        return "";
      }
      char chunk[512];
      const ssize_t n = read(m_fd, chunk, sizeof chunk);
      if (n <= 0) {
        return "";
      }
      m_buffer.append(chunk, static_cast<size_t>(n));
    }
  }
  // Exit status, or -1 if the child did not end within the time-out.
  int Wait(int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
      int status = 0;
      if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      usleep(10000);
    }
    return -1;
  }
  pid_t Pid() const { return m_pid; }

 private:
  pid_t m_pid = -1;
  int m_fd = -1;
  std::string m_buffer;
};

int FieldOf(const std::string& line, const std::string& key) {
  const size_t at = line.find(" " + key + "=");
  return at == std::string::npos ? -1 : std::atoi(line.c_str() + at + key.size() + 2);
}

}  // namespace

TEST(SimProgramTest, SocatFileArrivesWithMatchingSummary) {
  const std::string dir = simtest::TempDir();
  const std::string file = dir + "/print.bin";
  std::vector<uint8_t> content(1 << 20);
  uint32_t x = 12345;
  for (uint8_t& b : content) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 16);
  }
  FILE* f = std::fopen(file.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(content.data(), 1, content.size(), f);
  std::fclose(f);
  CSha256 sha;
  sha.Update(content.data(), content.size());

  CChild sim;
  ASSERT_TRUE(sim.Start({SIM_PROGRAM_PATH, "--main-port", "0", "--rt-port", "0", "--usm-port", "0",
                         "--no-firmware", "--capture", dir + "/capture.bin"}));
  const std::string ready = sim.ReadLine(10000);
  ASSERT_EQ(ready.rfind("ready main=", 0), 0u) << ready;
  const int port = FieldOf(ready, "main");
  ASSERT_GT(port, 0);
  EXPECT_GT(FieldOf(ready, "rt"), 0);
  EXPECT_GT(FieldOf(ready, "usm"), 0);

  // A status request first, on its own connection: answered means handled,
  // so its bytes come before the file's in the printer's data.
  const int probe = simtest::ConnectTcp(port);
  ASSERT_GE(probe, 0);
  ASSERT_TRUE(simtest::WriteAll(probe, {0x10, 0x04, 0x01}));
  EXPECT_EQ(simtest::ReadSome(probe, 1, 5000), std::vector<uint8_t>{0x16});
  close(probe);
  const std::string command = "timeout 20 socat -u FILE:" + file +
                              " TCP:127.0.0.1:" + std::to_string(port) + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);

  ASSERT_EQ(kill(sim.Pid(), SIGTERM), 0);
  const std::string summary = sim.ReadLine(10000);
  EXPECT_EQ(sim.Wait(10000), 0);
  // The probe's three bytes were print data too.
  content.insert(content.begin(), {0x10, 0x04, 0x01});
  CSha256 all;
  all.Update(content.data(), content.size());
  EXPECT_EQ(summary, "summary bytes=" + std::to_string(content.size()) + " sha256=" +
                         all.HexDigest() + " frames_ok=0 frames_bad=0 flash_blocks=0 crc=FFFF");
  struct stat st {};
  ASSERT_EQ(stat((dir + "/capture.bin").c_str(), &st), 0);
  EXPECT_EQ(static_cast<size_t>(st.st_size), content.size());
  std::remove(file.c_str());
  std::remove((dir + "/capture.bin").c_str());
  rmdir(dir.c_str());
}

TEST(SimProgramTest, HelpBadOptionsAndExitAfter) {
  {
    CChild help;
    ASSERT_TRUE(help.Start({SIM_PROGRAM_PATH, "--help"}));
    EXPECT_EQ(help.ReadLine(5000).rfind("Usage: sendrix-printer-sim", 0), 0u);
    EXPECT_EQ(help.Wait(5000), 0);
  }
  {
    CChild bad;
    ASSERT_TRUE(bad.Start({SIM_PROGRAM_PATH, "--fault", "explode"}));
    EXPECT_EQ(bad.Wait(5000), 2);
  }
  const std::string dir = simtest::TempDir();
  CChild timed;
  ASSERT_TRUE(timed.Start({SIM_PROGRAM_PATH, "--no-tcp", "--udp-port", "0", "--pty", dir + "/tty0",
                           "--exit-after-s", "0.3"}));
  const std::string ready = timed.ReadLine(5000);
  EXPECT_GT(FieldOf(ready, "udp"), 0) << ready;
  EXPECT_NE(ready.find(" pty=" + dir + "/tty0"), std::string::npos) << ready;
  EXPECT_EQ(ready.find("main="), std::string::npos);
  EXPECT_EQ(timed.ReadLine(5000).rfind("summary bytes=0 sha256=e3b0c442", 0), 0u);
  EXPECT_EQ(timed.Wait(5000), 0);
  rmdir(dir.c_str());
}
