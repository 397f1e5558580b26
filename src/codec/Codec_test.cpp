// Converters, framing and the small parsers.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/Codec.h"
#include "platform/FileIo.h"
#include "testsupport/CodecTestSupport.h"
#include "testsupport/TestFiles.h"

namespace {

using Bytes = std::vector<BYTE>;
const std::vector<std::string> kError37 = {"error 37"};

// Runs a byte decoder and checks that it stays inside its 256-byte buffer.
template <typename Decoder>
Bytes Decode(Decoder decoder, const char* text) {
  BYTE out[kCodecBufferSize + 1];
  std::memset(out, 0xEE, sizeof(out));
  const int n = decoder(text, out);
  EXPECT_GE(n, 0);
  EXPECT_LE(n, kMaxDecodedBytes);
  EXPECT_EQ(out[n], 0) << "NUL after the bytes";
  EXPECT_EQ(out[kCodecBufferSize], 0xEE) << "wrote past the buffer";
  return Bytes(out, out + n);
}

// Runs a text encoder into the buffer size its contract names (hex text or
// escaped text) and checks that it stays inside.
template <typename Encoder>
std::string Encode(Encoder encoder, const char* text) {
  const size_t size =
      encoder == &EscapedTextToHexText ? kHexTextBufferSize : kEscapedTextBufferSize;
  std::vector<char> out(size + 1, '#');
  const int n = encoder(text, out.data());
  EXPECT_EQ(static_cast<size_t>(n), strnlen(out.data(), size));
  EXPECT_EQ(out[size], '#') << "wrote past the buffer";
  return std::string(out.data(), static_cast<size_t>(n));
}

Bytes Escaped(const char* t) {
  return Decode(EscapedTextToBytes, t);
}
Bytes Hex(const char* t) {
  return Decode(HexTextToBytes, t);
}

// One row per rule of the two notations; `boxes` counts the error 37 boxes.
TEST_F(CodecTest, EscapedAndHexTextGrammar) {
  const struct {
    bool escaped;
    const char* text;
    Bytes bytes;
    size_t boxes;
  } kCases[] = {
      {true, "A\\x41\\n", {0x41, 0x41, 0x0A}, 0},
      {true, "ab\\bc", {0x61, 0x63}, 0},
      {true, "\\b\\bA", {0x41}, 0},  // \b with nothing output removes nothing
      {true, "\\q", {}, 0},
      {true, "\\\\", {0x5C}, 0},
      {true, "\\t\\r\\X7f", {0x09, 0x0D, 0x7F}, 0},
      {true, "", {}, 0},
      {true, nullptr, {}, 0},
      {true, "\\x4G", {0x04}, 0},  // G is consumed with the 4
      {true, "\\x4GH", {0x04, 'H'}, 0},
      {true, "\\x414", {0x41, '4'}, 0},
      {true, "A\\", {0x41}, 0},  // lone backslash at the end
      {true, "A\\x", {0x41}, 0},
      {true, "\\x4", {0x04}, 0},              // one digit at the end
      {true, "\\xG1A\\xZZB", {'A', 'B'}, 2},  // a bad pair is reported, the text goes on
      {false, "41 4243", {0x41, 0x42, 0x43}, 0},
      {false, "0a-0b", {0x0A, 0x0B}, 0},
      {false, "0a,0B;0c", {0x0A, 0x0B, 0x0C}, 0},
      {false, " ff.00 ", {0xFF, 0x00}, 0},
      {false, "", {}, 0},
      {false, "4 1", {}, 1},  // any error: nothing at all
      {false, "41 G2", {}, 1},
      {false, "414", {}, 1},
      {false, "41\t42", {}, 1},
      {false, "4-1", {}, 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text != nullptr ? c.text : "(null)");
    m_notifier.Clear();
    EXPECT_EQ(c.escaped ? Escaped(c.text) : Hex(c.text), c.bytes);
    EXPECT_EQ(Boxes(), std::vector<std::string>(c.boxes, "error 37"));
  }
}

// The escapes hex text turns into, and every byte value through both
// notations and back.
TEST_F(CodecTest, HexToEscapedTextAndNotationsRoundTrip) {
  EXPECT_EQ(Encode(HexTextToEscapedText, "41 0D 0A 1B"), "A\\r\\n\\x1B");
  EXPECT_EQ(Encode(HexTextToEscapedText, "5C 09 7F 80 20"), "\\\\\\t\x7F\\x80 ");
  // Every byte value, in strings of at most 63 bytes (four characters each).
  for (int start = 0; start < 256; start += 63) {
    std::string hex;
    Bytes expected;
    for (int b = start; b < start + 63 && b < 256; ++b) {
      char pair[4];
      std::snprintf(pair, sizeof(pair), "%02X ", b);
      hex += pair;
      expected.push_back(static_cast<BYTE>(b));
    }
    const std::string escaped = Encode(HexTextToEscapedText, hex.c_str());
    EXPECT_EQ(Escaped(escaped.c_str()), expected);
    const std::string back = Encode(EscapedTextToHexText, escaped.c_str());
    EXPECT_EQ(back, hex);
  }
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Encode(HexTextToEscapedText, "4"), "");
  EXPECT_EQ(Boxes(), kError37);
}

// The one limit is the 255 bytes a data string holds, however long its text.
TEST_F(CodecTest, EveryStringUpTo255BytesConvertsAndLongerIsRefused) {
  std::string controls, hex;  // 255 bytes: 1020 escaped characters, 765 hex
  for (int i = 0; i < 255; ++i) {
    controls += "\\x01";
    hex += "01 ";
  }
  EXPECT_EQ(Escaped(controls.c_str()).size(), 255u);
  EXPECT_EQ(Encode(EscapedTextToHexText, controls.c_str()), hex);
  EXPECT_EQ(Encode(HexTextToEscapedText, hex.c_str()), controls);
  EXPECT_EQ(Escaped((controls + "a\\b").c_str()).size(), 255u);  // the "\\b" takes it back
  EXPECT_TRUE(Boxes().empty());

  EXPECT_EQ(Escaped((controls + "a").c_str()), Bytes{});
  EXPECT_EQ(Boxes(), kError37);
  m_notifier.Clear();
  EXPECT_EQ(Encode(EscapedTextToHexText, (controls + "a").c_str()), "");
  EXPECT_EQ(Hex((hex + "CD").c_str()), Bytes{});
  EXPECT_EQ(Encode(HexTextToEscapedText, (hex + "CD").c_str()), "");
  EXPECT_EQ(Boxes(), std::vector<std::string>(3, "error 37"));
}

Bytes Frame(const Bytes& data) {
  Bytes out(2 * data.size() + 3 + 1, 0xEE);
  const int n = FramePacket(data.data(), out.data(), static_cast<int>(data.size()));
  EXPECT_EQ(out.back(), 0xEE);
  out.resize(static_cast<size_t>(n));
  return out;
}

TEST(CodecPlain, FramePacket) {
  EXPECT_EQ(Frame({0x41}), (Bytes{0x02, 0x41, 0x03, 0xBC}));
  EXPECT_EQ(Frame({0x02}), (Bytes{0x02, 0x1A, 0xFD, 0x03, 0xFB}));
  EXPECT_EQ(Frame({0x1A}), (Bytes{0x02, 0x1A, 0xE5, 0x03, 0xE3}));
  EXPECT_EQ(Frame({0x03, 0x80, 0x80}), (Bytes{0x02, 0x1A, 0xFC, 0x80, 0x80, 0x03, 0xFA}));
  EXPECT_EQ(Frame({}), Bytes{});
  // Worst case: every byte escaped fills the documented 2n+3 bytes exactly.
  EXPECT_EQ(Frame(Bytes(100, 0x02)).size(), 203u);
}

// Both octet orders are checked through their callers (command line, device
// setup); here what those do not reach.
TEST(CodecPlain, ParseIpAddress) {
  BYTE out[4] = {9, 9, 9, 9};
  EXPECT_FALSE(ParseIpAddress("", out, 0));
  EXPECT_FALSE(ParseIpAddress(nullptr, out, 0));
  EXPECT_EQ(Bytes(out, out + 4), (Bytes{9, 9, 9, 9}));
  EXPECT_TRUE(ParseIpAddress("10.1", out, 0));  // inet_addr's short form
  EXPECT_EQ(Bytes(out, out + 4), (Bytes{10, 0, 0, 1}));
  EXPECT_TRUE(ParseIpAddress("not an address", out, 1));
  EXPECT_EQ(Bytes(out, out + 4), (Bytes{255, 255, 255, 255}));
}

class FolderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(m_base.empty()); }
  void TearDown() override { std::filesystem::remove_all(m_base); }
  bool IsDir(const std::string& relative) const {
    return std::filesystem::is_directory(m_base + relative);
  }
  std::string m_base = MakeTestFolder("codec");
};

// Each level is made, an existing folder is kept, a file in the way fails.
TEST_F(FolderTest, CreatesEachLevelKeepsExistingAndFailsOnAFile) {
  EXPECT_TRUE(CreateFolderPath(m_base.c_str(), "/a/b/c"));
  EXPECT_TRUE(IsDir("/a") && IsDir("/a/b") && IsDir("/a/b/c"));
  EXPECT_TRUE(CreateFolderPath(m_base.c_str(), "/a"));
  EXPECT_TRUE(IsDir("/a/b/c"));
  FILE* f = std::fopen((m_base + "/Output").c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_FALSE(CreateFolderPath(m_base.c_str(), "/Output"));
  EXPECT_FALSE(CreateFolderPath(m_base.c_str(), "/Output/x"));
}

}  // namespace
