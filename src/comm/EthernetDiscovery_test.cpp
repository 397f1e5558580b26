#include "comm/EthernetDiscovery.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "comm/Cablox.h"
#include "platform/MessageQueue.h"

namespace {

// A print server on loopback: answers "IP=FIND" with the prepared replies and
// acknowledges frames (optionally with a wrong MAC, or not at all).
class Responder {
 public:
  enum class Ack { Right, WrongMac, None };

  Responder() {
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(0x7F000001);
    bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
    setenv("SENDRIX_DISCOVERY_ADDR", "127.0.0.1", 1);
    setenv("SENDRIX_DISCOVERY_PORT", std::to_string(ntohs(a.sin_port)).c_str(), 1);
    m_thread = std::thread([this] { Run(); });
  }
  ~Responder() {
    m_stop = true;
    m_thread.join();
    close(m_fd);
  }
  void SetReplies(std::vector<std::string> replies) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_replies = std::move(replies);
  }
  void SetAck(Ack ack) { m_ack = ack; }
  std::vector<std::string> Received() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_received;
  }

 private:
  void Run() {
    for (int i = 0; i < 3000 && !m_stop; ++i) {  // at most 30 s
      struct pollfd p = {m_fd, POLLIN, 0};
      if (poll(&p, 1, 10) <= 0)
        continue;
      char buf[512];
      sockaddr_in from{};
      socklen_t len = sizeof from;
      ssize_t n = recvfrom(m_fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
      if (n <= 0)
        continue;
      std::string got(buf, static_cast<size_t>(n));
      std::vector<std::string> out;
      {
        std::lock_guard<std::mutex> lock(m_lock);
        m_received.push_back(got);
        if (got == "IP=FIND")
          out = m_replies;
      }
      if (got != "IP=FIND" && n >= 13 && m_ack != Ack::None) {
        std::string ack = "IP=OK" + got.substr(3, 4) + got.substr(7, 6);
        if (m_ack == Ack::WrongMac)
          ack[14] ^= 1;
        out.push_back(ack);
      }
      for (const std::string& r : out) {
        sendto(m_fd, r.data(), r.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
      }
    }
  }

  int m_fd = -1;
  std::atomic<bool> m_stop{false};
  std::atomic<Ack> m_ack{Ack::Right};
  std::mutex m_lock;
  std::vector<std::string> m_replies;
  std::vector<std::string> m_received;
  std::thread m_thread;
};

TEST(EthernetDiscoveryTest, RecordsAreCheckedSoNoFieldOverruns) {
  char record[128];
  const std::string good = "PRINTSERVER\t10.0.0.9\t02-11-22-33-44-55\tBar\tv2.1";
  ASSERT_TRUE(CEthernetDiscovery::ParseRecord(good.data(), good.size(), record));
  EXPECT_EQ(std::string(record), good);
  const std::string noRest = "PS\t10.0.0.9\t02-11-22-33-44-55\tBar";
  EXPECT_TRUE(CEthernetDiscovery::ParseRecord(noRest.data(), noRest.size(), record));
  const std::string field29 = "PS\t10.0.0.9\t02-11-22-33-44-55\t" + std::string(29, 'n');
  EXPECT_TRUE(CEthernetDiscovery::ParseRecord(field29.data(), field29.size(), record));

  const std::string bad[] = {
      "PS\t10.0.0.9\t02-11-22-33-44-55",                                 // a tab missing
      "PS\t\t02-11-22-33-44-55\tBar",                                    // no address
      "PS\t10.0.0.9\t02-11-22-33-44-55\t" + std::string(30, 'n'),        // name too long
      "PS\t" + std::string(30, '1') + "\tmac\tname",                     // address too long
      "PS\t10.0.0.9\t02-11-22-33-44-55\tBar\t" + std::string(100, 'x'),  // over 127 bytes
      std::string("PS\t10.0.0.9\t02\0-11\tBar", 22),                     // NUL inside
  };
  for (const std::string& b : bad) {
    EXPECT_FALSE(CEthernetDiscovery::ParseRecord(b.data(), b.size(), record)) << b;
  }
}

TEST(EthernetDiscoveryTest, DiscoveryThroughTheLibraryFillsTheTable) {
  Responder responder;
  const std::string a = "PRINTSERVER\t10.0.0.9\t02-11-22-33-44-55\tAlpha\tx";
  const std::string b = "PRINTSERVER\t10.0.0.10\t02-11-22-33-44-56\tBeta";
  responder.SetReplies({a, "garbage without tabs", a, b,
                        "PS\t10.0.0.11\t02-11-22-33-44-57\t" + std::string(40, 'L')});
  CMessageQueue owner;
  Comm_CloseCleanuo();
  ASSERT_NE(Comm_OpenSetup(&owner, COMM_TYPE_TCPIP), 0);
  static char table[255][128];
  std::memset(table, 0x7F, sizeof table);
  int usm = 0, rt = 0, count = 0;
  ASSERT_NE(Comm_GetPortParams(usm, rt, nullptr, count, table), 0);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(std::string(table[0]), a);
  EXPECT_EQ(std::string(table[1]), b);
  EXPECT_EQ(static_cast<unsigned char>(table[2][0]), 0x7Fu);  // untouched beyond the count
  EXPECT_EQ(responder.Received().at(0), "IP=FIND");
  EXPECT_EQ(Comm_GetPortParams(usm, rt, "COM", count, table), 0);  // no serial list here
  Comm_CloseCleanuo();
}

TEST(EthernetDiscoveryTest, FramesGoOutWholeAndNeedTheMatchingAck) {
  Responder responder;
  const char chip[18] = {'I',  'P',  '=',  'C',  'H', 'I', 'P', 2, 0x11,
                         0x22, 0x33, 0x44, 0x55, 10,  0,   0,   5, 0};
  const char chno[] =
      "IP=CHNO\x02\x11\x22\x33\x44\x55"
      "AB        ";
  const char rest[14] = {'I', 'P', '=', 'R', 'E', 'S', 'T', 2, 0x11, 0x22, 0x33, 0x44, 0, 0};
  EXPECT_EQ(CEthernetDiscovery::SendFrame(nullptr, chip), 1);
  EXPECT_EQ(CEthernetDiscovery::SendFrame(nullptr, chno), 1);
  EXPECT_EQ(CEthernetDiscovery::SendFrame(nullptr, rest), 1);
  EXPECT_EQ(CEthernetDiscovery::SendFrame(nullptr, "IP=XXXX\x01\x02\x03\x04\x05\x06"), 0);
  std::vector<std::string> got = responder.Received();
  ASSERT_EQ(got.size(), 3u);                 // the unknown command was not sent
  EXPECT_EQ(got[0], std::string(chip, 17));  // zero bytes inside are kept
  EXPECT_EQ(got[1], std::string(chno, 23));
  EXPECT_EQ(got[2], std::string(rest, 13));

  responder.SetAck(Responder::Ack::WrongMac);
  EXPECT_EQ(CEthernetDiscovery::SendFrame(nullptr, rest), 0);
  responder.SetAck(Responder::Ack::None);
  EXPECT_EQ(CEthernetDiscovery::SendFrame(nullptr, rest), 0);
}

}  // namespace
