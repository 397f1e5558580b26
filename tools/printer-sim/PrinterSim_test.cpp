#include "PrinterSim.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>

#include "Crc16.h"
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

// "IP=" frames built byte by byte (GCC 12 misjudges vector::insert of short
// vectors at -O2 and warns of an overrun that cannot happen).
Bytes Join(const std::string& head, const Bytes& a, const Bytes& b = {}) {
  Bytes joined(head.begin(), head.end());
  for (uint8_t x : a) {
    joined.push_back(x);
  }
  for (uint8_t x : b) {
    joined.push_back(x);
  }
  return joined;
}

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

TEST_F(PrinterSimTest, FirmwareDownloadOverTcpWaitsTheEraseTime) {
  options.flash.dwEraseMs = 150;
  options.flash.bySizeCode = 1;
  StartSim();
  const int fd = Connect(sim->GetMainPort());
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(simtest::WriteAll(fd, {0x1B, 0x5B, 0x7D, 0x1D, 0x01}));
  EXPECT_EQ(simtest::ReadSome(fd, 1, 2000), Bytes{0x01});
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(simtest::WriteAll(fd, {0x1D, 0x0E}));
  EXPECT_EQ(simtest::ReadSome(fd, 1, 3000), Bytes{0x06});
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));

  Bytes image(65536 + 1024);
  for (size_t i = 0; i < image.size(); ++i) {
    image[i] = static_cast<uint8_t>(i ^ (i >> 9));
  }
  for (uint8_t block = 0; block < 2; ++block) {
    ASSERT_TRUE(simtest::WriteAll(fd, {0x1D, 0x02, block}));
    EXPECT_EQ(simtest::ReadSome(fd, 1, 2000), Bytes{0x06});
    const size_t begin = block * 65536u;
    for (size_t a = 0; begin + a < std::min(image.size(), begin + 65536); a += 32768) {
      const size_t l = std::min<size_t>(32768, image.size() - begin - a);
      Bytes frame(6 + l);
      frame[0] = 0x1D;
      frame[1] = 0x11;
      frame[2] = static_cast<uint8_t>(a);
      frame[3] = static_cast<uint8_t>(a >> 8);
      frame[4] = static_cast<uint8_t>(l);
      frame[5] = static_cast<uint8_t>(l >> 8);
      std::copy_n(image.begin() + static_cast<long>(begin + a), l, frame.begin() + 6);
      ASSERT_TRUE(simtest::WriteAll(fd, frame));
      EXPECT_EQ(simtest::ReadSome(fd, 1, 2000), Bytes{0x06});
    }
  }
  ASSERT_TRUE(simtest::WriteAll(fd, {0x1D, 0x06, 0x1D, 0x0F, 0x1D, 0xFF}));
  const uint16_t crc = Crc16CcittFalse(0xFFFF, image.data(), image.size());
  EXPECT_EQ(simtest::ReadSome(fd, 4, 2000),
            (Bytes{0x06, 0x06, static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8)}));
  ASSERT_TRUE(WaitFor([](const SIM_COUNTERS& c) { return !c.bDownloadMode; }));
  EXPECT_EQ(sim->GetFlashImage(), image);
  char crcText[8];
  std::snprintf(crcText, sizeof crcText, "%04X", crc);
  sim->Stop();
  EXPECT_NE(sim->GetSummaryLine().find(std::string("flash_blocks=2 crc=") + crcText),
            std::string::npos);
}

TEST_F(PrinterSimTest, PseudoTerminalLinkCarriesDataAndReplies) {
  const std::string dir = simtest::TempDir();
  options.bTcp = false;
  options.strPtyLink = dir + "/ttySIM";
  options.bEcho = true;
  StartSim();
  EXPECT_EQ(sim->GetReadyLine(), "ready pty=" + options.strPtyLink);
  const int fd = open(options.strPtyLink.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  fds.push_back(fd);
  const Bytes data = {'\n', 0x11, 0x13, 0x7F, 0x10, 0x04, 0x02, '\r'};
  ASSERT_TRUE(simtest::WriteAll(fd, data));
  Bytes expected = {'\n', 0x11, 0x13, 0x7F, 0x10, 0x04, 0x12, 0x02, '\r'};
  EXPECT_EQ(simtest::ReadSome(fd, expected.size(), 2000), expected);
  ASSERT_TRUE(WaitFor([&](const SIM_COUNTERS& c) { return c.qwPrintBytes == data.size(); }));
  sim->Send({0xAA, 0x55});
  EXPECT_EQ(simtest::ReadSome(fd, 2, 2000), (Bytes{0xAA, 0x55}));
  sim->Stop();
  struct stat st {};
  EXPECT_NE(lstat(options.strPtyLink.c_str(), &st), 0);  // the link is gone
  rmdir(dir.c_str());
}

TEST_F(PrinterSimTest, DiscoveryAndSetupFramesOverUdp) {
  options.nUdpPort = 0;
  options.strName = "Foo";
  options.strMac = "02-11-22-33-44-55";
  StartSim();
  EXPECT_NE(sim->GetReadyLine().find(" udp=" + std::to_string(sim->GetUdpPort())),
            std::string::npos);
  const auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
  const auto str = [](const Bytes& b) { return std::string(b.begin(), b.end()); };
  EXPECT_EQ(str(simtest::UdpExchange(sim->GetUdpPort(), text("IP=FIND"))),
            "PRINTSERVER\t127.0.0.1\t02-11-22-33-44-55\tFoo\t");
  const Bytes mac = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
  const Bytes chno = Join("IP=CHNO", mac, text("Bar       "));
  EXPECT_EQ(simtest::UdpExchange(sim->GetUdpPort(), chno), Join("IP=OKCHNO", mac));
  EXPECT_EQ(str(simtest::UdpExchange(sim->GetUdpPort(), text("IP=FIND"))),
            "PRINTSERVER\t127.0.0.1\t02-11-22-33-44-55\tBar\t");

  const int fd = Connect(sim->GetMainPort());
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(WaitFor([](const SIM_COUNTERS& c) { return c.nMainConnections == 1; }));
  CSimFaults faults;
  faults.m_bNoSetupAck = true;
  sim->SetFaults(faults);
  const Bytes rest = Join("IP=REST", mac);
  EXPECT_TRUE(simtest::UdpExchange(sim->GetUdpPort(), rest, 300).empty());
  EXPECT_TRUE(simtest::WaitForClose(fd, 2000));
  EXPECT_EQ(sim->GetCounters().qwSetupFrames, 2u);
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

TEST_F(PrinterSimTest, UsmMessagesEchoAndStream) {
  const std::string dir = simtest::TempDir();
  const std::string file = dir + "/stream.bin";
  Bytes content(300000);
  for (size_t i = 0; i < content.size(); ++i) {
    content[i] = static_cast<uint8_t>(i * 31 + 7);
  }
  FILE* f = std::fopen(file.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(content.data(), 1, content.size(), f);
  std::fclose(f);
  options.dwUsmEveryMs = 20;
  options.strStreamFile = file;
  StartSim();
  const int usm = Connect(sim->GetUsmPort());
  ASSERT_GE(usm, 0);
  EXPECT_EQ(simtest::ReadSome(usm, 8, 3000), (Bytes{0x14, 0, 0, 0x0F, 0x14, 0, 0, 0x0F}));
  const int main = Connect(sim->GetMainPort());
  ASSERT_GE(main, 0);
  EXPECT_EQ(simtest::ReadSome(main, content.size(), 5000), content);
  sim->SendUsm({0xEE});
  bool seen = false;
  for (int i = 0; i < 50 && !seen; ++i) {
    const Bytes b = simtest::ReadSome(usm, 1, 100);
    seen = !b.empty() && b[0] == 0xEE;
  }
  EXPECT_TRUE(seen);
  sim->Stop();
  std::remove(file.c_str());
  rmdir(dir.c_str());
}

TEST_F(PrinterSimTest, LineStatusHook) {
  StartSim();
  std::atomic<uint32_t> seen{0xFFFFFFFF};
  sim->SetLineStatus(0x30);
  sim->SetLineStatusHook([&](uint32_t bits) { seen = bits; });
  EXPECT_EQ(seen.load(), 0x30u);  // told at once
  sim->SetLineStatus(0x1B0);
  EXPECT_EQ(seen.load(), 0x1B0u);
  EXPECT_EQ(sim->GetLineStatus(), 0x1B0u);
}
