#include "SimCommandLine.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) {
    words.push_back(word);
  }
  return words;
}

}  // namespace

TEST(SimCommandLineTest, ParsesEveryOptionInBothForms) {
  SIM_COMMAND_LINE command;
  std::string error;
  std::vector<std::string> args = Words(
      "--main-port 0 --rt-port=9200 --usm-port 9300 --pty /tmp/x --udp-port 0 --name Foo "
      "--mac 02-11-22-33-44-55 --ip 10.0.0.5 --packet --echo --capture cap.bin --usm-every-ms 250 "
      "--stream=s.bin --usb-style --switch-reply 41 --flash-size-code 0x0F --erase-ms 0 "
      "--fault nak-data=3 --fault=refuse --exit-after-s 1.5 --no-firmware --state cover-open "
      "--state-at 900:online --state-at=300:paper-out,drawer-open --usm-bytes");
  args.push_back("14 01");
  ASSERT_TRUE(ParseSimCommandLine(args, command, error)) << error;
  const SIM_OPTIONS& o = command.options;
  EXPECT_EQ(o.nMainPort, 0);
  EXPECT_EQ(o.nRtPort, 9200);
  EXPECT_EQ(o.nUsmPort, 9300);
  EXPECT_EQ(o.strPtyLink, "/tmp/x");
  EXPECT_EQ(o.nUdpPort, 0);
  EXPECT_EQ(o.strName, "Foo");
  EXPECT_EQ(o.strMac, "02-11-22-33-44-55");
  EXPECT_EQ(o.strIp, "10.0.0.5");
  EXPECT_TRUE(o.bPacket && o.bEcho && o.flash.bUsbStyle && !o.bFirmware && o.bTcp);
  EXPECT_EQ(o.strCapture, "cap.bin");
  EXPECT_EQ(o.strStreamFile, "s.bin");
  EXPECT_EQ(o.dwUsmEveryMs, 250u);
  EXPECT_EQ(o.usmMessage, (std::vector<uint8_t>{0x14, 0x01}));
  EXPECT_EQ(o.flash.nSwitchReply, 0x41);
  EXPECT_EQ(o.flash.bySizeCode, 0x0F);
  EXPECT_EQ(o.flash.dwEraseMs, 0u);
  EXPECT_TRUE(o.faults.IsNak(FlashStep::Data, 3));
  EXPECT_TRUE(o.faults.m_bRefuse);
  EXPECT_DOUBLE_EQ(command.dExitAfterS, 1.5);
  EXPECT_EQ(o.state.StatusByte(2), 0x16);
  ASSERT_EQ(o.stateSteps.size(), 2u);
  EXPECT_EQ(o.stateSteps[1].dwAtMs, 300u);
  EXPECT_EQ(o.stateSteps[1].state.StatusByte(1), 0x1A);
  EXPECT_FALSE(command.bHelp);
}

TEST(SimCommandLineTest, BadArgumentsAreRefusedWithAReason) {
  for (const char* bad : {"--bogus", "--main-port", "--main-port 65536", "--mac 02-11",
                          "--ip 300.1.1.1", "--flash-size-code 256", "--fault boom",
                          "--switch-reply 4142", "--exit-after-s -1", "--echo=1", "--usm-bytes 1",
                          "--erase-ms x", "--state jammed", "--state-at 100", "--state-at x:online",
                          "--state-at 5:online,offline", "--state online,", "--state ,offline"}) {
    SIM_COMMAND_LINE parsed;
    std::string error;
    EXPECT_FALSE(ParseSimCommandLine(Words(bad), parsed, error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}
