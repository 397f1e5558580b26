#include "testsupport/FakeCommLink.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/LastError.h"

class CFakeCommBackend : public ICommBackend {
 public:
  explicit CFakeCommBackend(CFakeCommLink* link) : m_link(link) {}

  int Setup(ICommErrorSink*) override { return 1; }
  void Cleanup() override {}
  unsigned IsConnectionValid(DWORD, int, int, int, int, int, int) override {
    std::lock_guard<std::mutex> guard(m_link->m_lock);
    return m_link->m_bConnected ? 0 : 2;
  }
  int UpdateConnection(int, DWORD&, char*, int&, int&, int&, int&, int&) override {
    std::lock_guard<std::mutex> guard(m_link->m_lock);
    m_link->m_bConnected = true;
    ++m_link->m_nUpdateCalls;
    return 1;
  }
  int BreakDown() override {
    std::lock_guard<std::mutex> guard(m_link->m_lock);
    m_link->m_bConnected = false;
    ++m_link->m_nBreakDowns;
    for (auto& ch : m_link->m_channels) {
      if (ch.pending != nullptr)
        CompleteOverlapped(ch.pending, ERROR_OPERATION_ABORTED, 0);
      ch.pending = nullptr;
    }
    if (m_link->m_pHeld != nullptr)
      CompleteOverlapped(m_link->m_pHeld, ERROR_OPERATION_ABORTED, 0);
    m_link->m_pHeld = nullptr;
    return 1;
  }
  int IsConnected() override {
    std::lock_guard<std::mutex> guard(m_link->m_lock);
    return m_link->m_bConnected ? 1 : 0;
  }
  int IsPortAvailable() override { return IsConnected(); }
  bool HasChannel(int channel) override {
    std::lock_guard<std::mutex> guard(m_link->m_lock);
    return m_link->m_bConnected && (channel != COMM_CHANNEL_RX_USM || m_link->usmChannel);
  }
  int Write(const void* buffer, DWORD length, DWORD* written, OVERLAPPED* ov) override;
  int Read(int channel, void* buffer, DWORD length, DWORD* read, OVERLAPPED* ov) override;
  CommPacketSizes PacketSizes() override { return m_link->sizes; }
  DWORD ReadTimeout() override { return m_link->readTimeoutMs; }
  int InitGetDeviceStatus(void*, DWORD, DWORD*, OVERLAPPED&) override { return 0; }
  int GetDeviceStatus(void*, DWORD, DWORD& status) override {
    std::lock_guard<std::mutex> guard(m_link->m_lock);
    status = m_link->m_dwStatus;
    return m_link->m_nStatusResult;
  }
  int IsDevicePresent() override {
    std::lock_guard<std::mutex> guard(m_link->m_lock);
    return m_link->m_nPresent;
  }
  int GetPortParams(int&, int&, const char*, int& count, char (*)[128], int) override {
    count = 0;
    return 0;
  }
  int SetDeviceParams(const char*) override { return 0; }
  void ShowPortProperties(char* buffer, size_t size) override {
    std::snprintf(buffer, size, "fake");
  }

 private:
  CFakeCommLink* m_link;
};

int CFakeCommBackend::Write(const void* buffer, DWORD length, DWORD* written, OVERLAPPED* ov) {
  CFakeCommLink::Responder responder;
  const BYTE* bytes = static_cast<const BYTE*>(buffer);
  bool held = false;
  {
    std::lock_guard<std::mutex> guard(m_link->m_lock);
    if (m_link->m_pHeld != nullptr) {
      CompleteOverlapped(m_link->m_pHeld, ERROR_OPERATION_ABORTED, 0);
      m_link->m_pHeld = nullptr;
    }
    if (m_link->m_dwFailError != 0) {
      SetLastError(m_link->m_dwFailError);
      return 0;
    }
    m_link->m_written.insert(m_link->m_written.end(), bytes, bytes + length);
    m_link->m_writes.emplace_back(bytes, bytes + length);
    responder = m_link->m_responder;
    if (m_link->m_bHold) {
      held = true;
      BeginOverlapped(ov);
      m_link->m_pHeld = ov;
      m_link->m_pHeldBuffer = bytes;
      m_link->m_dwHeldLength = length;
    }
  }
  m_link->m_changed.notify_all();
  if (responder)
    responder(bytes, length);
  if (held) {
    SetLastError(ERROR_IO_PENDING);
    return 0;
  }
  *written = length;
  CompleteOverlapped(ov, ERROR_SUCCESS, length);
  return 1;
}

int CFakeCommBackend::Read(int channel, void* buffer, DWORD length, DWORD* read, OVERLAPPED* ov) {
  std::unique_lock<std::mutex> guard(m_link->m_lock);
  CFakeCommLink::Channel& ch = m_link->m_channels[channel];
  ++ch.reads;
  if (m_link->m_bBlockReads) {
    ch.maxInside = std::max(ch.maxInside, ++ch.inside);
    m_link->m_changed.notify_all();
    m_link->m_changed.wait(guard, [this] { return !m_link->m_bBlockReads; });
    --ch.inside;
    SetLastError(ERROR_OPERATION_ABORTED);
    return 0;
  }
  if (ch.pending != nullptr)
    CompleteOverlapped(ch.pending, ERROR_OPERATION_ABORTED, 0);
  ch.pending = nullptr;
  if (!ch.queued.empty()) {
    DWORD n = std::min<DWORD>(length, static_cast<DWORD>(ch.queued.size()));
    std::copy_n(ch.queued.begin(), n, static_cast<BYTE*>(buffer));
    ch.queued.erase(ch.queued.begin(), ch.queued.begin() + n);
    *read = n;
    CompleteOverlapped(ov, ERROR_SUCCESS, n);
    return 1;
  }
  BeginOverlapped(ov);
  ch.pending = ov;
  ch.buffer = static_cast<BYTE*>(buffer);
  ch.length = length;
  SetLastError(ERROR_IO_PENDING);
  return 0;
}

std::unique_ptr<ICommBackend> CFakeCommLink::MakeBackend() {
  return std::make_unique<CFakeCommBackend>(this);
}

void CFakeCommLink::ServeLocked(Channel& ch) {
  if (ch.pending == nullptr || ch.queued.empty())
    return;
  DWORD n = std::min<DWORD>(ch.length, static_cast<DWORD>(ch.queued.size()));
  std::copy_n(ch.queued.begin(), n, ch.buffer);
  ch.queued.erase(ch.queued.begin(), ch.queued.begin() + n);
  OVERLAPPED* ov = ch.pending;
  ch.pending = nullptr;
  CompleteOverlapped(ov, ERROR_SUCCESS, n);
}

void CFakeCommLink::Feed(int channel, const BYTE* data, DWORD length) {
  std::lock_guard<std::mutex> guard(m_lock);
  Channel& ch = m_channels[channel];
  ch.queued.insert(ch.queued.end(), data, data + length);
  ServeLocked(ch);
}

void CFakeCommLink::SetResponder(Responder responder) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_responder = std::move(responder);
}

void CFakeCommLink::SetDevicePresent(int present) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_nPresent = present;
}

void CFakeCommLink::SetStatus(int result, DWORD status) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_nStatusResult = result;
  m_dwStatus = status;
}

void CFakeCommLink::HoldWrites(bool hold) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_bHold = hold;
}

void CFakeCommLink::FailWrites(DWORD error) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_dwFailError = error;
}

bool CFakeCommLink::CompleteHeldWrite(DWORD count, DWORD error) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_pHeld == nullptr)
    return false;
  count = std::min(count, m_dwHeldLength);
  m_heldSent.insert(m_heldSent.end(), m_pHeldBuffer, m_pHeldBuffer + count);
  CompleteOverlapped(m_pHeld, error, count);
  m_pHeld = nullptr;
  return true;
}

bool CFakeCommLink::WaitForHeldWrite(DWORD timeoutMs) {
  std::unique_lock<std::mutex> lock(m_lock);
  return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return m_pHeld != nullptr; });
}

std::vector<BYTE> CFakeCommLink::Written() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_written;
}

std::vector<std::vector<BYTE>> CFakeCommLink::Writes() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_writes;
}

size_t CFakeCommLink::WriteCount() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_writes.size();
}

bool CFakeCommLink::WaitForWritten(size_t bytes, DWORD timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_lock);
  return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return m_written.size() >= bytes; });
}

void CFakeCommLink::BlockReads(bool block) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_bBlockReads = block;
  m_changed.notify_all();
}

bool CFakeCommLink::WaitForBlockedRead(int channel, DWORD timeoutMs) {
  std::unique_lock<std::mutex> guard(m_lock);
  return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                            [&] { return m_channels[channel].inside > 0; });
}

int CFakeCommLink::MaxReadsAtOnce(int channel) const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_channels[channel].maxInside;
}

int CFakeCommLink::ReadCalls(int channel) const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_channels[channel].reads;
}

int CFakeCommLink::BreakDowns() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_nBreakDowns;
}

std::vector<BYTE> CFakeCommLink::HeldSent() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_heldSent;
}

int CFakeCommLink::UpdateConnectionCalls() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_nUpdateCalls;
}
