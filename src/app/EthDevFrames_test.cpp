// The device-setup frames byte for byte, and what is read from discovery
// records and MAC texts.
#include "app/EthDevFrames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<int> Bytes(const std::string& s) {
  std::vector<int> out;
  for (char c : s)
    out.push_back(static_cast<unsigned char>(c));
  return out;
}

TEST(EthDevFrames, WorkedExampleByteForByte) {
  const BYTE mac[6] = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
  const BYTE ip[4] = {10, 0, 0, 5};
  EXPECT_EQ(Bytes(CEthDevFrames::BuildChip(mac, ip)),
            (std::vector<int>{0x49, 0x50, 0x3D, 0x43, 0x48, 0x49, 0x50, 0x02, 0x11, 0x22, 0x33,
                              0x44, 0x55, 0x0A, 0x00, 0x00, 0x05}));
  EXPECT_EQ(
      Bytes(CEthDevFrames::BuildChno(mac, "Bar")),
      (std::vector<int>{0x49, 0x50, 0x3D, 0x43, 0x48, 0x4E, 0x4F, 0x02, 0x11, 0x22, 0x33, 0x44,
                        0x55, 0x42, 0x61, 0x72, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20}));
  EXPECT_EQ(Bytes(CEthDevFrames::BuildRest(mac)),
            (std::vector<int>{0x49, 0x50, 0x3D, 0x52, 0x45, 0x53, 0x54, 0x02, 0x11, 0x22, 0x33,
                              0x44, 0x55}));
}

TEST(EthDevFrames, ZeroBytesKeepTheFullLengthAndLongNamesAreCut) {
  const BYTE mac[6] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  const BYTE ip[4] = {0, 0, 0, 0};
  std::string chip = CEthDevFrames::BuildChip(mac, ip);
  ASSERT_EQ(chip.size(), 17u);
  EXPECT_EQ(chip.c_str()[17], '\0');  // the zero byte after the frame
  EXPECT_EQ(CEthDevFrames::BuildChno(mac, "AB").substr(13), "AB        ");
  EXPECT_EQ(CEthDevFrames::BuildChno(mac, "ABCDEFGHIJKL").substr(13), "ABCDEFGHIJ");
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
