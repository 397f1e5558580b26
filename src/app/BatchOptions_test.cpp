#include "app/BatchOptions.h"

#include <gtest/gtest.h>

#include <vector>

#include "comm/Cablox.h"

namespace {

int Parse(std::vector<const char*> args, BatchOptions* out, std::string* error) {
  args.insert(args.begin(), "sendrix-cli");
  return ParseBatchOptions(static_cast<int>(args.size()), args.data(), out, error);
}

TEST(BatchOptionsTest, TcpAddressAndPortsInHostOrder) {
  BatchOptions o;
  std::string error;
  ASSERT_EQ(Parse({"--tcp", "192.168.1.2:9200:0:9300", "--file", "a.prn", "--repeat", "-1",
                   "--delay", "250", "--packet", "--realtime"},
                  &o, &error),
            1)
      << error;
  EXPECT_EQ(o.nInterface, COMM_TYPE_TCPIP);
  EXPECT_EQ(o.dwIpAddress, 0xC0A80102u);
  EXPECT_EQ(o.nMainPort, 9200);
  EXPECT_EQ(o.nRealTimePort, 0);
  EXPECT_EQ(o.nUsmPort, 9300);
  EXPECT_EQ(o.nOutputPort, 1);
  EXPECT_EQ(o.job, BatchJob::kFile);
  EXPECT_EQ(o.nRepeatCount, -1);
  EXPECT_EQ(o.nDelayMs, 250);
  EXPECT_TRUE(o.bPacketMode);
  ASSERT_EQ(Parse({"--tcp", "127.0.0.1", "--listen", "10"}, &o, &error), 1);
  EXPECT_EQ(o.nMainPort, 9100);  // defaults kept without ports
  EXPECT_EQ(o.nUsmPort, 9110);
}

TEST(BatchOptionsTest, SerialSettingsBecomeListIndices) {
  BatchOptions o;
  std::string error;
  ASSERT_EQ(Parse({"--serial", "/dev/ttyUSB0", "--baud", "9600", "--parity", "M", "--flow", "X",
                   "--data-bits", "7", "--stop-bits", "1.5", "--hex", "1B 40"},
                  &o, &error),
            1)
      << error;
  EXPECT_EQ(o.nInterface, COMM_TYPE_SERIAL);
  EXPECT_EQ(o.strSerialPort, "/dev/ttyUSB0");
  EXPECT_EQ(o.nBaudIndex, 4);
  EXPECT_EQ(o.nParityIndex, 3);
  EXPECT_EQ(o.nFlowIndex, 4);
  EXPECT_EQ(o.nDataBitsIndex, 2);
  EXPECT_EQ(o.nStopBitsIndex, 1);
  EXPECT_EQ(o.job, BatchJob::kHex);
  EXPECT_EQ(o.strArgument, "1B 40");
}

TEST(BatchOptionsTest, BadCommandLinesAreRefusedWithAReason) {
  BatchOptions o;
  std::string error;
  const std::vector<std::vector<const char*>> bad = {
      {"--file", "x"},                                      // no connection
      {"--tcp", "127.0.0.1"},                               // nothing to do
      {"--tcp", "999.1.1.1", "--file", "x"},                // unreadable address
      {"--tcp", "127.0.0.1:70000", "--file", "x"},          // port out of range
      {"--tcp", "127.0.0.1", "--file", "x", "--hex", "1"},  // two jobs
      {"--serial", "/dev/ttyS0", "--baud", "12345", "--file", "x"},
      {"--serial", "/dev/ttyS0", "--parity", "Q", "--file", "x"},
      {"--tcp", "127.0.0.1", "--file"},  // missing value
      {"--bogus", "1"},
  };
  for (const auto& args : bad) {
    error.clear();
    EXPECT_EQ(Parse(args, &o, &error), 0) << args[0];
    EXPECT_FALSE(error.empty());
  }
  EXPECT_EQ(Parse({"--help"}, &o, &error), 1);
  EXPECT_TRUE(o.bHelp);
}

}  // namespace
