#include "comm/usb/UsbChannel.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/LastError.h"
#include "testsupport/UsbTestSupport.h"

// (Stop and unplug of pending requests: UsbBackend_test.cpp, through the
// backend's break-down and an unplugged printer.)
namespace {

const UsbEndpointInfo kOut{0x01, USB_TRANSFER_BULK, 64};
const UsbEndpointInfo kIn{0x81, USB_TRANSFER_BULK, 64};

// A fake printer opened and claimed, with a channel per test.
class UsbChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_device = m_api.AddDevice(CFakeUsbApi::PrinterInfo(2, "Acme", "P1", {kOut, kIn}));
    std::unique_ptr<IUsbDeviceHandle> handle;
    ASSERT_EQ(USB_SUCCESS, m_api.Open(m_device->Info(), handle));
    m_handle = std::move(handle);
    ASSERT_EQ(USB_SUCCESS, m_handle->ClaimInterface(0));
    m_link = std::make_shared<CUsbLink>([this](int error) {
      m_nLastError = error;
      ++m_nErrors;
    });
    m_ov.hEvent = &m_event;
  }

  std::unique_ptr<CUsbChannel> Make(const UsbEndpointInfo& ep) {
    auto channel = std::make_unique<CUsbChannel>(m_handle, ep, m_link, "test");
    EXPECT_TRUE(channel->Start());
    return channel;
  }

  CFakeUsbApi m_api;
  std::shared_ptr<CFakeUsbDevice> m_device;
  std::shared_ptr<IUsbDeviceHandle> m_handle;
  std::shared_ptr<CUsbLink> m_link;
  std::atomic<int> m_nLastError{0};
  std::atomic<int> m_nErrors{0};
  CEvent m_event{true, false};
  OVERLAPPED m_ov;
};

TEST_F(UsbChannelTest, PendingReadCompletesWhenDataArrivesAndKeepsTheSurplus) {
  auto rx = Make(kIn);
  uint8_t buffer[4] = {};
  DWORD done = 99;
  ASSERT_FALSE(rx->Submit(buffer, sizeof buffer, &done, &m_ov));
  EXPECT_EQ(ERROR_IO_PENDING, GetLastError());
  EXPECT_EQ(0u, done);
  EXPECT_TRUE(rx->IsPending());

  m_device->Feed(0x81, {1, 2, 3, 4, 5, 6});
  auto [status, bytes] = CollectOverlapped(&m_ov);
  EXPECT_EQ(ERROR_SUCCESS, status);
  ASSERT_EQ(4u, bytes);
  EXPECT_EQ(4, buffer[3]);

  // The two bytes beyond the first read are not lost: the next read has them.
  ASSERT_TRUE(rx->Submit(buffer, sizeof buffer, &done, &m_ov));
  EXPECT_EQ(2u, done);
  EXPECT_EQ(5, buffer[0]);
  EXPECT_EQ(6, buffer[1]);
  EXPECT_TRUE(m_event.IsSet());
}

TEST_F(UsbChannelTest, WriteSendsEveryByteInOrderFromItsOwnCopy) {
  auto tx = Make(kOut);
  std::vector<uint8_t> data(5000);
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<uint8_t>(i * 7);
  const std::vector<uint8_t> sent = data;
  DWORD done = 0;
  ASSERT_FALSE(tx->Submit(data.data(), static_cast<DWORD>(data.size()), &done, &m_ov));
  ASSERT_EQ(ERROR_IO_PENDING, GetLastError());
  data[0] = 0xEE;  // the channel works on its own copy
  auto [status, bytes] = CollectOverlapped(&m_ov);
  EXPECT_EQ(ERROR_SUCCESS, status);
  EXPECT_EQ(5000u, bytes);
  EXPECT_EQ(sent, m_device->Received(0x01));

  ASSERT_TRUE(tx->Submit(nullptr, 0, &done, &m_ov));  // nothing to send
  EXPECT_EQ(0u, done);
  EXPECT_FALSE(tx->Submit(data.data(), 1, nullptr, nullptr));  // bad arguments fail at once
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
  EXPECT_FALSE(tx->Submit(nullptr, 1, nullptr, &m_ov));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

TEST_F(UsbChannelTest, ANewRequestEndsTheAbandonedOne) {
  auto tx = Make(kOut);
  m_device->SetOutBlocked(true);
  uint8_t first[3] = {1, 1, 1};
  uint8_t second[2] = {2, 2};
  ASSERT_FALSE(tx->Submit(first, sizeof first, nullptr, &m_ov));
  CEvent otherEvent(true, false);
  OVERLAPPED other;
  other.hEvent = &otherEvent;
  m_ov.hEvent->Reset();
  ASSERT_FALSE(tx->Submit(second, sizeof second, nullptr, &other));
  EXPECT_EQ(ERROR_OPERATION_ABORTED, CollectOverlapped(&m_ov).first);
  m_device->SetOutBlocked(false);
  auto [status, bytes] = CollectOverlapped(&other);
  EXPECT_EQ(ERROR_SUCCESS, status);
  EXPECT_EQ(2u, bytes);
  // The slice of the abandoned write that was already on the bus may still
  // have gone out, but never interleaved with the new one.
  std::vector<uint8_t> got = m_device->Received(0x01);
  EXPECT_TRUE(got == (std::vector<uint8_t>{2, 2}) || got == (std::vector<uint8_t>{1, 1, 1, 2, 2}));
}

TEST_F(UsbChannelTest, RepeatedTransferFailuresEndTheRequest) {
  auto rx = Make(kIn);
  m_device->SetTransferError(USB_ERROR_PIPE);
  uint8_t buffer[8];
  ASSERT_FALSE(rx->Submit(buffer, sizeof buffer, nullptr, &m_ov));
  EXPECT_EQ(ERROR_IO_DEVICE, CollectOverlapped(&m_ov).first);
  EXPECT_EQ(USB_ERROR_PIPE, m_nLastError.load());
  EXPECT_FALSE(m_link->IsGone());

  // The endpoint recovers: the next read works.
  m_device->SetTransferError(USB_SUCCESS);
  m_device->Feed(0x81, {9});
  DWORD done = 0;
  if (!rx->Submit(buffer, sizeof buffer, &done, &m_ov)) {
    ASSERT_EQ(ERROR_IO_PENDING, GetLastError());
    done = CollectOverlapped(&m_ov).second;
  }
  EXPECT_EQ(1u, done);
}

TEST_F(UsbChannelTest, ChannelWithoutEndpointStaysPendingUntilStopped) {
  auto none = Make(UsbEndpointInfo{});
  uint8_t buffer[8];
  ASSERT_FALSE(none->Submit(buffer, sizeof buffer, nullptr, &m_ov));
  EXPECT_EQ(ERROR_IO_PENDING, GetLastError());
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(&m_event, 150));
  none->Stop();
  EXPECT_EQ(ERROR_OPERATION_ABORTED, CollectOverlapped(&m_ov).first);
}

}  // namespace
