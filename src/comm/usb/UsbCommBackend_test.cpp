// The USB backend behind the Comm_* functions, with fake printers.
#include "comm/usb/UsbCommBackend.h"

#include <gtest/gtest.h>

#include <cstring>

#include "comm/Cablox.h"
#include "comm/CommBackendRegistry.h"
#include "platform/AppMessages.h"
#include "platform/LastError.h"
#include "platform/MessageQueue.h"
#include "testsupport/FakeUsbApi.h"

namespace {

const UsbEndpointInfo kOut{0x01, USB_TRANSFER_BULK, 512};
const UsbEndpointInfo kRtOut{0x02, USB_TRANSFER_BULK, 512};
const UsbEndpointInfo kIn{0x81, USB_TRANSFER_BULK, 512};
const UsbEndpointInfo kUsmIn{0x82, USB_TRANSFER_BULK, 512};
constexpr DWORD kWaitMs = 3000;
constexpr int kUsbSetupCode = 8;

class UsbCommBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Comm_CloseCleanuo();
    Comm_RegisterBackendFactory(COMM_TYPE_USB, [this] {
      auto api = std::make_unique<CFakeUsbApi>();
      m_api = api.get();
      return std::make_unique<CUsbCommBackend>(std::move(api));
    });
    ASSERT_EQ(1, Comm_OpenSetup(&m_window, COMM_TYPE_USB));
  }
  void TearDown() override {
    Comm_CloseCleanuo();
    Comm_RegisterBackendFactory(COMM_TYPE_USB, nullptr);
  }

  std::shared_ptr<CFakeUsbDevice> AddPrinter(uint8_t address, std::vector<UsbEndpointInfo> eps) {
    auto device = m_api->AddDevice(CFakeUsbApi::PrinterInfo(address, "Acme", "P", std::move(eps)));
    device->SetKernelDriver(true);
    return device;
  }

  int Connect(int readersStopped, DWORD index, int outputPort) {
    int scratch1 = 0, scratch2 = 0;
    m_nUsm = m_nRt = -1;
    return Comm_UpdateConnection(readersStopped, index, nullptr, outputPort, m_nUsm, m_nRt,
                                 scratch1, scratch2);
  }

  static std::pair<DWORD, DWORD> Collect(OVERLAPPED* ov) {
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ov->hEvent, kWaitMs));
    DWORD bytes = 0;
    BOOL ok = GetOverlappedResult(nullptr, ov, &bytes, FALSE);
    return {ok ? ERROR_SUCCESS : GetLastError(), bytes};
  }

  CMessageQueue m_window;
  CFakeUsbApi* m_api = nullptr;
  int m_nUsm = -1;
  int m_nRt = -1;
};

TEST_F(UsbCommBackendTest, ConnectWriteReadStatusAndBreakDown) {
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

  const char text[] = "\x1b@Hello";
  DWORD n = 0;
  if (!Comm_WritePort(Comm_GethCommPortTX(), text, 7, &n, Comm_GetOverlappedTX())) {
    ASSERT_EQ(ERROR_IO_PENDING, GetLastError());
    EXPECT_EQ(std::make_pair(ERROR_SUCCESS, DWORD{7}), Collect(Comm_GetOverlappedTX()));
  }
  EXPECT_EQ(std::vector<uint8_t>(text, text + 7), device->Received(0x01));

  uint8_t data[512];
  ASSERT_EQ(0, Comm_ReadPort(Comm_GethCommPortRX(), data, sizeof data, &n, Comm_GetOverlappedRX()));
  ASSERT_EQ(ERROR_IO_PENDING, GetLastError());
  device->Feed(0x81, {0x14, 0x00});
  EXPECT_EQ(std::make_pair(ERROR_SUCCESS, DWORD{2}), Collect(Comm_GetOverlappedRX()));

  uint8_t status[512] = {};
  DWORD length = 0;
  DWORD bits = 99;
  OVERLAPPED own;
  device->SetPortStatus(0x30);  // error, paper empty
  ASSERT_EQ(1, Comm_InitGetDeviceStatus(status, sizeof status, &length, own));
  ASSERT_EQ(1, Comm_GetDeviceStatus(status, length, bits));
  EXPECT_EQ(USB_STATUS_ERROR | USB_STATUS_PAPER_OUT, bits);

  char props[8192] = {};
  Comm_ShowPortProperties(props);
  EXPECT_NE(nullptr, std::strstr(props, "0x02 OUT bulk, 512 bytes: Real Time output"));

  ASSERT_EQ(
      0, Comm_ReadPort(Comm_GethCommPortRXUsm(), data, sizeof data, &n, Comm_GetOverlappedRXUsm()));
  ASSERT_EQ(ERROR_IO_PENDING, GetLastError());
  EXPECT_NE(0, Comm_BreakDownCommPort());
  EXPECT_EQ(ERROR_OPERATION_ABORTED, Collect(Comm_GetOverlappedRXUsm()).first);
  EXPECT_EQ(0, Comm_IsConnected());
  EXPECT_TRUE(device->IsKernelDriverAttached());
  EXPECT_EQ(0u, m_window.Count(WM_SHOW_ERROR));
}

TEST_F(UsbCommBackendTest, HeldPrinterReachesTheWindowAsCommError) {
  auto device = AddPrinter(2, {kOut});
  device->SetKernelDriver(false);
  device->SetClaimError(USB_ERROR_BUSY);
  EXPECT_EQ(0, Connect(1, 0, 0));
  ASSERT_TRUE(m_window.WaitForCount(WM_SHOW_ERROR, 1, kWaitMs));
  QueuedMessage m = m_window.Filter(WM_SHOW_ERROR)[0];
  EXPECT_EQ(static_cast<WPARAM>(COMM_ERR_USB_BUSY), m.wParam);
  const auto* record = reinterpret_cast<const COMM_ERROR_RECORD*>(m.lParam);
  EXPECT_STREQ("Acme P", record->szText1);
  EXPECT_STREQ("the printer is in use by another program", record->szText2);
  EXPECT_EQ(0, Comm_IsPortAvailable());
}

TEST_F(UsbCommBackendTest, UnplugIsLoggedAndReconnectFollows) {
  auto device = AddPrinter(2, {kOut, kIn});
  ASSERT_EQ(1, Connect(0, 0, 0));
  EXPECT_EQ(nullptr, Comm_GethCommPortRXUsm());  // no USM endpoint
  uint8_t data[512];
  DWORD n = 0;
  ASSERT_EQ(0, Comm_ReadPort(Comm_GethCommPortRX(), data, sizeof data, &n, Comm_GetOverlappedRX()));
  device->Unplug();
  EXPECT_EQ(ERROR_DEVICE_NOT_CONNECTED, Collect(Comm_GetOverlappedRX()).first);
  EXPECT_EQ(0, Comm_IsDevicePresent());
  EXPECT_EQ(0, Comm_IsPortAvailable());
  ASSERT_TRUE(m_window.WaitForCount(WM_LOG_SYSTEM_ERROR, 1, kWaitMs));
  EXPECT_EQ(ERROR_DEVICE_NOT_CONNECTED, m_window.Filter(WM_LOG_SYSTEM_ERROR)[0].wParam);
  EXPECT_EQ(1u, Comm_IsConnectionValid(0, kUsbSetupCode, 0, 1, 0, 0, 0));

  AddPrinter(3, {kOut, kIn});
  ASSERT_EQ(1, Connect(1, 0, 0));
  EXPECT_EQ(1, Comm_IsDevicePresent());
}

TEST_F(UsbCommBackendTest, PacketSizesAndReadTimeout) {
  unsigned comm = Comm_GetCommPacketSize();
  unsigned download = Comm_GetDownloadPacketSize();
  unsigned str = Comm_GetStringPacketSize();
  for (unsigned size : {comm, download, str}) {
    EXPECT_NE(0u, size);
    EXPECT_EQ(0u, size & (size - 1)) << size;
  }
  EXPECT_LE(comm, download);
  EXPECT_LE(download, 32768u);
  EXPECT_EQ(CUsbBackend::kReadTimeoutMs, Comm_GetReadTimeout());
}

}  // namespace
