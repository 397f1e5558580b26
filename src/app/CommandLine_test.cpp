#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "testsupport/CodecTestSupport.h"

namespace {

// Fields as the settings load might leave them: Ethernet selected.
CDialogFields SavedFields() {
  CDialogFields f;
  f.main.m_nInterface = 2;
  f.main.m_nStringFormat = 0;
  f.serial.m_nPortIndex = 0;
  f.serial.m_nBaudIndex = 6;
  f.serial.m_nParityIndex = 0;
  f.serial.m_nFlowIndex = 0;
  f.ethernet.m_nMainPort = 9100;
  f.ethernet.m_dwIpAddress = 0x7F000001;
  f.usb.m_nOutEndpoint = 0;
  f.ethernet.m_nOutputPort = 0;
  return f;
}

auto Tie(const CDialogFields& f) {
  return std::tie(f.main.m_strFileName, f.main.m_strDataString, f.main.m_nStringFormat,
                  f.main.m_bRepeat, f.main.m_nRepeatCount, f.main.m_nDelay, f.main.m_nInterface,
                  f.main.m_bPacketMode, f.serial.m_nPortIndex, f.serial.m_nBaudIndex,
                  f.serial.m_nParityIndex, f.serial.m_nFlowIndex, f.usb.m_nOutEndpoint,
                  f.ethernet.m_dwIpAddress, f.ethernet.m_nOutputPort, f.ethernet.m_nMainPort);
}

bool SameFields(const CDialogFields& a, const CDialogFields& b) {
  return Tie(a) == Tie(b);
}

struct Case {
  const char* what;
  std::vector<std::string> tokens;
  int mode;
  std::vector<std::string> boxes;
  // Turns the saved fields into the expected ones.
  std::function<void(CDialogFields&, CBatchRun&)> expect;
};

class CommandLineTest : public CodecTest {
 protected:
  int Parse(const std::vector<std::string>& tokens, CDialogFields& f, CBatchRun& run,
            std::string* printed = nullptr) {
    CCommandLine line(tokens);
    std::FILE* out = std::tmpfile();
    line.SetHelpOutput(out);
    const int mode = line.ParseCommandLine(f, run);
    if (printed != nullptr) {
      printed->assign(static_cast<std::size_t>(std::ftell(out)), '\0');
      std::rewind(out);
      printed->resize(std::fread(printed->data(), 1, printed->size(), out));
    }
    std::fclose(out);
    return mode;
  }
};

TEST_F(CommandLineTest, OptionsAppliedAsTheMarkersSay) {
  const std::string file = "/tmp/my receipt.prn";  // one argument, spaces and all
  const std::vector<Case> cases = {
      {"file, ascii, stay open",
       {"hello world", "-M:S", "-W:0"},
       kBatchSendAsciiString,
       {},
       [](CDialogFields& f, CBatchRun& r) {
         f.main.m_strDataString = "hello world";
         r.m_bAutoCloseWindow = 0;
       }},
      {"hex sets the format",
       {"1B 40", "-M:X"},
       kBatchSendHexString,
       {},
       [](CDialogFields& f, CBatchRun&) {
         f.main.m_strDataString = "1B 40";
         f.main.m_nStringFormat = 1;
       }},
      {"-O: before -I: reaches the saved Ethernet",
       {file, "-M:T", "-O:3", "-I:R"},
       kBatchTransmitFile,
       {},
       [&](CDialogFields& f, CBatchRun&) {
         f.main.m_strFileName = file;
         f.ethernet.m_nMainPort = 3;
         f.main.m_nInterface = 0;
       }},
      {"-I: before -O: picks the third serial port",
       {file, "-M:T", "-I:R", "-O:3"},
       kBatchTransmitFile,
       {},
       [&](CDialogFields& f, CBatchRun&) {
         f.main.m_strFileName = file;
         f.main.m_nInterface = 0;
         f.serial.m_nPortIndex = 2;
       }},
      {"serial port 51 ignored quietly",
       {"f", "-I:R", "-M:T", "-O:51"},
       kBatchTransmitFile,
       {},
       [](CDialogFields& f, CBatchRun&) {
         f.main.m_strFileName = "f";
         f.main.m_nInterface = 0;
       }},
      {"-O: with USB, bad letters and rate",
       {"f", "-M:D", "-I:U", "-O:5", "-B:1234", "-P:o", "-H:Z", "-I:x"},
       kBatchDownloadFirmware,
       {"error 32", "error 33", "error 34", "error 35", "error 31"},
       [](CDialogFields& f, CBatchRun&) {
         f.main.m_strFileName = "f";
         f.main.m_nInterface = 1;
       }},
      {"-R:0 ignored, -C: digit ignored, empty -A: ignored",
       {"f", "-M:T", "-R:0", "-C:1", "-A:"},
       kBatchTransmitFile,
       {},
       [](CDialogFields& f, CBatchRun&) { f.main.m_strFileName = "f"; }},
      {"-R:-1 continuous, serial settings",
       {"f", "-M:T", "-R:-1", "-B:9600", "-P:M", "-H:X", "-C:R"},
       kBatchTransmitFile,
       {},
       [](CDialogFields& f, CBatchRun& r) {
         f.main.m_strFileName = "f";
         f.main.m_bRepeat = 1;
         f.main.m_nRepeatCount = -1;
         r.m_bEnableRepeatControls = 1;
         f.serial.m_nBaudIndex = 4;
         f.serial.m_nParityIndex = 3;
         f.serial.m_nFlowIndex = 4;
         f.usb.m_nOutEndpoint = 1;
         f.ethernet.m_nOutputPort = 1;
       }},
      {"-R: after other characters; -R: before -D: in one token",
       {"f", "xyz-R:7", "-R:4-D:9", "-M:T"},
       kBatchTransmitFile,
       {},
       [](CDialogFields& f, CBatchRun& r) {
         f.main.m_strFileName = "f";
         f.main.m_bRepeat = 1;
         f.main.m_nRepeatCount = 4;
         r.m_bEnableRepeatControls = 1;
       }},
      {"atoi numbers, packet, rx file",
       {"f", "-M:T", "-D:250ms", "-Q:L", "-F:rx.bin", "-O:+80x"},
       kBatchTransmitFile,
       {},
       [](CDialogFields& f, CBatchRun& r) {
         f.main.m_strFileName = "f";
         f.main.m_nDelay = 250;
         f.main.m_bPacketMode = 1;
         f.ethernet.m_nMainPort = 80;
         r.m_strRxDataFileName = "rx.bin";
       }},
      {"values the fields cannot hold are left out",
       {"f", "-M:T", "-D:-5", "-R:-3", "-O:70000", "-R:99999999999"},
       kBatchTransmitFile,
       {},
       [](CDialogFields& f, CBatchRun& r) {
         f.main.m_strFileName = "f";
         f.main.m_bRepeat = 1;
         f.main.m_nRepeatCount = 2147483647;
         r.m_bEnableRepeatControls = 1;
       }},
      {"rejected address stores 255.255.255.255",
       {"f", "-M:T", "-A:1.2.3.400"},
       kBatchTransmitFile,
       {},
       [](CDialogFields& f, CBatchRun&) {
         f.main.m_strFileName = "f";
         f.ethernet.m_dwIpAddress = 0xFFFFFFFF;
       }},
      {"address first octet high",
       {"f", "-M:T", "-A:192.168.1.2", "-Q:l"},
       kBatchTransmitFile,
       {},
       [](CDialogFields& f, CBatchRun&) {
         f.main.m_strFileName = "f";
         f.ethernet.m_dwIpAddress = 0xC0A80102;
       }},
      {"lower-case mode letter",
       {"f", "-M:t", "-I:R"},
       kBatchInvalid,
       {"error 30"},
       [](CDialogFields& f, CBatchRun& r) {
         f.main.m_strFileName = "f";
         f.main.m_nInterface = 0;
         r.m_bCloseWindow = 1;
       }},
      {"a later valid mode wins",
       {"f", "-M:", "-M:D"},
       kBatchDownloadFirmware,
       {"error 30"},
       [](CDialogFields& f, CBatchRun&) { f.main.m_strFileName = "f"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_notifier.Clear();
    CDialogFields f = SavedFields();
    CDialogFields want = SavedFields();
    CBatchRun run, wantRun;
    c.expect(want, wantRun);
    EXPECT_EQ(Parse(c.tokens, f, run), c.mode);
    EXPECT_TRUE(SameFields(f, want));
    EXPECT_EQ(Boxes(), c.boxes);
    EXPECT_EQ(run.m_bAutoCloseWindow, wantRun.m_bAutoCloseWindow);
    EXPECT_EQ(run.m_bEnableRepeatControls, wantRun.m_bEnableRepeatControls);
    EXPECT_EQ(run.m_bCloseWindow, wantRun.m_bCloseWindow);
    EXPECT_EQ(run.m_strRxDataFileName, wantRun.m_strRxDataFileName);
  }
}

TEST_F(CommandLineTest, NoActionShowsTheHelpAndChangesNothing) {
  CDialogFields f = SavedFields();
  CBatchRun run;
  EXPECT_EQ(Parse({}, f, run), kBatchNone);
  EXPECT_FALSE(CCommandLine().HasCommandLine());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(run.m_bCloseWindow, 0);

  for (const auto& tokens : std::vector<std::vector<std::string>>{
           {"receipt.prn"}, {"receipt.prn", "-R:5", "-I:R", "-M"}}) {
    m_notifier.Clear();
    CBatchRun helpRun;
    std::string printed;
    EXPECT_EQ(Parse(tokens, f, helpRun, &printed), kBatchInvalid);
    EXPECT_TRUE(SameFields(f, SavedFields()));
    EXPECT_EQ(helpRun.m_bCloseWindow, 1);
    EXPECT_EQ(helpRun.m_bEnableRepeatControls, 0);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0], CommandLineHelpText());
    EXPECT_EQ(printed, CommandLineHelpText());
  }
  const std::string& help = CommandLineHelpText();
  EXPECT_EQ(
      help.rfind("Command Line Syntax : \r\n\nSENDRIX String -M:Mode [options]\r\n\n\tString\t\t: ",
                 0),
      0u);
  EXPECT_NE(
      help.find("\tRxDataFileName\t: File Name\r\n\n\t* Serial Interface Parameters : -C:Port"),
      std::string::npos);
  EXPECT_NE(help.find("\tChannel\t\t: M=Main, R=Real Time Port\r\n\n\t* TCP/IP"),
            std::string::npos);
  EXPECT_EQ(help.substr(help.size() - 20), "\tPort\t\t: 0..65535\r\n\n");
  EXPECT_EQ(help.size(), 1126u);
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

}  // namespace
