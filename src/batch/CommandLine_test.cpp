#include "batch/CommandLine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "testsupport/CodecTestSupport.h"
#include "testsupport/TestFiles.h"

namespace {

using F = CDialogFields;
using R = CBatchRun;

// Fields as the settings load might leave them: Ethernet selected.
F SavedFields() {
  F f;
  f.main.m_nInterface = 2;
  f.main.m_nStringFormat = 0;
  f.serial.m_nBaudIndex = 6;
  f.serial.m_nParityIndex = f.serial.m_nFlowIndex = 0;
  f.ethernet.m_nMainPort = 9100;
  f.ethernet.m_dwIpAddress = 0x7F000001;
  f.usb.m_nOutEndpoint = 0;
  f.ethernet.m_nOutputPort = 0;
  return f;
}

auto Tie(const F& f, const R& r) {
  return std::tie(f.main.m_strFileName, f.main.m_strDataString, f.main.m_nStringFormat,
                  f.main.m_bRepeat, f.main.m_nRepeatCount, f.main.m_nDelay, f.main.m_nInterface,
                  f.main.m_bPacketMode, f.serial.m_nPortIndex, f.serial.m_nBaudIndex,
                  f.serial.m_nParityIndex, f.serial.m_nFlowIndex, f.usb.m_nOutEndpoint,
                  f.ethernet.m_dwIpAddress, f.ethernet.m_nOutputPort, f.ethernet.m_nMainPort,
                  r.m_bAutoCloseWindow, r.m_bEnableRepeatControls, r.m_bCloseWindow,
                  r.m_strRxDataFileName, r.m_strExpectedReply, r.m_nReplyTimeoutMs, r.m_strJsonLog);
}

class CommandLineTest : public CodecTest {
 protected:
  int Parse(const std::vector<std::string>& tokens, F& f, R& run, std::string* printed = nullptr) {
    CCommandLine line(tokens);
    std::FILE* out = std::tmpfile();
    line.SetHelpOutput(out);
    line.SetPortLister([this] { return std::vector<std::string>{"/dev/ttyS0", m_port}; });
    const int mode = line.ParseCommandLine(f, run);
    if (printed != nullptr)
      *printed = ReadStream(out);
    std::fclose(out);
    return mode;
  }
  void SetUp() override {
    CodecTest::SetUp();
    g_pfnCommErrorGetText.store(&FakeErrorText);  // the unlisted path's box
    m_folder = MakeTestFolder("cmdline");
    m_port = m_folder + "/ttySIM0";
    WriteFileBytes(m_port, "");
    std::filesystem::create_symlink(m_port, m_folder + "/by-id");
  }
  void TearDown() override {
    std::filesystem::remove_all(m_folder);
    CodecTest::TearDown();
  }
  std::string m_folder, m_port;  // m_port: the list's second serial port
};

void CloseOnly(F&, R& r) {
  r.m_bCloseWindow = 1;
}

std::string BadAddress(const std::string& value) {
  return "Command line: invalid IP address (-A:" + value +
         "): give four numbers 0..255, as in 192.168.1.2.";
}

TEST_F(CommandLineTest, OptionsAppliedAsTheMarkersSay) {
  const std::string file = "/tmp/my receipt.prn";  // one argument, spaces and all
  struct Case {
    std::vector<std::string> tokens;
    int mode;
    std::vector<std::string> boxes;
    std::function<void(F&, R&)> expect;  // turns the saved fields into the expected ones
  };
  // clang-format off
  const std::vector<Case> cases = {
      {{"hello world", "-M:S", "-W:0"}, kBatchSendAsciiString, {},
       [](F& f, R& r) { f.main.m_strDataString = "hello world"; r.m_bAutoCloseWindow = 0; }},
      {{"1B 40", "-M:X"}, kBatchSendHexString, {},
       [](F& f, R&) { f.main.m_strDataString = "1B 40"; f.main.m_nStringFormat = 1; }},
      // -O: before -I: reaches the saved Ethernet; after it, the serial list.
      {{file, "-M:T", "-O:3", "-I:R"}, kBatchTransmitFile, {},
       [&](F& f, R&) { f.main.m_strFileName = file; f.ethernet.m_nMainPort = 3; f.main.m_nInterface = 0; }},
      {{file, "-M:T", "-I:R", "-O:3"}, kBatchTransmitFile, {},
       [&](F& f, R&) { f.main.m_strFileName = file; f.main.m_nInterface = 0; f.serial.m_nPortIndex = 2; }},
      // A device path picks its place in the list; one not listed picks no
      // port rather than keeping the saved one.
      {{"f", "-I:R", "-M:T", "-O:" + m_port}, kBatchTransmitFile, {},
       [](F& f, R&) { f.main.m_strFileName = "f"; f.main.m_nInterface = 0; f.serial.m_nPortIndex = 1; }},
      {{"f", "-I:R", "-M:T", "-O:" + m_folder + "/by-id"}, kBatchTransmitFile, {},  // a link to it
       [](F& f, R&) { f.main.m_strFileName = "f"; f.main.m_nInterface = 0; f.serial.m_nPortIndex = 1; }},
      // A refused value: every message, no action, nothing changed (so
      // nothing is sent to a saved port nobody chose, and nothing saved).
      {{"f", "-I:R", "-O:/dev/ttyS", "-M:T"}, kBatchInvalid,
       {"error 14 (/dev/ttyS, not in the serial port list)"}, CloseOnly},
      {{"f", "-M:D", "-I:U", "-O:5", "-B:1234", "-P:o", "-H:Z", "-I:x"}, kBatchInvalid,
       {"error 32", "error 33", "error 34", "error 35", "error 31"}, CloseOnly},
      {{"f", "-I:R", "-M:T", "-O:51"}, kBatchInvalid,
       {"Command line: invalid serial port (-O:51): give its place in the list, 1..50, or its device path."},
       CloseOnly},
      {{"f", "-M:T", "-O:70000"}, kBatchInvalid,
       {"Command line: invalid TCP/IP port (-O:70000): give 0..65535."}, CloseOnly},
      {{"f", "-M:T", "-A:1.2.3.400", "-A:localhost", "-A:127.0.0.1.5", "-A:1..2.3", "-A:1.2.3.4x"},
       kBatchInvalid, {BadAddress("1.2.3.400"), BadAddress("localhost"), BadAddress("127.0.0.1.5"),
                       BadAddress("1..2.3"), BadAddress("1.2.3.4x")}, CloseOnly},
      {{"f", "-M:T", "-R:0", "-C:1", "-A:"}, kBatchTransmitFile, {},  // all three ignored
       [](F& f, R&) { f.main.m_strFileName = "f"; }},
      {{"f", "-M:T", "-R:-1", "-B:9600", "-P:M", "-H:X", "-C:R"}, kBatchTransmitFile, {},
       [](F& f, R& r) { f.main.m_strFileName = "f"; f.main.m_bRepeat = 1; f.main.m_nRepeatCount = -1;
                        r.m_bEnableRepeatControls = 1; f.serial.m_nBaudIndex = 4;
                        f.serial.m_nParityIndex = 3; f.serial.m_nFlowIndex = 4;
                        f.usb.m_nOutEndpoint = 1; f.ethernet.m_nOutputPort = 1; }},
      // -R: after other characters; -R: before -D: in one token.
      {{"f", "xyz-R:7", "-R:4-D:9", "-M:T"}, kBatchTransmitFile, {},
       [](F& f, R& r) { f.main.m_strFileName = "f"; f.main.m_bRepeat = 1; f.main.m_nRepeatCount = 4;
                        r.m_bEnableRepeatControls = 1; }},
      {{"f", "-M:T", "-D:250ms", "-Q:L", "-F:rx.bin", "-O:+80x"}, kBatchTransmitFile, {},
       [](F& f, R& r) { f.main.m_strFileName = "f"; f.main.m_nDelay = 250; f.main.m_bPacketMode = 1;
                        f.ethernet.m_nMainPort = 80; r.m_strRxDataFileName = "rx.bin"; }},
      // A delay the field cannot hold is left out; a count below -1 is
      // continuous, one beyond the int range the largest.
      {{"f", "-M:T", "-D:-5", "-R:-3"}, kBatchTransmitFile, {},
       [](F& f, R& r) { f.main.m_strFileName = "f"; f.main.m_bRepeat = 1;
                        f.main.m_nRepeatCount = -1; r.m_bEnableRepeatControls = 1; }},
      {{"f", "-M:T", "-R:99999999999"}, kBatchTransmitFile, {},
       [](F& f, R& r) { f.main.m_strFileName = "f"; f.main.m_bRepeat = 1;
                        f.main.m_nRepeatCount = 2147483647; r.m_bEnableRepeatControls = 1; }},
      {{"f", "-M:T", "-A:192.168.1.2", "-Q:l"}, kBatchTransmitFile, {},
       [](F& f, R&) { f.main.m_strFileName = "f"; f.ethernet.m_dwIpAddress = 0xC0A80102; }},
      {{"f", "-M:t", "-I:R"}, kBatchInvalid, {"error 30"}, CloseOnly},
      {{"f", "-M:", "-M:D"}, kBatchDownloadFirmware, {"error 30"},  // a later valid mode wins
       [](F& f, R&) { f.main.m_strFileName = "f"; }},
      // The reply markers come after the thirteen: an older marker in the
      // same token still decides.
      {{"10 04 04", "-M:X", "-E:1? ?? 12", "-T:500", "-J:run.jsonl", "-F:x-E:12", "-J:a-R:3"},
       kBatchSendHexString, {},
       [](F& f, R& r) { f.main.m_strDataString = "10 04 04"; f.main.m_nStringFormat = 1;
                        r.m_strExpectedReply = "1? ?? 12"; r.m_nReplyTimeoutMs = 500;
                        r.m_strJsonLog = "run.jsonl"; r.m_strRxDataFileName = "x-E:12";
                        f.main.m_bRepeat = 1; f.main.m_nRepeatCount = 3; r.m_bEnableRepeatControls = 1; }},
      {{"f", "-E:1G", "-T:0", "-M:T"}, kBatchInvalid,
       {"-E:1G is not a reply pattern: hex bytes, spaces optional, ? a wildcard hex digit, ?? any byte."},
       CloseOnly},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.tokens));
    m_notifier.Clear();
    F f = SavedFields(), want = SavedFields();
    R run, wantRun;
    c.expect(want, wantRun);
    EXPECT_EQ(Parse(c.tokens, f, run), c.mode);
    EXPECT_TRUE(Tie(f, run) == Tie(want, wantRun));
    EXPECT_EQ(Boxes(), c.boxes);
  }
}

TEST_F(CommandLineTest, NoActionShowsTheHelpAndChangesNothing) {
  F f = SavedFields();
  R run;
  EXPECT_EQ(Parse({}, f, run), kBatchNone);
  EXPECT_FALSE(CCommandLine().HasCommandLine());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(run.m_bCloseWindow, 0);

  const std::string& help = CommandLineHelpText();
  ASSERT_NE(help.find("SENDRIX String -M:Mode [options]"), std::string::npos);
  for (const auto& tokens : std::vector<std::vector<std::string>>{
           {"receipt.prn"}, {"receipt.prn", "-R:5", "-I:R", "-M"}}) {
    m_notifier.Clear();
    R helpRun, wantRun;
    wantRun.m_bCloseWindow = 1;
    std::string printed;
    EXPECT_EQ(Parse(tokens, f, helpRun, &printed), kBatchInvalid);
    EXPECT_TRUE(Tie(f, helpRun) == Tie(SavedFields(), wantRun));
    EXPECT_EQ(Boxes(), std::vector<std::string>{help});
    EXPECT_EQ(printed, help);
  }
}

TEST(CommandLineRules, AutoCloseMatchAndRxFilePath) {
  EXPECT_TRUE(BatchModeMatchesOperation(kBatchSendAsciiString, 3));
  EXPECT_TRUE(BatchModeMatchesOperation(kBatchDownloadFirmware, 1));
  EXPECT_FALSE(BatchModeMatchesOperation(kBatchTransmitFile, 3));
  EXPECT_FALSE(BatchModeMatchesOperation(kBatchNone, 0));
  EXPECT_EQ(RxDataFilePath("", "/h/Output"), "");
  EXPECT_EQ(RxDataFilePath("rx 1.bin", "/h/Output"), "/h/Output/rx 1.bin");
  EXPECT_EQ(RxDataFilePath("logs/rx.bin", "/h/Output"), "logs/rx.bin");
  EXPECT_EQ(RxDataFilePath("/var/rx", "/h/Output"), "/var/rx");
}

// What a run on unread settings needs: the interface, then where on it.
TEST(CommandLineRules, NamesInterfaceAndPortOnlyInThatOrder) {
  const std::vector<std::pair<std::vector<std::string>, bool>> cases = {
      {{"s", "-M:X", "-I:R", "-O:2"}, true},
      {{"s", "-M:X", "-O:2", "-I:R"}, false},  // a port of the saved interface
      {{"s", "-M:X", "-A:127.0.0.1", "-I:T", "-O:9100"}, true},
      {{"s", "-M:X", "-I:T", "-O:9100"}, false},  // no address
      {{"s", "-M:X", "-I:U"}, true},
      {{"s", "-M:X", "-I:X", "-O:2"}, false},
      {{"s", "-M:X", "-O:2"}, false},
  };
  for (const auto& [tokens, named] : cases)
    EXPECT_EQ(CCommandLine(tokens).NamesInterfaceAndPort(), named) << tokens[2];
}

}  // namespace
