// The USB backend behind the Comm_* functions, with fake printers (its
// unplug log line reaches the window in UsbEngine_test.cpp).
#include "comm/usb/UsbCommBackend.h"

#include <gtest/gtest.h>

#include <cstring>

#include "comm/Cablox.h"
#include "platform/AppMessages.h"
#include "platform/LastError.h"
#include "testsupport/UsbTestSupport.h"

namespace {

const UsbEndpointInfo kOut{0x01, USB_TRANSFER_BULK, 512};
const UsbEndpointInfo kRtOut{0x02, USB_TRANSFER_BULK, 512};
const UsbEndpointInfo kIn{0x81, USB_TRANSFER_BULK, 512};
const UsbEndpointInfo kUsmIn{0x82, USB_TRANSFER_BULK, 512};
constexpr int kUsbSetupCode = 8;

using UsbCommBackendTest = CUsbLibraryTest;

TEST_F(UsbCommBackendTest, ListConnectPropertiesAndBreakDown) {
  auto device = AddPrinter(2, {kOut, kRtOut, kIn, kUsmIn});
  int usm = -1, rt = -1, count = 0;
  char table[50][128] = {};
  ASSERT_NE(0, Comm_GetPortParams(usm, rt, nullptr, count, table));
  EXPECT_EQ(1, count);
  EXPECT_STREQ("Acme P", table[0]);
  EXPECT_EQ(nullptr, Comm_GethCommPortTX());

  EXPECT_EQ(1u, Comm_IsConnectionValid(0, kUsbSetupCode, 0, 1, 0, 0, 0));
  ASSERT_EQ(1, Connect(0, 0, 0));
  EXPECT_EQ(1, m_nUsm);
  EXPECT_EQ(1, m_nRt);
  EXPECT_EQ(0u, Comm_IsConnectionValid(0, kUsbSetupCode, 0, 1, 0, 0, 0));
  EXPECT_EQ(1u, Comm_IsConnectionValid(0, kUsbSetupCode, 1, 1, 0, 0, 0));
  EXPECT_NE(0, Comm_IsPortAvailable());
  EXPECT_EQ(1, Comm_IsDevicePresent());
  ASSERT_NE(nullptr, Comm_GethCommPortRXUsm());
  EXPECT_FALSE(device->IsKernelDriverAttached());  // detached while open
  EXPECT_TRUE(device->IsClaimed(0));

  // (Writes and reads through the library: UsbEngine_test.cpp.)
  EXPECT_LE(Comm_GetCommPacketSize(), Comm_GetDownloadPacketSize());
  EXPECT_LE(Comm_GetDownloadPacketSize(), 32768u);
  char props[8192] = {};
  Comm_ShowPortProperties(props);
  EXPECT_NE(nullptr, std::strstr(props, "0x02 OUT bulk, 512 bytes: Real Time output"));

  uint8_t data[512];
  DWORD n = 0;
  ASSERT_EQ(
      0, Comm_ReadPort(Comm_GethCommPortRXUsm(), data, sizeof data, &n, Comm_GetOverlappedRXUsm()));
  ASSERT_EQ(ERROR_IO_PENDING, GetLastError());
  EXPECT_NE(0, Comm_BreakDownCommPort());
  EXPECT_EQ(ERROR_OPERATION_ABORTED, CollectOverlapped(Comm_GetOverlappedRXUsm()).first);
  EXPECT_EQ(0, Comm_IsConnected());
  EXPECT_TRUE(device->IsKernelDriverAttached());  // and given back
  EXPECT_EQ(0, device->OpenCount());
  EXPECT_EQ(0u, m_window.Count(WM_SHOW_ERROR));
}

TEST_F(UsbCommBackendTest, HeldPrinterReachesTheWindowAsCommError) {
  auto device = AddPrinter(2, {kOut});
  device->SetKernelDriver(false);
  device->SetClaimError(USB_ERROR_BUSY);
  EXPECT_EQ(0, Connect(1, 0, 0));
  ASSERT_TRUE(m_window.WaitForCount(WM_SHOW_ERROR, 1, 3000));
  QueuedMessage m = m_window.Filter(WM_SHOW_ERROR)[0];
  EXPECT_EQ(static_cast<WPARAM>(COMM_ERR_USB_BUSY), m.wParam);
  const auto* record = reinterpret_cast<const COMM_ERROR_RECORD*>(m.lParam);
  EXPECT_STREQ("Acme P", record->szText1);
  EXPECT_STREQ("the printer is in use by another program", record->szText2);
  EXPECT_EQ(0, Comm_IsPortAvailable());
}

}  // namespace
