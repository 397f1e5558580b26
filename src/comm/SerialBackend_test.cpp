#include "comm/SerialBackend.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "comm/Cablox.h"
#include "comm/SerialPortList.h"
#include "platform/AppMessages.h"
#include "platform/LastError.h"
#include "platform/MessageQueue.h"
#include "testsupport/EngineTestSupport.h"
#include "testsupport/RecordingErrorSink.h"

namespace {

using SerialPortListTest = CEngineTest;  // for its temporary folder

TEST_F(SerialPortListTest, ListsRealPortsAndExtrasOrderedByTrailingNumber) {
  std::string sys = m_strHome + "/tty";
  mkdir(sys.c_str(), 0755);
  auto entry = [&](const std::string& name, const char* type) {
    mkdir((sys + "/" + name).c_str(), 0755);
    if (type != nullptr)
      std::ofstream(sys + "/" + name + "/type") << type << "\n";
  };
  entry("ttyS0", "4");
  entry("ttyS1", "0");  // no UART behind it
  entry("ttyS12", "4");
  entry("ttyUSB2", nullptr);
  entry("ttyACM0", nullptr);
  entry("rfcomm1", nullptr);
  entry("tty3", nullptr);
  entry("console", nullptr);
  std::string extra = sys + "/ttyS0:/nonexistent/pty9::" + sys + "/console";
  std::vector<std::string> ports = CSerialPortList::Enumerate(sys, extra.c_str());
  std::vector<std::string> want = {"/dev/ttyS0",   "/dev/ttyACM0", sys + "/ttyS0",  "/dev/rfcomm1",
                                   "/dev/ttyUSB2", "/dev/ttyS12",  sys + "/console"};
  EXPECT_EQ(ports, want);
  EXPECT_EQ(CSerialPortList::TrailingNumber("/dev/ttyUSB12"), 12);
  EXPECT_EQ(CSerialPortList::TrailingNumber("/dev/console"), -1);
}

class SerialBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[128] = {};
    ASSERT_EQ(openpty(&m_master, &m_slave, name, nullptr, nullptr), 0);
    m_path = name;
    // The backend opens the slave by its path; the test's own slave fd would
    // otherwise keep the pty alive after the backend closed it.
    close(m_slave);
    m_slave = -1;
    fcntl(m_master, F_SETFL, O_NONBLOCK);
    termios t{};
    tcgetattr(m_master, &t);
    cfmakeraw(&t);
    tcsetattr(m_master, TCSANOW, &t);
    m_tx.hEvent = &m_txEvent;
    m_rx.hEvent = &m_rxEvent;
    ASSERT_EQ(m_backend.Setup(&m_sink), 1);
  }
  void TearDown() override {
    m_backend.Cleanup();
    if (m_master >= 0)
      close(m_master);
  }
  int Connect(int baud = 4, int parity = 0, int flow = 0, int dataBits = 3, int stopBits = 0) {
    DWORD port = 0;
    return m_backend.UpdateConnection(0, port, m_path.data(), baud, parity, flow, dataBits,
                                      stopBits);
  }

  int m_master = -1, m_slave = -1;
  std::string m_path;
  CRecordingErrorSink m_sink;
  CSerialBackend m_backend;
  CEvent m_txEvent{true, false}, m_rxEvent{true, false};
  OVERLAPPED m_tx, m_rx;
};

TEST_F(SerialBackendTest, AppliesEverySettingTheListsOffer) {
  struct Case {
    int baud, parity, dataBits, stopBits, flow;
    speed_t speed;
    tcflag_t cflag, cmask;
    tcflag_t iflag;
  };
  const tcflag_t mask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
  const Case cases[] = {
      {0, 0, 3, 0, 0, B115200, CS8, mask, 0},
      {10, 1, 0, 1, 3, B110, CS5 | PARENB | PARODD | CSTOPB | CRTSCTS, mask, 0},
      {4, 2, 1, 2, 4, B9600, CS6 | PARENB | CSTOPB, mask, IXON | IXOFF},
      {9, 3, 2, 0, 1, B300, CS7 | PARENB | PARODD | CMSPAR | CRTSCTS, mask, 0},
      {5, 4, 3, 0, 2, B4800, CS8 | PARENB | CMSPAR, mask, 0},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Connect(c.baud, c.parity, c.flow, c.dataBits, c.stopBits), 1) << c.baud;
    termios t{};
    int fd = open(m_path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);  // root passes TIOCEXCL
    ASSERT_GE(fd, 0);
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    close(fd);
    EXPECT_EQ(cfgetospeed(&t), c.speed);
    // A pseudo-terminal keeps everything but the character framing, which it
    // forces to 8 bits without parity.
    const tcflag_t kept = c.cmask & ~(CSIZE | PARENB);
    EXPECT_EQ(t.c_cflag & kept, c.cflag & kept) << "baud index " << c.baud;
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), c.iflag);
  }
  DWORD port = 0;
  int bad = 11, z = 0, three = 3;
  EXPECT_EQ(m_backend.UpdateConnection(0, port, m_path.data(), bad, z, z, three, z), 0);
  ASSERT_FALSE(m_sink.Codes().empty());
  EXPECT_EQ(m_sink.Codes().back(), COMM_ERR_SETTINGS_REFUSED);
}

// Byte-exact transfers both ways over the serial backend: EngineEndToEnd's
// pseudo-terminal cases.
TEST_F(SerialBackendTest, BreakDownCompletesPendingOperationsWith995) {
  ASSERT_EQ(Connect(), 1);
  EXPECT_EQ(m_backend.IsConnectionValid(0, 3, 4, 0, 0, 3, 0), 0u);
  EXPECT_EQ(m_backend.IsConnectionValid(0, 3, 5, 0, 0, 3, 0), 1u);  // other baud
  BYTE buf[512];
  DWORD n = 0;
  ASSERT_EQ(m_backend.Read(COMM_CHANNEL_RX, buf, sizeof buf, &n, &m_rx), 0);
  std::vector<BYTE> big(1 << 20, 0x41);  // far more than the pty holds
  ASSERT_EQ(m_backend.Write(big.data(), big.size(), &n, &m_tx), 0);
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  EXPECT_EQ(m_backend.BreakDown(), 1);
  EXPECT_EQ(m_backend.IsConnected(), 0);
  EXPECT_FALSE(GetOverlappedResult(nullptr, &m_rx, &n, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  EXPECT_FALSE(GetOverlappedResult(nullptr, &m_tx, &n, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  EXPECT_EQ(m_backend.IsConnectionValid(0, 3, 4, 0, 0, 3, 0), 2u);
}

TEST_F(SerialBackendTest, SecondOpenerIsRefusedAndPtyHasNoStatusQuietly) {
  ASSERT_EQ(Connect(), 1);
  CRecordingErrorSink otherSink;
  CSerialBackend other;
  other.Setup(&otherSink);
  DWORD port = 0;
  int baud = 4, z = 0, data = 3;
  EXPECT_EQ(other.UpdateConnection(0, port, m_path.data(), baud, z, z, data, z), 0);
  ASSERT_EQ(otherSink.Codes().size(), 1u);
  EXPECT_EQ(otherSink.Codes()[0], COMM_ERR_PORT_BUSY);
  EXPECT_EQ(otherSink.Shown()[0].text1, m_path);
  // The lock's holder, as /proc shows it: here this very process.
  std::string self;
  std::getline(std::ifstream("/proc/self/comm"), self);
  EXPECT_EQ(otherSink.Shown()[0].text2, self + " (process " + std::to_string(getpid()) + ")");
  other.Cleanup();

  BYTE status[512];
  DWORD len = 0, bits = 0;
  OVERLAPPED ov;
  EXPECT_EQ(m_backend.InitGetDeviceStatus(status, sizeof status, &len, ov), 0);
  EXPECT_EQ(m_backend.GetDeviceStatus(status, len, bits), 0);
  EXPECT_TRUE(m_sink.Codes().empty());

  // After the break-down a second program may open it.
  m_backend.BreakDown();
  EXPECT_EQ(other.UpdateConnection(0, port, m_path.data(), baud, z, z, data, z), 1);
  other.Cleanup();
}

TEST_F(SerialBackendTest, BadIndexAndVanishedPortAreReported) {
  DWORD port = 999;
  int baud = 4, z = 0, data = 3;
  EXPECT_EQ(m_backend.UpdateConnection(0, port, nullptr, baud, z, z, data, z), 0);
  ASSERT_EQ(m_sink.Codes().size(), 1u);
  EXPECT_EQ(m_sink.Codes()[0], COMM_ERR_INVALID_INDEX);

  ASSERT_EQ(Connect(), 1);
  close(m_master);  // the other end goes away: the port hangs up
  m_master = -1;
  EXPECT_EQ(m_backend.IsConnectionValid(0, 3, 4, 0, 0, 3, 0), 1u);
  BYTE buf[64];
  DWORD n = 0;
  if (m_backend.Read(COMM_CHANNEL_RX, buf, sizeof buf, &n, &m_rx) == 0 &&
      GetLastError() == ERROR_IO_PENDING) {
    ASSERT_EQ(WaitForSingleObject(&m_rxEvent, 5000), WAIT_OBJECT_0);
  }
  EXPECT_FALSE(GetOverlappedResult(nullptr, &m_rx, &n, FALSE));
}

}  // namespace

namespace {

// The whole path through the library: the port list from the environment, a
// name the caller cut to 11 characters, the exact name of a port that went
// away (which must never open its longer-named neighbour), the properties text.
TEST(SerialLibraryTest, CutNameOpensItsListedPortAndAGonePortOpensNoOther) {
  int master = -1, slave = -1, master1 = -1, slave1 = -1;
  char name[128] = {}, name1[128] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  ASSERT_EQ(openpty(&master1, &slave1, name1, nullptr, nullptr), 0);
  close(slave);
  close(slave1);
  // Short paths, so that 11 characters cut them short: "/tmp/sxNNNNN".
  char base[32];
  std::snprintf(base, sizeof base, "/tmp/sx%05d", static_cast<int>(getpid() % 100000));
  const std::string link = std::string(base) + "p10", gone = std::string(base) + "p1";
  unlink(link.c_str());
  unlink(gone.c_str());
  ASSERT_EQ(symlink(name, link.c_str()), 0);
  ASSERT_EQ(symlink(name1, gone.c_str()), 0);
  setenv("SENDRIX_EXTRA_SERIAL_PORTS", (gone + ":" + link).c_str(), 1);

  CMessageQueue owner;
  Comm_CloseCleanuo();
  ASSERT_NE(Comm_OpenSetup(&owner, COMM_TYPE_SERIAL), 0);
  static char table[50][128];
  int usm = 0, rt = 0, count = 0;
  auto indexOf = [&](const std::string& path) {
    EXPECT_NE(Comm_GetPortParams(usm, rt, "COM", count, table), 0);
    for (int i = 0; i < count; ++i) {
      if (path == table[i])
        return i;
    }
    return -1;
  };
  int index = indexOf(link);
  ASSERT_GE(index, 0);
  std::string cut = link.substr(0, CSerialBackend::kCutNameLength);  // also begins "…p1"
  DWORD port = static_cast<DWORD>(index);
  int baud = 4, parity = 0, flow = 3, data = 3, stop = 0;
  ASSERT_NE(Comm_UpdateConnection(0, port, cut.data(), baud, parity, flow, data, stop), 0);
  EXPECT_EQ(Comm_IsConnectionValid(port, 3, baud, parity, flow, data, stop), 0u);
  EXPECT_NE(Comm_IsPortAvailable(), 0);
  EXPECT_EQ(Comm_GethCommPortRXUsm(), nullptr);
  EXPECT_EQ(Comm_GetCommPacketSize(), 16384u);  // pty: no line speed to respect
  EXPECT_LE(Comm_GetCommPacketSize(), Comm_GetDownloadPacketSize());

  DWORD n = 0;
  ASSERT_NE(Comm_WritePort(Comm_GethCommPortTX(), "ping", 4, &n, Comm_GetOverlappedTX()), 0);
  char buf[16] = {};
  for (int i = 0; i < 1000 && read(master, buf, sizeof buf) <= 0; ++i)
    usleep(1000);
  EXPECT_STREQ(buf, "ping");

  static char props[8192];
  std::memset(props, 0, sizeof props);
  Comm_ShowPortProperties(props);
  std::string text = props;
  EXPECT_NE(text.find(link), std::string::npos);
  EXPECT_NE(text.find("9600 baud"), std::string::npos);
  EXPECT_NE(text.find("flow control CTS"), std::string::npos);
  EXPECT_EQ(owner.Count(WM_SHOW_ERROR), 0u);

  // The adapter of "…p1" is unplugged: asked for by its exact name (at the
  // index its neighbour now has), it fails as not present.
  unlink(gone.c_str());
  index = indexOf(link);
  port = static_cast<DWORD>(index);
  std::string exact = gone;
  EXPECT_EQ(Comm_UpdateConnection(0, port, exact.data(), baud, parity, flow, data, stop), 0);
  EXPECT_EQ(Comm_IsConnected(), 0);
  auto errors = owner.Filter(WM_SHOW_ERROR);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].wParam, static_cast<WPARAM>(COMM_ERR_NOT_PRESENT));
  Comm_CloseCleanuo();
  unsetenv("SENDRIX_EXTRA_SERIAL_PORTS");
  unlink(link.c_str());
  close(master);
  close(master1);
}

}  // namespace
