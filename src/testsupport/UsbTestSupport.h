// Test support for the USB cases: the wait for an overlapped record, and a
// fixture that installs the USB backend over a fake libusb (CFakeUsbApi) as
// the library's interface type 1 and sets the library up (not connected).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "platform/MessageQueue.h"
#include "platform/Overlapped.h"
#include "platform/Win32Types.h"
#include "testsupport/FakeUsbApi.h"

// Waits up to timeoutMs for the record's event; returns (status, bytes).
std::pair<DWORD, DWORD> CollectOverlapped(OVERLAPPED* ov, DWORD timeoutMs = 3000);

class CUsbLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // An "Acme P" printer with these endpoints, its kernel driver attached.
  std::shared_ptr<CFakeUsbDevice> AddPrinter(uint8_t address, std::vector<UsbEndpointInfo> eps);
  // Comm_UpdateConnection to printer `index`; m_nUsm and m_nRt get its flags.
  int Connect(int readersStopped, DWORD index, int outputPort);

  CMessageQueue m_window;
  CFakeUsbApi* m_api = nullptr;  // owned by the library's backend
  int m_nUsm = -1;
  int m_nRt = -1;
};
