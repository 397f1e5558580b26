#include "DeviceSetup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes FrameFor(const std::string& word, const Bytes& mac, const Bytes& field) {
  Bytes frame = Text("IP=" + word);
  frame.insert(frame.end(), mac.begin(), mac.end());
  frame.insert(frame.end(), field.begin(), field.end());
  return frame;
}

const Bytes kMac = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};

}  // namespace

// Frames for another device or malformed change nothing and get no reply;
// the worked examples (new address 10.0.0.5, new name Bar) are acknowledged
// with their word and the MAC and show in the discovery record.
TEST(SimDeviceSetup, FramesChangeIdentityAndMalformedOnesAreIgnored) {
  CDeviceSetup setup;
  ASSERT_TRUE(setup.SetMac("02-11-22-33-44-55"));
  setup.SetName("Foo");
  Bytes reply;
  const Bytes other = {0x02, 0x11, 0x22, 0x33, 0x44, 0x56};
  const Bytes ignored[] = {
      FrameFor("CHIP", other, {1, 2, 3, 4}),  // another MAC
      FrameFor("CHIP", kMac, {1, 2, 3}),      // too short
      FrameFor("CHNO", kMac, Text("Bar")),    // name not padded
      FrameFor("REST", kMac, {7}),            // extra byte that is not a terminator
      FrameFor("XXXX", kMac, {}),             // unknown word
      Text("IP=FIND\n"),                      // not exactly the query
      Text("IP"),
  };
  for (const Bytes& frame : ignored) {
    EXPECT_EQ(setup.Handle(frame.data(), frame.size(), true, reply), CDeviceSetup::Action::None);
    EXPECT_TRUE(reply.empty());
  }
  const Bytes chip = FrameFor("CHIP", kMac, {0x0A, 0x00, 0x00, 0x05});
  EXPECT_EQ(setup.Handle(chip.data(), chip.size(), true, reply), CDeviceSetup::Action::ChangedIp);
  EXPECT_EQ(reply, FrameFor("OKCHIP", kMac, {}));
  Bytes chno = FrameFor("CHNO", kMac, Text("Bar       "));
  chno.push_back(0);  // the sender's terminator may travel along
  EXPECT_EQ(setup.Handle(chno.data(), chno.size(), true, reply), CDeviceSetup::Action::ChangedName);
  EXPECT_EQ(reply, FrameFor("OKCHNO", kMac, {}));
  const Bytes find = Text("IP=FIND");
  EXPECT_EQ(setup.Handle(find.data(), find.size(), true, reply), CDeviceSetup::Action::Discovered);
  EXPECT_EQ(std::string(reply.begin(), reply.end()),
            "PRINTSERVER\t10.0.0.5\t02-11-22-33-44-55\tBar\t");
  const Bytes rest = FrameFor("REST", kMac, {});
  EXPECT_EQ(setup.Handle(rest.data(), rest.size(), false, reply), CDeviceSetup::Action::Restart);
  EXPECT_TRUE(reply.empty());  // acknowledgement withheld
}

TEST(SimDeviceSetup, NamesCannotBreakTheRecord) {
  CDeviceSetup setup;
  setup.SetName(std::string("A\tB\0C", 5));
  EXPECT_EQ(setup.GetName(), "A?B");
  setup.SetName(std::string(300, 'n'));
  const std::string record = setup.GetRecord();
  EXPECT_LE(record.size(), CDeviceSetup::kMaxRecord);
  EXPECT_EQ(record.back(), '\t');
  Bytes reply;
  const Bytes blank = FrameFor("CHNO", {0x02, 0, 0, 0, 0, 0x01}, Text("          "));
  EXPECT_EQ(setup.Handle(blank.data(), blank.size(), true, reply),
            CDeviceSetup::Action::ChangedName);
  EXPECT_EQ(setup.GetName(), "");
  std::array<uint8_t, 6> mac{};
  EXPECT_TRUE(ParseMacText("0a:0B:0c:0D:0e:0F", mac));
  EXPECT_FALSE(ParseMacText("0a-0b-0c-0d-0e", mac));
  EXPECT_FALSE(ParseMacText("0g-0b-0c-0d-0e-0f", mac));
}
