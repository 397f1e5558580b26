// The transfer engine's writer and reader threads over the USB backend and a
// fake printer: what the program does with a USB printer, end to end below
// the window.
#include <gtest/gtest.h>

#include <thread>

#include "comm/Cablox.h"
#include "comm/usb/UsbPrinter.h"
#include "engine/TransferEngine.h"
#include "platform/AppMessages.h"
#include "platform/Clock.h"
#include "platform/LastError.h"
#include "testsupport/EngineTestSupport.h"
#include "testsupport/RecordingEvents.h"
#include "testsupport/UsbTestSupport.h"

namespace {

const UsbEndpointInfo kOut{0x01, USB_TRANSFER_BULK, 64};
const UsbEndpointInfo kIn{0x81, USB_TRANSFER_BULK, 64};
const UsbEndpointInfo kUsmIn{0x82, USB_TRANSFER_INTERRUPT, 8};
constexpr DWORD kWaitMs = 5000;

class UsbEngineTest : public CUsbLibraryTest {
 protected:
  void SetUp() override {
    CUsbLibraryTest::SetUp();
    m_device = AddPrinter(2, {kOut, kIn, kUsmIn});
    ASSERT_EQ(1, Connect(0, 0, 0));
    ASSERT_EQ(1, m_nUsm);
    m_engine.SetEvents(&m_events);
    m_engine.SetConnectionParams(COMM_TYPE_USB, 0, 0, m_nRt, m_nUsm, 1);
  }
  void TearDown() override {
    m_engine.Shutdown();
    CUsbLibraryTest::TearDown();
    m_engine.SetEvents(nullptr);
  }

  CTransferObjects m_io;
  CTransferEngine m_engine{m_io};
  std::shared_ptr<CFakeUsbDevice> m_device;
  CRecordingEvents m_events;
};

TEST_F(UsbEngineTest, ReadersFillTheRingsAndReportTheStatus) {
  m_device->SetPortStatus(0x10);  // error, paper present
  m_io.rxUsmFeed.SetEnabled(true);
  ASSERT_EQ(1, m_engine.StartReaders());
  const std::vector<BYTE> data = TestPattern(1300);
  m_device->Feed(0x81, data);
  m_device->Feed(0x82, {0xA1, 0xA2});
  ASSERT_EQ(1, m_io.rxDataBuffer.WaitForCount(1300, kWaitMs, nullptr));
  ASSERT_TRUE(WaitForFeed(m_io.rxUsmFeed, 2, kWaitMs));
  for (size_t i = 0; i < data.size(); ++i)
    ASSERT_EQ(data[i], m_io.rxDataBuffer.Get()) << i;
  EXPECT_EQ(0xA1, TakeAll(m_io.rxUsmFeed)[0]);

  ASSERT_TRUE(m_events.WaitForCount(EventKind::kLineStatus, 1, kWaitMs));
  EXPECT_EQ(USB_STATUS_ERROR, m_events.Filter(EventKind::kLineStatus)[0].value);
  // (A status that changes: UsbBackend_test.cpp, past the status cache.)
  // An idle printer is polled at the read time-out's pace, not flooded.
  size_t before = m_events.Count(EventKind::kLineStatus);
  Sleep(1000);
  EXPECT_LE(m_events.Count(EventKind::kLineStatus) - before, 30u);
  m_engine.StopReaders();
}

TEST_F(UsbEngineTest, UnplugEndsTheDataReaderAndIsLogged) {
  ASSERT_EQ(1, m_engine.StartReaders());
  Sleep(50);
  m_device->Unplug();
  ASSERT_NE(nullptr, m_engine.m_pReadThread);
  EXPECT_EQ(WAIT_OBJECT_0, m_engine.m_pReadThread->Wait(kWaitMs));
  EXPECT_EQ(0, Comm_IsDevicePresent());
  EXPECT_EQ(1u, Comm_IsConnectionValid(0, 8, 0, 1, 0, 0, 0));
  ASSERT_TRUE(m_window.WaitForCount(WM_LOG_SYSTEM_ERROR, 1, kWaitMs));
  EXPECT_EQ(ERROR_DEVICE_NOT_CONNECTED, m_window.Filter(WM_LOG_SYSTEM_ERROR)[0].wParam);
  m_engine.StopReaders();
}

TEST_F(UsbEngineTest, PacketsReachThePrinterAndAnAbortDoesNotWedgeTheChannel) {
  const std::vector<BYTE> file = TestPattern(10000);
  EXPECT_EQ(10000, m_engine.WritePacket(file.data(), 10000, Comm_GetCommPacketSize(), 0));
  EXPECT_EQ(file, m_device->Received(0x01));

  // The printer stops taking bytes; the operator aborts.
  m_device->SetOutBlocked(true);
  std::thread abort([this] {
    Sleep(200);
    SetEvent(m_io.AbortEvent());
  });
  EXPECT_EQ(-1, m_engine.WriterGeneric(file.data(), 100));
  abort.join();
  // The printer takes bytes again: the next job's bytes go out whole.
  ResetEvent(m_io.AbortEvent());
  m_device->SetOutBlocked(false);
  EXPECT_EQ(3, m_engine.WriterGeneric(reinterpret_cast<const BYTE*>("abc"), 3));
  std::vector<uint8_t> got = m_device->Received(0x01);
  ASSERT_GE(got.size(), 10003u);
  EXPECT_EQ('c', got.back());
}

}  // namespace
