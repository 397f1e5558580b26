#include "PrinterCore.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <string>
#include <vector>

#include "Crc16.h"
#include "PacketDecoder.h"
#include "Sha256.h"
#include "Sha256Portable.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Frames data the way a sender does: 02, escapes, 03, check byte.
Bytes Frame(const Bytes& data) {
  Bytes out{0x02};
  uint8_t sum = 0;
  for (uint8_t b : data) {
    sum = static_cast<uint8_t>(sum + b);
    if (b == 0x02 || b == 0x03 || b == 0x1A) {
      out.push_back(0x1A);
      out.push_back(static_cast<uint8_t>(~b));
    } else {
      out.push_back(b);
    }
  }
  out.push_back(0x03);
  out.push_back(static_cast<uint8_t>(0xFD - sum));
  return out;
}

Bytes DataHeader(uint16_t offset, uint16_t length) {
  return {0x1D,
          0x11,
          static_cast<uint8_t>(offset & 0xFF),
          static_cast<uint8_t>(offset >> 8),
          static_cast<uint8_t>(length & 0xFF),
          static_cast<uint8_t>(length >> 8)};
}

std::string Sha(const Bytes& data) {
  CSha256 sha;
  sha.Update(data.data(), data.size());
  return sha.HexDigest();
}

class PrinterCoreTest : public ::testing::Test {
 protected:
  PrinterCoreTest() { Configure(); }

  void Configure() {
    config.flash.dwEraseMs = 7;
    core.SetConfig(config);
  }

  // Feeds bytes and returns every reply byte they caused, in order.
  Bytes Feed(const Bytes& data) {
    std::vector<SIM_REPLY> out;
    core.Process(data.data(), data.size(), faults, out);
    Bytes all;
    for (const SIM_REPLY& reply : out) {
      all.insert(all.end(), reply.bytes.begin(), reply.bytes.end());
      delays.push_back(reply.dwDelayMs);
    }
    return all;
  }

  // Runs a whole download of `image` as Sendrix does, with a packet size of
  // `packet`, and returns the reply bytes of each frame.
  std::vector<Bytes> Download(const Bytes& image, size_t packet) {
    std::vector<Bytes> replies;
    replies.push_back(Feed({0x1B, 0x5B, 0x7D}));
    replies.push_back(Feed({0x1D, 0x01}));
    replies.push_back(Feed({0x1D, 0x0E}));
    size_t offset = 0;
    for (uint8_t block = 0; offset < image.size(); ++block) {
      replies.push_back(Feed({0x1D, 0x02, block}));
      const size_t end = std::min(image.size(), offset + 65536);
      for (size_t a = 0; offset < end; a += packet) {
        const size_t l = std::min(packet, end - offset);
        Bytes frame = DataHeader(static_cast<uint16_t>(a), static_cast<uint16_t>(l));
        frame.insert(frame.end(), image.begin() + offset, image.begin() + offset + l);
        replies.push_back(Feed(frame));
        offset += l;
      }
    }
    replies.push_back(Feed({0x1D, 0x06}));
    replies.push_back(Feed({0x1D, 0x0F}));
    replies.push_back(Feed({0x1D, 0xFF}));
    return replies;
  }

  PRINTER_CORE_CONFIG config;
  CPrinterCore core;
  CSimFaults faults;
  std::vector<uint32_t> delays;
};

Bytes Pattern(size_t size) {
  Bytes image(size);
  for (size_t i = 0; i < size; ++i) {
    image[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
  }
  return image;
}

}  // namespace

// Known values, and the portable hash against the library's at every length
// round the padding boundaries, fed in odd pieces.
TEST(SimChecksums, KnownValuesAndPortableSha256MatchesTheLibrary) {
  const std::string digits = "123456789";
  EXPECT_EQ(Crc16CcittFalse(CRC16_CCITT_FALSE_INIT, reinterpret_cast<const uint8_t*>(digits.data()),
                            digits.size()),
            0x29B1);
  const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  CSha256 running;
  running.Update("ab", 2);
  EXPECT_NE(running.HexDigest(), abc);  // a digest does not end the hash
  running.Update("c", 1);
  EXPECT_EQ(running.HexDigest(), abc);
  const auto portable = [](const Bytes& data, size_t piece) {
    CSha256Portable sha;
    for (size_t at = 0; at < data.size(); at += piece) {
      sha.Update(data.data() + at, std::min(piece, data.size() - at));
    }
    const std::array<uint8_t, 32> digest = sha.Digest();
    return HexText(digest.data(), digest.size());
  };
  EXPECT_EQ(portable(Bytes(1000000, 'a'), 4093),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  Bytes data;
  for (size_t length = 0; length < 200; ++length) {
    EXPECT_EQ(portable(data, 7), Sha(data)) << length;
    data.push_back(static_cast<uint8_t>(length * 13));
  }
}

TEST(SimPacketDecoder, GoodBadAndSplitFrames) {
  CPacketDecoder decoder;
  Bytes payload;
  auto sink = [&](const uint8_t* p, size_t n) { payload.insert(payload.end(), p, p + n); };
  // The worked examples: 41 -> 02 41 03 BC; 02 -> 02 1A FD 03 FB; 1A -> 02 1A E5 03 E3.
  Bytes stream = {0x02, 0x41, 0x03, 0xBC, 0x02, 0x1A, 0xFD,
                  0x03, 0xFB, 0x02, 0x1A, 0xE5, 0x03, 0xE3};
  for (uint8_t b : stream) {  // one byte at a time: frames split anywhere
    decoder.Feed(&b, 1, sink);
  }
  EXPECT_EQ(payload, (Bytes{0x41, 0x02, 0x1A}));
  EXPECT_EQ(decoder.GetGoodFrames(), 3u);

  const Bytes bad[] = {
      {0x02, 0x41, 0x03, 0xBD},        // wrong check byte
      {0x02, 0x1A, 0x41, 0x03, 0x7B},  // escape of a byte that needs none
      {0x02, 0x41, 0x02},              // a new frame before the end: the first is bad
  };
  for (const Bytes& frame : bad) {
    decoder.Feed(frame.data(), frame.size(), sink);
  }
  EXPECT_EQ(decoder.GetBadFrames(), 3u);
  Bytes rest = {0x42, 0x03, static_cast<uint8_t>(0xFD - 0x42), 0x55};
  decoder.Feed(rest.data(), rest.size(), sink);
  EXPECT_EQ(decoder.GetGoodFrames(), 4u);
  EXPECT_EQ(decoder.GetStrayBytes(), 1u);
  EXPECT_EQ(payload.back(), 0x42);
}

TEST_F(PrinterCoreTest, PrintDataStatusRepliesAndTheSwitchPrefix) {
  const Bytes data = {'A', 0x10, 0x04, 0x01, 'B', 0x10, 0x04, 0x04, 0x10, 0x04, 0x05, 0x1B, 0x5B};
  EXPECT_EQ(Feed(data), (Bytes{0x16, 0x12}));
  EXPECT_EQ(core.GetStatusReplies(), 2u);
  // 1B 5B could begin a switch frame: held until the next byte tells.
  EXPECT_EQ(core.GetPrintBytes(), data.size() - 2);
  // A file may contain 1B 5B 7D; without a download command after it, it
  // stays data (here fed byte by byte).
  const Bytes more = {'C', 0x1B, 0x5B, 0x7D, 0x1D, 0x42, 0x1B, 0x5B, 0x7D, 'y', 0x1B};
  EXPECT_EQ(Feed({more[0]}), Bytes{});
  EXPECT_EQ(core.GetPrintBytes(), data.size() + 1);
  for (size_t i = 1; i < more.size(); ++i) {
    Feed({more[i]});
  }
  std::vector<SIM_REPLY> ignored;
  core.Flush(faults, ignored);
  EXPECT_FALSE(core.IsInDownloadMode());
  Bytes all = data;
  all.insert(all.end(), more.begin(), more.end());
  EXPECT_EQ(core.GetPrintBytes(), all.size());
  EXPECT_EQ(core.GetSha256(), Sha(all));
}

// Every state answers each DLE EOT n with the common ESC/POS bits and sends
// the matching automatic status (the tables of docs/printer-sim.md).
TEST_F(PrinterCoreTest, EveryStateAnswersEveryStatusRequest) {
  struct CASE {
    const char* list;
    Bytes replies;    // DLE EOT 1, 2, 3, 4
    Bytes automatic;  // the 4-byte automatic status
  };
  const CASE cases[] = {
      {"online", {0x16, 0x12, 0x12, 0x12}, {0x14, 0x00, 0x00, 0x0F}},
      {"offline", {0x1E, 0x12, 0x12, 0x12}, {0x1C, 0x00, 0x00, 0x0F}},
      {"cover-open", {0x1E, 0x16, 0x12, 0x12}, {0x3C, 0x00, 0x00, 0x0F}},
      {"paper-near-end", {0x16, 0x12, 0x12, 0x1E}, {0x14, 0x00, 0x03, 0x0F}},
      {"paper-out", {0x1E, 0x32, 0x12, 0x7E}, {0x1C, 0x00, 0x0F, 0x0F}},
      {"drawer-open", {0x12, 0x12, 0x12, 0x12}, {0x10, 0x00, 0x00, 0x0F}},
      {"error", {0x1E, 0x52, 0x1A, 0x12}, {0x1C, 0x08, 0x00, 0x0F}},
      {"drawer-open,paper-near-end,cover-open", {0x1A, 0x16, 0x12, 0x1E}, {0x38, 0x00, 0x03, 0x0F}},
  };
  const Bytes requests = {0x10, 0x04, 0x01, 0x10, 0x04, 0x02, 0x10, 0x04, 0x03, 0x10, 0x04, 0x04};
  for (const CASE& c : cases) {
    CPrinterState state;
    std::string error;
    ASSERT_TRUE(CPrinterState::Parse(c.list, state, error)) << error;
    core.SetState(state);
    EXPECT_EQ(Feed(requests), c.replies) << c.list;
    const std::array<uint8_t, 4> automatic = state.AutomaticStatus();
    EXPECT_EQ(Bytes(automatic.begin(), automatic.end()), c.automatic) << c.list;
  }
}

TEST_F(PrinterCoreTest, FullDownloadRepliesByteExact) {
  const Bytes image = Pattern(3 * 65536 + 4096);  // four blocks, the last short
  const std::vector<Bytes> replies = Download(image, 4096);
  EXPECT_EQ(replies[0], Bytes{});      // switch: silent on serial/TCP
  EXPECT_EQ(replies[1], Bytes{0xFF});  // flash size code
  EXPECT_EQ(replies[2], Bytes{0x06});  // erase
  EXPECT_EQ(delays.at(1), 7u);         // the erase reply waits the erase time
  for (size_t i = 3; i + 3 < replies.size(); ++i) {
    EXPECT_EQ(replies[i], Bytes{0x06}) << "frame " << i;
  }
  const uint16_t crc = Crc16CcittFalse(0xFFFF, image.data(), image.size());
  EXPECT_EQ(replies[replies.size() - 3], Bytes{0x06});
  EXPECT_EQ(replies[replies.size() - 2],
            (Bytes{0x06, static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8)}));
  EXPECT_EQ(replies.back(), Bytes{});
  EXPECT_EQ(core.GetFlash().GetImage(), image);
  EXPECT_EQ(core.GetFlash().GetBlocks(), 4u);
  EXPECT_FALSE(core.IsInDownloadMode());
  EXPECT_EQ(core.GetPrintBytes(), 0u);
  // Back in normal mode, bytes are print data again.
  Feed({'Z'});
  EXPECT_EQ(core.GetPrintBytes(), 1u);
}

TEST_F(PrinterCoreTest, RefusesFramesOutOfOrderOrOutsideTheBlock) {
  Feed({0x1B, 0x5B, 0x7D});
  EXPECT_EQ(Feed({0x1D, 0x02, 0x00}), Bytes{0x15});  // block before the erase
  EXPECT_EQ(Feed({0x1D, 0x0E}), Bytes{0x06});
  EXPECT_EQ(Feed({0x1D, 0x02, 0x01}), Bytes{0x15});  // block 1 before block 0
  Bytes early = DataHeader(0, 4);
  early.insert(early.end(), {1, 2, 3, 4});
  EXPECT_EQ(Feed(early), Bytes{0x15});  // data before any block header
  EXPECT_EQ(Feed({0x1D, 0x0E, 0x1D, 0x02, 0x00}), (Bytes{0x06, 0x06}));
  Bytes gap = DataHeader(8, 4);
  gap.insert(gap.end(), {1, 2, 3, 4});
  EXPECT_EQ(Feed(gap), Bytes{0x15});  // not the next offset
  Bytes past = DataHeader(0, 2);
  past[2] = 0xFF;  // offset 0xFFFF + 2 > 65536
  past[3] = 0xFF;
  past.insert(past.end(), {9, 9});
  EXPECT_EQ(Feed(past), Bytes{0x15});
  Bytes good = DataHeader(0, 4);
  good.insert(good.end(), {1, 2, 3, 4});
  EXPECT_EQ(Feed(good), Bytes{0x06});
  EXPECT_EQ(Feed({0x1D, 0x06}), Bytes{0x15});  // a refusal since the erase
  EXPECT_EQ(Feed({0x1D, 0x42}), Bytes{0x15});  // unknown command
  EXPECT_EQ(core.GetFlash().GetImage(), (Bytes{1, 2, 3, 4}));
}

TEST_F(PrinterCoreTest, NakFaults) {
  const Bytes image = Pattern(2 * 65536);
  faults.m_nak = {{FlashStep::Erase, -1}};
  EXPECT_EQ(Download(image, 16384)[2], Bytes{0x15});

  faults.Clear();
  std::string error;
  ASSERT_TRUE(faults.Add("nak-block=1", error));
  std::vector<Bytes> replies = Download(image, 16384);
  EXPECT_EQ(replies[3], Bytes{0x06});                   // block 0
  EXPECT_EQ(replies[8], Bytes{0x15});                   // block 1 header
  EXPECT_EQ(replies[replies.size() - 3], Bytes{0x15});  // and the CRC check fails

  faults.Clear();
  ASSERT_TRUE(faults.Add("nak-data=2", error));
  replies = Download(image, 16384);
  EXPECT_EQ(replies[5], Bytes{0x06});  // data frame 1
  EXPECT_EQ(replies[6], Bytes{0x15});  // data frame 2

  faults.Clear();
  ASSERT_TRUE(faults.Add("nak-crc", error));
  replies = Download(image, 16384);
  EXPECT_EQ(replies[replies.size() - 3], Bytes{0x15});
}

TEST_F(PrinterCoreTest, SilenceGarbageFlowBytesAndShortCrc) {
  const Bytes image = Pattern(65536);
  std::string error;
  for (const char* step : {"switch", "size", "erase", "block:0", "data:1", "crc", "readcrc"}) {
    ASSERT_TRUE(faults.Add(std::string("silent=") + step, error)) << step;
  }
  config.flash.bUsbStyle = true;
  Configure();
  std::vector<Bytes> replies = Download(image, 32768);
  const std::vector<Bytes> silent = {{}, {}, {}, {}, {0x06}, {}, {}, {}, {}};
  EXPECT_EQ(replies, silent);

  faults.Clear();
  ASSERT_TRUE(faults.Add("garbage=erase", error));
  ASSERT_TRUE(faults.Add("xonxoff", error));
  ASSERT_TRUE(faults.Add("short-readcrc", error));
  replies = Download(image, 32768);
  EXPECT_EQ(replies[0], (Bytes{0x13, 0x11, 'S'}));
  EXPECT_EQ(replies[1], (Bytes{0x13, 0x11, 0xFF}));
  EXPECT_EQ(replies[2], (Bytes{0x13, 0x11, CSimFaults::kGarbageByte}));
  EXPECT_EQ(replies[3], (Bytes{0x13, 0x11, 0x06}));
  // The read-CRC reply gets no flow bytes unless named; here it is cut short.
  const uint16_t crc = Crc16CcittFalse(0xFFFF, image.data(), image.size());
  EXPECT_EQ(replies[replies.size() - 2], (Bytes{0x06, static_cast<uint8_t>(crc & 0xFF)}));
}

TEST_F(PrinterCoreTest, PacketModeHashesFrameDataAndEchoSendsRawBytes) {
  config.bPacket = true;
  config.bEcho = true;
  Configure();
  const Bytes a = Pattern(1024);
  const Bytes b = {0x02, 0x03, 0x1A, 0x10, 0x04, 0x01};  // escapes and a status request
  Bytes wire = Frame(a);
  const Bytes framedB = Frame(b);
  wire.insert(wire.end(), framedB.begin(), framedB.end());
  wire.insert(wire.end(), {0x02, 'x', 0x03, 0x00});  // a bad frame
  const Bytes replies = Feed(wire);
  Bytes expected = wire;
  expected.insert(expected.begin() + static_cast<long>(Frame(a).size() + 9), 0x16);
  EXPECT_EQ(replies, expected);  // the echo, with the status byte where it was asked for
  Bytes payload = a;
  payload.insert(payload.end(), b.begin(), b.end());
  EXPECT_EQ(core.GetSha256(), Sha(payload));
  EXPECT_EQ(core.GetPrintBytes(), payload.size());
  EXPECT_EQ(core.GetPacketDecoder().GetGoodFrames(), 2u);
  EXPECT_EQ(core.GetPacketDecoder().GetBadFrames(), 1u);
}

// The forms the fault tests do not use themselves, and texts refused.
TEST(SimFaultsText, ParsesEveryFormAndRejectsTheRest) {
  CSimFaults faults;
  std::string error;
  for (const char* text :
       {"nak-erase", "nak-data=0", "nak=data:5", "silent=readcrc", "garbage=block",
        "xonxoff=readcrc", "throttle=2000", "no-setup-ack", "restart-after=7", "hangup-after=9"}) {
    EXPECT_TRUE(faults.Add(text, error)) << text << ": " << error;
  }
  EXPECT_TRUE(faults.IsNak(FlashStep::Erase, -1));
  EXPECT_TRUE(faults.IsNak(FlashStep::Data, 5));
  EXPECT_TRUE(faults.IsGarbage(FlashStep::Block, 77));
  EXPECT_TRUE(faults.IsXonXoff(FlashStep::ReadCrc, -1));
  EXPECT_EQ(faults.m_dwThrottle, 2000u);
  EXPECT_TRUE(faults.m_bNoSetupAck);
  EXPECT_EQ(faults.m_qwRestartAfter, 7u);
  EXPECT_EQ(faults.m_qwHangupAfter, 9u);
  for (const char* text :
       {"nak-block", "nak-erase=1", "silent=size:3", "silent=bogus", "drop-after=0",
        "hangup-after=0", "throttle=-5", "explode", "nak-data=x"}) {
    EXPECT_FALSE(faults.Add(text, error)) << text;
    EXPECT_FALSE(error.empty());
  }
}
