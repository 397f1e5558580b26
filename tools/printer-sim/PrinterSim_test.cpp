#include "PrinterSim.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "Sha256.h"
#include "SimTestClient.h"

using simtest::Bytes;

namespace {

class PrinterSimTest : public ::testing::Test {
 protected:
  PrinterSimTest() {
    options.nMainPort = 0;
    options.nRtPort = 0;
    options.nUsmPort = 0;
    options.flash.dwEraseMs = 0;
  }
  ~PrinterSimTest() override {
    for (int fd : fds) {
      close(fd);
    }
  }

  void StartSim() {
    sim = std::make_unique<CPrinterSim>(options);
    std::string error;
    ASSERT_TRUE(sim->Start(error)) << error;
  }
  int Connect(int port) {
    const int fd = simtest::ConnectTcp(port);
    if (fd >= 0) {
      fds.push_back(fd);
    }
    return fd;
  }
  bool WaitFor(const std::function<bool(const SIM_COUNTERS&)>& done) {
    return sim->WaitFor(done, 5000);
  }

  SIM_OPTIONS options;
  std::unique_ptr<CPrinterSim> sim;
  std::vector<int> fds;
};

std::string Sha(const Bytes& data) {
  CSha256 sha;
  sha.Update(data.data(), data.size());
  return sha.HexDigest();
}

}  // namespace

TEST_F(PrinterSimTest, TcpPrintDataStatusRepliesAndSummary) {
  StartSim();
  EXPECT_EQ(sim->GetReadyLine(), "ready main=" + std::to_string(sim->GetMainPort()) +
                                     " rt=" + std::to_string(sim->GetRtPort()) +
                                     " usm=" + std::to_string(sim->GetUsmPort()));
  const int main = Connect(sim->GetMainPort());
  const int rt = Connect(sim->GetRtPort());
  ASSERT_GE(main, 0);
  ASSERT_GE(rt, 0);
  ASSERT_TRUE(WaitFor(
      [](const SIM_COUNTERS& c) { return c.nMainConnections == 1 && c.nRtConnections == 1; }));
  const Bytes data = {'H', 'i', 0x10, 0x04, 0x01, '\n'};
  ASSERT_TRUE(simtest::WriteAll(main, data));
  EXPECT_EQ(simtest::ReadSome(main, 1, 2000), Bytes{0x16});
  // A status request on the real-time port is answered where Sendrix reads.
  ASSERT_TRUE(simtest::WriteAll(rt, {0x10, 0x04, 0x03}));
  EXPECT_EQ(simtest::ReadSome(main, 1, 2000), Bytes{0x12});
  ASSERT_TRUE(WaitFor([](const SIM_COUNTERS& c) { return c.qwPrintBytes == 9; }));
  sim->Stop();
  Bytes all = data;
  all.insert(all.end(), {0x10, 0x04, 0x03});
  EXPECT_EQ(sim->GetSummaryLine(), "summary bytes=9 sha256=" + Sha(all) +
                                       " frames_ok=0 frames_bad=0 flash_blocks=0 crc=FFFF");
}

TEST_F(PrinterSimTest, DropAfterRefuseAndThrottleFaults) {
  std::string error;
  ASSERT_TRUE(options.faults.Add("drop-after=100", error));
  StartSim();
  int fd = Connect(sim->GetMainPort());
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(simtest::WriteAll(fd, Bytes(150, 'a')));
  EXPECT_TRUE(simtest::WaitForClose(fd, 2000));
  EXPECT_EQ(sim->GetCounters().qwPrintBytes, 100u);
  EXPECT_EQ(sim->GetFaults().m_qwDropAfter, 0u);  // once only

  // Refused while the fault is on (the port stays bound), taken again after.
  CSimFaults faults;
  faults.m_bRefuse = true;
  sim->SetFaults(faults);
  ASSERT_TRUE(WaitFor([](const SIM_COUNTERS&) { return true; }));
  bool refused = false;
  for (int attempt = 0; attempt < 50 && !refused; ++attempt) {
    const int probe = simtest::ConnectTcp(sim->GetMainPort(), 500);
    refused = probe < 0;
    if (probe >= 0) {
      close(probe);
      usleep(20000);
    }
  }
  EXPECT_TRUE(refused);
  faults.m_bRefuse = false;
  faults.m_dwThrottle = 10000;
  sim->SetFaults(faults);
  fd = -1;
  for (int attempt = 0; attempt < 50 && fd < 0; ++attempt) {
    fd = Connect(sim->GetMainPort());
    if (fd < 0) {
      usleep(20000);
    }
  }
  ASSERT_GE(fd, 0);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(simtest::WriteAll(fd, Bytes(3000, 'b')));
  ASSERT_TRUE(WaitFor([](const SIM_COUNTERS& c) { return c.qwPrintBytes == 3100; }));
  // 3000 bytes at 10000 bytes/s, less the 500-byte burst allowance.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));

  // Switched on for a connection already past the mark: closed at its next byte.
  faults.m_dwThrottle = 0;
  faults.m_qwDropAfter = 10;
  sim->SetFaults(faults);
  ASSERT_TRUE(simtest::WriteAll(fd, {'c'}));
  EXPECT_TRUE(simtest::WaitForClose(fd, 2000));
  EXPECT_EQ(sim->GetCounters().qwPrintBytes, 3100u);
  EXPECT_EQ(sim->GetCounters().qwDrops, 2u);
}
