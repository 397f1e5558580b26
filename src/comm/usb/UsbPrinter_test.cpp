#include "comm/usb/UsbPrinter.h"

#include <gtest/gtest.h>

#include "comm/usb/LibUsbApi.h"
#include "comm/usb/UsbPropertiesText.h"
#include "testsupport/FakeUsbApi.h"

namespace {

const UsbEndpointInfo kOut1{0x01, USB_TRANSFER_BULK, 64};
const UsbEndpointInfo kOut2{0x02, USB_TRANSFER_BULK, 64};
const UsbEndpointInfo kIn1{0x81, USB_TRANSFER_BULK, 64};
const UsbEndpointInfo kIn2{0x82, USB_TRANSFER_BULK, 64};
const UsbEndpointInfo kIntIn{0x83, USB_TRANSFER_INTERRUPT, 8};

USB_PRINTER Choose(std::vector<UsbEndpointInfo> endpoints) {
  USB_PRINTER printer;
  EXPECT_TRUE(ChooseUsbPrinterInterface(
      CFakeUsbApi::PrinterInfo(2, "Acme", "P1", std::move(endpoints)), printer));
  return printer;
}

TEST(UsbPrinter, ListsOnlyPrintersWithTheirNamesAtMostFifty) {
  CFakeUsbApi api;
  api.AddDevice(CFakeUsbApi::PrinterInfo(2, "Acme", "Alpha", {kOut1, kIn1}));
  UsbDeviceInfo keyboard = CFakeUsbApi::PrinterInfo(3, "Keys", "Board", {kIntIn});
  keyboard.interfaces[0].cls = 3;  // HID
  api.AddDevice(keyboard);
  api.AddDevice(CFakeUsbApi::PrinterInfo(4, "Acme", "Alpha", {kOut1}));
  api.AddDevice(CFakeUsbApi::PrinterInfo(5, "", "", {kOut1}));
  auto mute = api.AddDevice(CFakeUsbApi::PrinterInfo(6, "Beta", "Corp", {kOut1}));
  mute->SetStringsReadable(false);  // no permission to open it

  std::vector<USB_PRINTER> printers;
  ASSERT_EQ(USB_SUCCESS, ListUsbPrinters(api, printers));
  ASSERT_EQ(4u, printers.size());
  EXPECT_EQ("Acme Alpha", printers[0].name);
  EXPECT_EQ("Acme Alpha", printers[1].name);  // the panel numbers duplicates
  EXPECT_EQ(4, printers[1].device.address);
  EXPECT_EQ("USB Printer 1234:5605", printers[2].name);
  EXPECT_EQ("USB Printer 1234:5606", printers[3].name);

  api.SetListError(USB_ERROR_NO_MEM);
  EXPECT_EQ(USB_ERROR_NO_MEM, ListUsbPrinters(api, printers));

  CFakeUsbApi many;  // the list holds at most fifty
  for (int i = 0; i < 60; ++i)
    many.AddDevice(CFakeUsbApi::PrinterInfo(static_cast<uint8_t>(i + 1), "A", "B", {kOut1}));
  ASSERT_EQ(USB_SUCCESS, ListUsbPrinters(many, printers));
  EXPECT_EQ(USB_MAX_PRINTERS, printers.size());
}

TEST(UsbPrinter, NamesAreCleanAndBounded) {
  UsbDeviceInfo info;
  info.manufacturer = "  Acme\t";
  EXPECT_EQ("Acme", MakeUsbPrinterName(info));
  info.manufacturer.clear();
  info.product = "TM-1";
  EXPECT_EQ("TM-1", MakeUsbPrinterName(info));
  info.manufacturer = std::string(200, 'x');
  EXPECT_EQ(127u, MakeUsbPrinterName(info).size());
}

// Addresses of the out, real-time out, in and USM in roles (0: none).
TEST(UsbPrinter, EndpointRoles) {
  struct Case {
    std::vector<UsbEndpointInfo> endpoints;
    uint8_t out, rtOut, in, usmIn;
  };
  const Case cases[] = {
      {{kIn1, kOut1}, 0x01, 0, 0x81, 0},
      {{kOut1, kIn1, kOut2}, 0x01, 0x02, 0x81, 0},
      {{kOut1, kIn1, kIn2}, 0x01, 0, 0x81, 0x82},
      {{kIntIn, kOut1, kIn1}, 0x01, 0, 0x81, 0x83},  // data from bulk, whatever the order
      {{kIn1}, 0, 0, 0x81, 0},
  };
  for (const Case& c : cases) {
    USB_PRINTER p = Choose(c.endpoints);
    EXPECT_EQ((std::vector<int>{p.out.address, p.rtOut.address, p.in.address, p.usmIn.address}),
              (std::vector<int>{c.out, c.rtOut, c.in, c.usmIn}))
        << c.endpoints.size();
  }
}

TEST(UsbPrinter, PrefersTheBidirectionalSetting) {
  UsbDeviceInfo info = CFakeUsbApi::PrinterInfo(2, "A", "B", {kOut1});
  info.interfaces[0].protocol = 1;
  UsbInterfaceInfo bidi = info.interfaces[0];
  bidi.altSetting = 1;
  bidi.protocol = 2;
  bidi.endpoints = {kOut1, kIn1};
  info.interfaces.push_back(bidi);
  USB_PRINTER printer;
  ASSERT_TRUE(ChooseUsbPrinterInterface(info, printer));
  EXPECT_EQ(1, printer.iface.altSetting);
  EXPECT_EQ(0x81, printer.in.address);

  info.interfaces.clear();
  EXPECT_FALSE(ChooseUsbPrinterInterface(info, printer));
}

TEST(UsbPrinter, PortStatusBits) {
  EXPECT_EQ(0u, UsbPortStatusToLineStatus(0x18));  // not error, selected
  EXPECT_EQ(USB_STATUS_ERROR, UsbPortStatusToLineStatus(0x10));
  EXPECT_EQ(USB_STATUS_PAPER_OUT, UsbPortStatusToLineStatus(0x38));
  EXPECT_EQ(USB_STATUS_ERROR | USB_STATUS_PAPER_OUT, UsbPortStatusToLineStatus(0x20));
}

TEST(UsbPrinter, DeviceIdParsingTrustsOnlyWhatArrived) {
  const uint8_t ok[] = {0x00, 0x0A, 'M', 'F', 'G', ':', 'A', ';', 'x', 'y', 'z', 'z'};
  EXPECT_EQ("MFG:A;xy", ParseUsbDeviceId(ok, sizeof ok));
  const uint8_t overlong[] = {0x7F, 0xFF, 'M', 'D', 'L'};
  EXPECT_EQ("MDL", ParseUsbDeviceId(overlong, sizeof overlong));
  const uint8_t little[] = {0x05, 0x00, 'A', 'B', 'C', 'D'};
  EXPECT_EQ("ABC", ParseUsbDeviceId(little, sizeof little));
  const uint8_t control[] = {0x00, 0x05, 'A', 0x01, 'B'};
  EXPECT_EQ("A.B", ParseUsbDeviceId(control, sizeof control));
  EXPECT_EQ("", ParseUsbDeviceId(ok, 1));
  EXPECT_EQ("", ParseUsbDeviceId(nullptr, 4));
}

TEST(UsbPrinter, PropertiesTextNamesEveryEndpointRole) {
  USB_PRINTER printer = Choose({kOut1, kOut2, kIn1, kIntIn});
  printer.name = "Acme P1";
  USB_PROPERTIES props;
  props.printer = &printer;
  props.outputPort = 1;
  props.driverDetached = true;
  props.present = true;
  props.deviceId = "MFG:Acme;MDL:P1;";
  props.portStatus = 0x30;
  std::string text = FormatUsbProperties(props);
  for (const char* line :
       {"USB printer: Acme P1\r\n", "Vendor ID: 0x1234, Product ID: 0x5602",
        "0x01 OUT bulk, 64 bytes: Norm/RT output\r\n",
        "0x02 OUT bulk, 64 bytes: Real Time output (selected)",
        "0x81 IN bulk, 64 bytes: data input", "0x83 IN interrupt, 8 bytes: USM input",
        "IEEE 1284 device ID: MFG:Acme;MDL:P1;", "(ERROR, selected, PAPER OUT)",
        "detached while open (usblp)"}) {
    EXPECT_NE(std::string::npos, text.find(line)) << line;
  }

  USB_PROPERTIES closed;
  closed.available = {"Acme Alpha", "Beta"};
  text = FormatUsbProperties(closed);
  EXPECT_NE(std::string::npos, text.find("USB printers found: 2\r\n  Acme Alpha\r\n  Beta\r\n"));
}

// The real libusb build: it must link and, on a machine without a USB bus
// (or without permission), still answer without crashing.
TEST(UsbPrinter, RealLibUsbEnumerates) {
  CLibUsbApi api;
  if (api.Init() != USB_SUCCESS)
    GTEST_SKIP() << "libusb cannot start here";
  std::vector<USB_PRINTER> printers;
  int result = ListUsbPrinters(api, printers);
  EXPECT_TRUE(result == USB_SUCCESS || result < 0);
  EXPECT_LE(printers.size(), USB_MAX_PRINTERS);
  EXPECT_FALSE(api.ErrorText(USB_ERROR_BUSY).empty());
}

}  // namespace
