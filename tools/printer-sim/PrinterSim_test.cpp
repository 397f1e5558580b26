// The simulator's connection faults on its real sockets over loopback.
#include "PrinterSim.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>

#include "SimTestClient.h"

using simtest::Bytes;

TEST(PrinterSimTest, DropAfterRefuseAndThrottleFaults) {
  SIM_OPTIONS options;
  options.nMainPort = options.nRtPort = options.nUsmPort = 0;
  std::string error;
  ASSERT_TRUE(options.faults.Add("drop-after=100", error));
  CPrinterSim sim(options);
  ASSERT_TRUE(sim.Start(error)) << error;
  int fd = simtest::ConnectTcp(sim.GetMainPort());
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(simtest::WriteAll(fd, Bytes(150, 'a')));
  EXPECT_TRUE(simtest::WaitForClose(fd, 2000));
  close(fd);
  EXPECT_EQ(sim.GetCounters().qwPrintBytes, 100u);
  EXPECT_EQ(sim.GetFaults().m_qwDropAfter, 0u);  // once only

  // Refused while the fault is on (the port stays bound), taken again after.
  CSimFaults faults;
  faults.m_bRefuse = true;
  sim.SetFaults(faults);
  ASSERT_TRUE(sim.WaitFor([](const SIM_COUNTERS&) { return true; }, 5000));
  bool refused = false;
  for (int attempt = 0; attempt < 50 && !refused; ++attempt) {
    const int probe = simtest::ConnectTcp(sim.GetMainPort(), 500);
    refused = probe < 0;
    if (probe >= 0) {
      close(probe);
      usleep(20000);
    }
  }
  EXPECT_TRUE(refused);
  faults.m_bRefuse = false;
  faults.m_dwThrottle = 10000;
  sim.SetFaults(faults);
  fd = -1;
  for (int attempt = 0; attempt < 50 && fd < 0; ++attempt) {
    fd = simtest::ConnectTcp(sim.GetMainPort());
    if (fd < 0) {
      usleep(20000);
    }
  }
  ASSERT_GE(fd, 0);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(simtest::WriteAll(fd, Bytes(3000, 'b')));
  ASSERT_TRUE(sim.WaitFor([](const SIM_COUNTERS& c) { return c.qwPrintBytes == 3100; }, 5000));
  // 3000 bytes at 10000 bytes/s, less the 500-byte burst allowance.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));

  // Switched on for a connection already past the mark: closed at its next byte.
  faults.m_dwThrottle = 0;
  faults.m_qwDropAfter = 10;
  sim.SetFaults(faults);
  ASSERT_TRUE(simtest::WriteAll(fd, {'c'}));
  EXPECT_TRUE(simtest::WaitForClose(fd, 2000));
  close(fd);
  EXPECT_EQ(sim.GetCounters().qwPrintBytes, 3100u);
  EXPECT_EQ(sim.GetCounters().qwDrops, 2u);
}
