// The status decoder: every layout's words, unknown layouts, changes, and
// which received bytes count as replies.
#include "codec/StatusDecoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<std::string> Lines(const std::vector<PRINTER_STATUS_TEXT>& texts) {
  std::vector<std::string> lines;
  for (const PRINTER_STATUS_TEXT& text : texts) {
    lines.push_back(text.Line());
  }
  return lines;
}

}  // namespace

TEST(StatusDecoderTest, RepliesToEveryRequestInWordsAndUnknownLayoutsAsRawBits) {
  struct CASE {
    uint8_t n;
    uint8_t value;
    const char* words;
  };
  const CASE cases[] = {
      {1, 0x16, "online, drawer closed"},
      {1, 0x1A, "offline, drawer open"},
      {1, 0x7E, "offline, drawer closed, waiting for online recovery, feed button pressed"},
      {2, 0x12, "no offline cause"},
      {2, 0x16, "cover open"},
      {2, 0x72, "stopped by paper end, error"},
      {3, 0x12, "no error"},
      {3, 0x16, "recoverable error"},
      {3, 0x1A, "auto-cutter error"},
      {3, 0x32, "unrecoverable error"},
      {3, 0x52, "auto-recoverable error"},
      {4, 0x12, "paper adequate"},
      {4, 0x1E, "paper near end"},
      {4, 0x7E, "paper near end, paper out"},
      // Fixed bits wrong, or half a sensor pair: no guess.
      {1, 0x00, "unknown layout: 00 = 00000000"},
      {2, 0x92, "unknown layout: 92 = 10010010"},
      {4, 0x16, "unknown layout: 16 = 00010110"},
      {4, 0x32, "unknown layout: 32 = 00110010"},
  };
  for (const CASE& c : cases) {
    const PRINTER_STATUS_TEXT text = CStatusDecoder::DecodeReply(c.n, c.value, std::nullopt);
    EXPECT_EQ(text.Line(), "status DLE EOT " + std::to_string(c.n) + ": " + c.words);
    EXPECT_FALSE(text.bChanged);
  }
  const PRINTER_STATUS_TEXT table = CStatusDecoder::DecodeReply(1, 0x1E, std::nullopt);
  EXPECT_NE(table.strBitTable.find("bit 3 = 1  offline"), std::string::npos) << table.strBitTable;
  EXPECT_NE(table.strBitTable.find("bit 7 = 0  fixed"), std::string::npos);
  EXPECT_EQ(CStatusDecoder::DecodeReply(4, 0x16, std::nullopt).strBitTable.find("near end"),
            std::string::npos);
}

// Only bytes that answer a request just sent are replies; several requests
// in one string are answered in order; each n remembers its last answer.
TEST(StatusDecoderTest, DataBytesAnswerOnlyFreshRequestsAndSayWhatChanged) {
  CStatusDecoder decoder;
  std::vector<PRINTER_STATUS_TEXT> out;
  const Bytes stray = {0x16, 0x41};
  decoder.OnData(stray.data(), stray.size(), 0, out);
  const Bytes notLast = {0x10, 0x04, 0x01, 0x41};
  decoder.OnSent(notLast.data(), notLast.size(), 0);
  decoder.OnData(stray.data(), stray.size(), 10, out);
  EXPECT_TRUE(out.empty());

  const Bytes two = {0x1B, 0x40, 0x10, 0x04, 0x01, 0x10, 0x04, 0x04};
  decoder.OnSent(two.data(), two.size(), 100);
  const Bytes replies = {0x16, 0x12, 0x41};  // the third byte answers nothing
  decoder.OnData(replies.data(), 1, 110, out);
  decoder.OnData(replies.data() + 1, 2, 120, out);
  EXPECT_EQ(Lines(out), (std::vector<std::string>{"status DLE EOT 1: online, drawer closed",
                                                  "status DLE EOT 4: paper adequate"}));
  out.clear();
  const Bytes paper = {0x10, 0x04, 0x04};
  decoder.OnSent(paper.data(), paper.size(), 1000);
  const Bytes nearEnd = {0x1E};
  decoder.OnData(nearEnd.data(), 1, 1000 + CStatusDecoder::kReplyWindowMs + 1, out);
  EXPECT_TRUE(out.empty());  // too late to be the answer
  decoder.OnSent(paper.data(), paper.size(), 2000);
  decoder.OnData(nearEnd.data(), 1, 2005, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(out[0].bChanged);
  EXPECT_EQ(out[0].Line(), "status DLE EOT 4: paper near end; changed: paper near end");
}

// USM messages split anywhere; a byte that cannot start one is reported raw
// and the next message is found again; only known messages are compared.
TEST(StatusDecoderTest, AutomaticMessagesAcrossReadsWithChangesAndResync) {
  CStatusDecoder decoder;
  std::vector<PRINTER_STATUS_TEXT> out;
  const Bytes stream = {0x14, 0x00, 0x00, 0x0F, 0x01, 0x3C, 0x08, 0x03, 0x0F,
                        0x14, 0x00, 0x01, 0x0F, 0x14, 0x00, 0x0C, 0x0F};
  for (uint8_t b : stream) {
    decoder.OnUsm(&b, 1, out);
  }
  EXPECT_EQ(
      Lines(out),
      (std::vector<std::string>{
          "status automatic: online, drawer closed",
          "status automatic: unknown layout: 01 = 00000001",
          "status automatic: offline, cover open, paper near end, drawer closed, auto-cutter "
          "error; changed: offline, cover open, paper near end, auto-cutter error",
          "status automatic: unknown layout: 14 00 01 0F = 00010100 00000000 00000001 "
          "00001111",
          "status automatic: online, paper out, drawer closed; changed: online, cover closed, "
          "paper adequate, paper out, no auto-cutter error",
      }));
  EXPECT_FALSE(out[0].bChanged);
  EXPECT_TRUE(out[2].bChanged);
  EXPECT_FALSE(out[3].bKnown);
  EXPECT_NE(out[2].strBitTable.find("byte 2 bit 3 = 1  auto-cutter error"), std::string::npos);
  EXPECT_NE(out[2].strBitTable.find("byte 4 bit 0 = 1  undefined"), std::string::npos);
}
