// The device-setup frames byte for byte, and what is read from discovery
// records and MAC texts.
#include "devsetup/EthDevFrames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(EthDevFrames, FramesByteForByteWithZeroBytesAndNamesPaddedOrCut) {
  const BYTE mac[6] = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
  const BYTE ip[4] = {10, 0, 0, 5};
  const std::string head = "IP=";
  EXPECT_EQ(CEthDevFrames::BuildChip(mac, ip),
            head + "CHIP\x02\x11\x22\x33\x44\x55\x0A" + std::string("\x00\x00\x05", 3));
  EXPECT_EQ(CEthDevFrames::BuildChno(mac, "Bar"),
            head + "CHNO\x02\x11\x22\x33\x44\x55" + "Bar       ");
  EXPECT_EQ(CEthDevFrames::BuildRest(mac), head + "REST\x02\x11\x22\x33\x44\x55");
  const BYTE zeroMac[6] = {};
  const BYTE zeroIp[4] = {};
  EXPECT_EQ(CEthDevFrames::BuildChip(zeroMac, zeroIp), "IP=CHIP" + std::string(10, '\0'));
  EXPECT_EQ(CEthDevFrames::BuildChno(zeroMac, "ABCDEFGHIJKL").substr(7),
            std::string(6, '\0') + "ABCDEFGHIJ");
}

TEST(EthDevFrames, OnlySixHexPairsAreAMac) {
  const struct {
    const char* text;
    int ok;
  } kCases[] = {{"02-11-22-33-44-55", 1},  {"0a-bB-cc-DD-ee-Ff", 1},
                {"02-11-22-33-44", 0},     {"02:11:22:33:44:55", 0},
                {"02-11-22-33-44-55-", 0}, {"2-11-22-33-44-555", 0},
                {"02-11-22-33-44-5G", 0},  {"", 0},
                {"02-11-22-33-44-55 ", 0}};
  for (const auto& c : kCases) {
    BYTE mac[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(CEthDevFrames::ParseMac(c.text, mac), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_EQ(mac[0], 9) << "untouched on refusal: " << c.text;
    }
  }
  BYTE mac[6];
  ASSERT_EQ(CEthDevFrames::ParseMac("0a-bB-cc-DD-ee-Ff", mac), 1);
  EXPECT_EQ(mac[1], 0xBB);
  EXPECT_EQ(mac[5], 0xFF);
}

TEST(EthDevFrames, OnlyWholeRecordsAreRead) {
  const std::string f29(29, 'n');
  const struct {
    std::string text;
    int ok;
    const char *ip, *mac, *name;
  } kCases[] = {
      {"PRINTSERVER\t10.0.0.9\t02-11-22-33-44-55\tFoo\t", 1, "10.0.0.9", "02-11-22-33-44-55",
       "Foo"},
      {"K\t10.0.0.9\tM\tFoo\textra\tmore", 1, "10.0.0.9", "M", "Foo"},
      {"K\t10.0.0.9\tM\tFoo", 1, "10.0.0.9", "M", "Foo"},
      {"K\t10.0.0.9\tM\t" + f29, 1, "10.0.0.9", "M", f29.c_str()},
      {"K\t10.0.0.9\tM\t" + f29 + "x", 0, "", "", ""},
      {"K\t10.0.0.9\t02-11-22-33-44-55", 0, "", "", ""},
      {"K\t\tM\tFoo", 0, "", "", ""},
      {"no tabs at all", 0, "", "", ""},
  };
  for (const auto& c : kCases) {
    char record[CEthDevFrames::kRecordSize] = {};
    std::memcpy(record, c.text.data(), c.text.size());
    CEthDevRecord r;
    EXPECT_EQ(CEthDevFrames::ParseRecord(record, r), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(r.strIp, c.ip);
      EXPECT_EQ(r.strMac, c.mac);
      EXPECT_EQ(r.strName, c.name);
    }
  }
  char full[CEthDevFrames::kRecordSize];
  std::memset(full, '\t', sizeof full);  // no terminating zero
  CEthDevRecord r;
  EXPECT_EQ(CEthDevFrames::ParseRecord(full, r), 0);
}

}  // namespace
