#include "comm/usb/UsbBackend.h"

#include <gtest/gtest.h>

#include <cstring>

#include "comm/CommBackend.h"
#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/LastError.h"
#include "testsupport/RecordingErrorSink.h"
#include "testsupport/UsbTestSupport.h"

namespace {

const UsbEndpointInfo kOut{0x01, USB_TRANSFER_BULK, 64};
const UsbEndpointInfo kRtOut{0x02, USB_TRANSFER_BULK, 64};
const UsbEndpointInfo kIn{0x81, USB_TRANSFER_BULK, 64};
const UsbEndpointInfo kUsmIn{0x83, USB_TRANSFER_INTERRUPT, 8};

class UsbBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 3; ++i)
      m_ov[i].hEvent = &m_events[i];
    auto api = std::make_unique<CFakeUsbApi>();
    m_api = api.get();
    CUsbBackend::Hooks hooks;
    hooks.show = [this](int code, const std::string& t1, const std::string& t2) {
      m_sink.ShowCommError(code, t1.c_str(), t2.c_str());
    };
    hooks.log = [this](DWORD code) { m_sink.LogSystemError(code); };
    m_backend = std::make_unique<CUsbBackend>(std::move(api), hooks);
  }

  std::shared_ptr<CFakeUsbDevice> AddPrinter(uint8_t address, const std::string& product,
                                             std::vector<UsbEndpointInfo> endpoints) {
    auto device =
        m_api->AddDevice(CFakeUsbApi::PrinterInfo(address, "Acme", product, std::move(endpoints)));
    device->SetKernelDriver(true);
    return device;
  }

  int Connect(DWORD index, int outputPort) {
    m_nUsm = m_nRt = -1;
    return m_backend->UpdateConnection(0, index, outputPort, m_nUsm, m_nRt);
  }

  // The library's three records, as it hands them in.
  OVERLAPPED* Tx() { return &m_ov[0]; }
  OVERLAPPED* Rx() { return &m_ov[1]; }
  OVERLAPPED* Usm() { return &m_ov[2]; }

  BOOL Write(const std::vector<uint8_t>& data) {
    DWORD written = 0;
    BOOL ok = m_backend->Write(data.data(), static_cast<DWORD>(data.size()), &written, Tx());
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
      auto [status, bytes] = CollectOverlapped(Tx());
      return status == ERROR_SUCCESS && bytes == data.size();
    }
    return ok;
  }

  CFakeUsbApi* m_api = nullptr;
  CEvent m_events[3] = {{true, false}, {true, false}, {true, false}};
  OVERLAPPED m_ov[3];
  CRecordingErrorSink m_sink;  // outlives the backend that reports to it
  std::unique_ptr<CUsbBackend> m_backend;
  int m_nUsm = -1;
  int m_nRt = -1;
};

TEST_F(UsbBackendTest, SetupFailsClearlyWithoutLibUsb) {
  m_api->SetInitError(USB_ERROR_NO_MEM);
  EXPECT_EQ(0, m_backend->Setup());
  EXPECT_EQ(0, m_backend->IsOpened());
  ASSERT_EQ(1u, m_sink.Shown().size());
  EXPECT_EQ(COMM_ERR_USB_UNAVAILABLE, m_sink.Shown()[0].code);
  int usm = 0, rt = 0, count = 7;
  char table[50][128];
  EXPECT_EQ(0, m_backend->GetPortParams(usm, rt, count, table));
}

TEST_F(UsbBackendTest, ListsPrintersAndConnectsWithTheirChannels) {
  AddPrinter(2, "Alpha", {kOut, kIn});
  AddPrinter(3, "Alpha", {kOut, kRtOut, kIn, kUsmIn});
  ASSERT_EQ(1, m_backend->Setup());
  int usm = -1, rt = -1, count = 0;
  char table[50][128] = {};
  ASSERT_EQ(1, m_backend->GetPortParams(usm, rt, count, table));
  EXPECT_EQ(2, count);
  EXPECT_STREQ("Acme Alpha", table[0]);
  EXPECT_STREQ("Acme Alpha", table[1]);
  EXPECT_EQ(0, usm);
  EXPECT_EQ(0, rt);

  EXPECT_EQ(1u, m_backend->IsConnectionValid(1, 0));  // none open: connect
  ASSERT_EQ(1, Connect(1, 0));
  EXPECT_EQ(1, m_nUsm);
  EXPECT_EQ(1, m_nRt);
  EXPECT_EQ(0u, m_backend->IsConnectionValid(1, 0));
  EXPECT_EQ(1u, m_backend->IsConnectionValid(1, 1));
  EXPECT_EQ(1u, m_backend->IsConnectionValid(0, 0));
  ASSERT_EQ(1, m_backend->GetPortParams(usm, rt, count, table));
  EXPECT_EQ(1, usm);
  EXPECT_EQ(1, rt);

  ASSERT_EQ(1, Connect(0, 0));
  EXPECT_EQ(0, m_nUsm);
  EXPECT_EQ(0, m_nRt);
  EXPECT_TRUE(m_sink.Shown().empty());
}

TEST_F(UsbBackendTest, OutputPortChoosesTheEndpointWithoutReopening) {
  auto device = AddPrinter(2, "P", {kOut, kRtOut, kIn});
  ASSERT_EQ(1, m_backend->Setup());
  ASSERT_EQ(1, Connect(0, 0));
  ASSERT_TRUE(Write({1, 2, 3}));
  ASSERT_EQ(1, Connect(0, 1));
  EXPECT_EQ(1, device->OpenCount());
  ASSERT_TRUE(Write({4, 5}));
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), device->Received(0x01));
  EXPECT_EQ((std::vector<uint8_t>{4, 5}), device->Received(0x02));

  auto plain = AddPrinter(3, "Q", {kOut, kIn});
  ASSERT_EQ(1, Connect(1, 1));  // no real-time endpoint: the normal one
  EXPECT_EQ(0, m_nRt);
  ASSERT_TRUE(Write({6}));
  EXPECT_EQ((std::vector<uint8_t>{6}), plain->Received(0x01));
  // Reading the output channel is refused. (The input endpoints' reads:
  // UsbEngine_test.cpp, through the reader threads.)
  uint8_t data[1];
  DWORD n = 0;
  EXPECT_FALSE(m_backend->Read(COMM_CHANNEL_TX, data, 1, &n, Rx()));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

TEST_F(UsbBackendTest, APrinterThatMovedInTheListIsKept) {
  auto first = AddPrinter(2, "A", {kOut});
  auto second = AddPrinter(3, "B", {kOut});
  ASSERT_EQ(1, m_backend->Setup());
  ASSERT_EQ(1, Connect(1, 0));
  first->Unplug();  // B is now the first printer
  EXPECT_EQ(1u, m_backend->IsConnectionValid(0, 0));
  ASSERT_EQ(1, Connect(0, 0));
  EXPECT_EQ(1, second->OpenCount());
  EXPECT_EQ(0u, m_backend->IsConnectionValid(0, 0));
  EXPECT_EQ(1u, m_backend->IsConnectionValid(1, 0));
}

// The status is asked afresh once the cached answer is older than
// kStatusCacheMs; without a printer there is none.
TEST_F(UsbBackendTest, StatusBitsFollowThePortStatus) {
  auto device = AddPrinter(2, "P", {kOut, kIn});
  ASSERT_EQ(1, m_backend->Setup());
  uint8_t buffer[512] = {};
  DWORD length = 0;
  DWORD status = 99;
  OVERLAPPED ov;
  EXPECT_EQ(0, m_backend->InitGetDeviceStatus(buffer, sizeof buffer, &length, ov));
  EXPECT_EQ(0, m_backend->GetDeviceStatus(buffer, 0, status));

  device->SetPortStatus(0x10);  // error, paper present
  ASSERT_EQ(1, Connect(0, 0));
  ASSERT_EQ(1, m_backend->InitGetDeviceStatus(buffer, sizeof buffer, &length, ov));
  ASSERT_EQ(1u, length);
  ASSERT_EQ(1, m_backend->GetDeviceStatus(buffer, length, status));
  EXPECT_EQ(USB_STATUS_ERROR, status);
  device->SetPortStatus(0x38);  // no error, paper empty
  Sleep(CUsbBackend::kStatusCacheMs + 20);
  ASSERT_EQ(1, m_backend->GetDeviceStatus(buffer, 0, status));
  EXPECT_EQ(USB_STATUS_PAPER_OUT, status);
}

TEST_F(UsbBackendTest, UnplugIsFollowedEverywhere) {
  auto device = AddPrinter(2, "P", {kOut, kIn});
  ASSERT_EQ(1, m_backend->Setup());
  ASSERT_EQ(1, Connect(0, 0));
  EXPECT_EQ(1, m_backend->IsDevicePresent());
  uint8_t data[512];
  DWORD n = 0;
  ASSERT_FALSE(m_backend->Read(COMM_CHANNEL_RX, data, sizeof data, &n, Rx()));
  device->Unplug();
  EXPECT_EQ(ERROR_DEVICE_NOT_CONNECTED, CollectOverlapped(Rx()).first);
  EXPECT_EQ(0, m_backend->IsDevicePresent());
  EXPECT_FALSE(Write({1}));
  EXPECT_EQ(ERROR_DEVICE_NOT_CONNECTED, GetLastError());
  EXPECT_EQ(1u, m_backend->IsConnectionValid(0, 0));
  EXPECT_EQ((std::vector<DWORD>{ERROR_DEVICE_NOT_CONNECTED}), m_sink.Logged());
  EXPECT_TRUE(m_sink.Shown().empty());  // unplugging is logged, not shown

  // The printer comes back (restarted into another mode): reconnect.
  auto back = AddPrinter(5, "P", {kOut, kIn});
  ASSERT_EQ(1, Connect(0, 0));
  EXPECT_EQ(1, m_backend->IsDevicePresent());
  ASSERT_TRUE(Write({7}));
  EXPECT_EQ((std::vector<uint8_t>{7}), back->Received(0x01));
}

TEST_F(UsbBackendTest, IdlePrinterUnplugIsNoticedByAsking) {
  auto device = AddPrinter(2, "P", {kOut});
  ASSERT_EQ(1, m_backend->Setup());
  ASSERT_EQ(1, Connect(0, 0));
  device->Unplug();
  Sleep(CUsbBackend::kPresenceProbeMs + 50);
  EXPECT_EQ(0, m_backend->IsDevicePresent());
}

TEST_F(UsbBackendTest, PrinterHeldElsewhereGivesAClearError) {
  auto device = AddPrinter(2, "P", {kOut, kIn});
  ASSERT_EQ(1, m_backend->Setup());
  device->SetKernelDriver(false);
  device->SetClaimError(USB_ERROR_BUSY);
  EXPECT_EQ(0, Connect(0, 0));
  ASSERT_EQ(1u, m_sink.Shown().size());
  EXPECT_EQ(COMM_ERR_USB_BUSY, m_sink.Shown()[0].code);
  EXPECT_EQ("Acme P", m_sink.Shown()[0].text1);
  EXPECT_EQ(0, device->OpenCount());

  device->SetClaimError(USB_SUCCESS);
  device->SetKernelDriver(true, USB_ERROR_ACCESS);
  EXPECT_EQ(0, Connect(0, 0));
  ASSERT_EQ(2u, m_sink.Shown().size());
  EXPECT_EQ(COMM_ERR_USB_BUSY, m_sink.Shown()[1].code);
  EXPECT_NE(std::string::npos, m_sink.Shown()[1].text2.find("usblp"));
  EXPECT_TRUE(device->IsKernelDriverAttached());
  EXPECT_EQ(0, m_backend->IsConnected());
}

TEST_F(UsbBackendTest, ConnectFailuresCarryTheirCodes) {
  ASSERT_EQ(1, m_backend->Setup());
  EXPECT_EQ(0, Connect(0, 0));
  auto device = AddPrinter(2, "P", {kOut});
  EXPECT_EQ(0, Connect(3, 0));
  auto noOut = AddPrinter(3, "In only", {kIn});
  EXPECT_EQ(0, Connect(1, 0));
  device->SetOpenError(USB_ERROR_ACCESS);
  EXPECT_EQ(0, Connect(0, 0));
  auto shown = m_sink.Shown();
  ASSERT_EQ(4u, shown.size());
  EXPECT_EQ(COMM_ERR_NOT_PRESENT, shown[0].code);
  EXPECT_EQ(COMM_ERR_INVALID_INDEX, shown[1].code);
  EXPECT_EQ("3", shown[1].text1);
  EXPECT_EQ(COMM_ERR_USB_NO_PRINTER_IF, shown[2].code);
  EXPECT_EQ(COMM_ERR_OPEN_FAILED, shown[3].code);
  EXPECT_NE(std::string::npos, shown[3].text2.find("permission"));
}

TEST_F(UsbBackendTest, BreakDownCompletesPendingWithAborted) {
  auto device = AddPrinter(2, "P", {kOut, kIn, kUsmIn});
  ASSERT_EQ(1, m_backend->Setup());
  ASSERT_EQ(1, Connect(0, 0));
  device->SetOutBlocked(true);
  uint8_t data[512];
  uint8_t usm[512];
  DWORD n = 0;
  ASSERT_FALSE(m_backend->Write(data, 100, &n, Tx()));
  ASSERT_FALSE(m_backend->Read(COMM_CHANNEL_RX, data, sizeof data, &n, Rx()));
  ASSERT_FALSE(m_backend->Read(COMM_CHANNEL_RX_USM, usm, sizeof usm, &n, Usm()));
  EXPECT_EQ(1, m_backend->BreakDown());
  // Completed before BreakDown returned.
  for (OVERLAPPED* ov : {Tx(), Rx(), Usm()}) {
    EXPECT_TRUE(ov->hEvent->IsSet());
    EXPECT_EQ(ERROR_OPERATION_ABORTED, CollectOverlapped(ov).first);
  }
  EXPECT_FALSE(m_backend->Read(COMM_CHANNEL_RX, data, 1, &n, Rx()));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

TEST_F(UsbBackendTest, FailingTransfersAreShownOnce) {
  auto device = AddPrinter(2, "P", {kOut, kIn});
  ASSERT_EQ(1, m_backend->Setup());
  ASSERT_EQ(1, Connect(0, 0));
  device->SetTransferError(USB_ERROR_IO);
  EXPECT_FALSE(Write({1}));
  EXPECT_FALSE(Write({2}));
  auto shown = m_sink.Shown();
  ASSERT_EQ(1u, shown.size());
  EXPECT_EQ(COMM_ERR_USB_TRANSFER, shown[0].code);
  EXPECT_EQ((std::vector<DWORD>{ERROR_IO_DEVICE}), m_sink.Logged());
}

TEST_F(UsbBackendTest, PropertiesDescribeTheOpenPrinter) {
  auto device = AddPrinter(2, "P", {kOut, kIn});
  AddPrinter(3, "Q", {kOut});
  ASSERT_EQ(1, m_backend->Setup());
  char text[8192] = {};
  m_backend->ShowPortProperties(text, sizeof text);
  EXPECT_NE(nullptr, std::strstr(text, "USB printers found: 2\r\n"));

  device->SetDeviceId("MFG:Acme;CMD:ESC/POS;MDL:P;");
  ASSERT_EQ(1, Connect(0, 0));
  m_backend->ShowPortProperties(text, sizeof text);
  EXPECT_NE(nullptr, std::strstr(text, "USB printer: Acme P\r\n"));
  EXPECT_NE(nullptr, std::strstr(text, "Serial number: SN2"));
  EXPECT_NE(nullptr, std::strstr(text, "IEEE 1284 device ID: MFG:Acme;CMD:ESC/POS;MDL:P;"));
  EXPECT_NE(nullptr, std::strstr(text, "Port status: 0x18"));

  char tiny[16];
  m_backend->ShowPortProperties(tiny, sizeof tiny);
  EXPECT_EQ(15u, std::strlen(tiny));
}

// A worker stuck in a transfer is left running detached by the break-down
// (after CUsbChannel::kStopWaitMs); when its transfer finally fails, the
// backend that made it is gone and the report must go nowhere.
TEST_F(UsbBackendTest, WorkerLeftBehindReportsNothingAfterTheBackendIsGone) {
  auto device = AddPrinter(2, "P", {kOut, kIn});
  ASSERT_EQ(1, m_backend->Setup());
  ASSERT_EQ(1, Connect(0, 0));
  device->SetHung(true);
  uint8_t data[64] = {};
  DWORD n = 0;
  ASSERT_FALSE(m_backend->Read(COMM_CHANNEL_RX, data, sizeof data, &n, Rx()));
  Sleep(50);  // the worker is inside the hung transfer
  EXPECT_EQ(1, m_backend->BreakDown());
  EXPECT_EQ(ERROR_OPERATION_ABORTED, CollectOverlapped(Rx()).first);
  m_backend.reset();
  const size_t logged = m_sink.Logged().size();
  device->Unplug();  // the transfer fails with "no device", which the worker reports
  device->SetHung(false);
  for (int i = 0; i < 300 && device->OpenCount() > 0; ++i)
    Sleep(10);
  EXPECT_EQ(0, device->OpenCount());  // the worker ended and closed its handle
  EXPECT_EQ(logged, m_sink.Logged().size());
}

}  // namespace
