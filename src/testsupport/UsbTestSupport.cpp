#include "testsupport/UsbTestSupport.h"

#include "comm/Cablox.h"
#include "comm/CommBackendRegistry.h"
#include "comm/usb/UsbCommBackend.h"
#include "platform/LastError.h"

std::pair<DWORD, DWORD> CollectOverlapped(OVERLAPPED* ov, DWORD timeoutMs) {
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ov->hEvent, timeoutMs));
  DWORD bytes = 0;
  BOOL ok = GetOverlappedResult(nullptr, ov, &bytes, FALSE);
  return {ok ? ERROR_SUCCESS : GetLastError(), bytes};
}

void CUsbLibraryTest::SetUp() {
  Comm_CloseCleanuo();
  Comm_RegisterBackendFactory(COMM_TYPE_USB, [this] {
    auto api = std::make_unique<CFakeUsbApi>();
    m_api = api.get();
    return std::make_unique<CUsbCommBackend>(std::move(api));
  });
  ASSERT_EQ(1, Comm_OpenSetup(&m_window, COMM_TYPE_USB));
}

void CUsbLibraryTest::TearDown() {
  Comm_CloseCleanuo();
  Comm_RegisterBackendFactory(COMM_TYPE_USB, nullptr);
}

std::shared_ptr<CFakeUsbDevice> CUsbLibraryTest::AddPrinter(uint8_t address,
                                                            std::vector<UsbEndpointInfo> eps) {
  auto device = m_api->AddDevice(CFakeUsbApi::PrinterInfo(address, "Acme", "P", std::move(eps)));
  device->SetKernelDriver(true);
  return device;
}

int CUsbLibraryTest::Connect(int readersStopped, DWORD index, int outputPort) {
  int scratch1 = 0, scratch2 = 0;
  m_nUsm = m_nRt = -1;
  return Comm_UpdateConnection(readersStopped, index, nullptr, outputPort, m_nUsm, m_nRt, scratch1,
                               scratch2);
}
