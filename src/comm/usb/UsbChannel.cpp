#include "comm/usb/UsbChannel.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/Clock.h"
#include "platform/LastError.h"

namespace {
// Largest single IN transfer; reads ask for whole packets up to this.
constexpr size_t kMaxInTransfer = 16384;
constexpr uint16_t kDefaultPacket = 64;
// Pause after a failed transfer, so that a failing endpoint is not hammered.
constexpr DWORD kRetryPauseMs = 10;
}  // namespace

// Shared by the channel object and its worker, so a worker that outlives a
// Stop() that gave up waiting still touches valid memory.
struct CUsbChannel::State {
  std::shared_ptr<IUsbDeviceHandle> device;
  UsbEndpointInfo endpoint;
  std::shared_ptr<CUsbLink> link;

  mutable std::mutex lock;
  std::condition_variable changed;
  bool stop = false;
  // The request (guarded by `lock`).
  bool active = false;
  uint64_t generation = 0;
  OVERLAPPED* ov = nullptr;
  uint8_t* inBuffer = nullptr;
  DWORD length = 0;
  std::shared_ptr<std::vector<uint8_t>> outData;
  DWORD done = 0;
  std::vector<uint8_t> leftover;  // IN bytes not yet handed to a reader
  int failures = 0;
  // Worker only.
  std::vector<uint8_t> bounce;

  bool IsIn() const { return endpoint.IsIn(); }
  void Complete(DWORD error, DWORD bytes) {  // under `lock`
    active = false;
    failures = 0;
    CompleteOverlapped(ov, error, bytes);
  }
  // Hands received bytes to the pending read, the rest to `leftover`.
  void Deliver(const uint8_t* data, size_t n) {  // under `lock`
    size_t taken = 0;
    if (active) {
      taken = std::min(n, static_cast<size_t>(length));
      std::memcpy(inBuffer, data, taken);
      Complete(ERROR_SUCCESS, static_cast<DWORD>(taken));
    }
    leftover.insert(leftover.end(), data + taken, data + n);
  }
  size_t InTransferSize() const {  // under `lock`
    size_t packet = endpoint.maxPacket != 0 ? endpoint.maxPacket : kDefaultPacket;
    size_t want = std::min(std::max(static_cast<size_t>(length), packet), kMaxInTransfer);
    return (want + packet - 1) / packet * packet;
  }
  // A transfer result other than success or time-out. True when the request
  // ended (and was completed).
  bool Fail(int result, std::unique_lock<std::mutex>& guard);
  void RunIn(std::unique_lock<std::mutex>& guard);
  void RunOut(std::unique_lock<std::mutex>& guard);
};

bool CUsbChannel::State::Fail(int result, std::unique_lock<std::mutex>& guard) {
  if (result == USB_ERROR_NO_DEVICE) {
    guard.unlock();
    link->MarkGone();
    guard.lock();
    if (active)
      Complete(ERROR_DEVICE_NOT_CONNECTED, done);
    return true;
  }
  ++failures;
  guard.unlock();
  if (result == USB_ERROR_PIPE)
    device->ClearHalt(endpoint.address);
  Sleep(kRetryPauseMs);
  guard.lock();
  if (failures < kMaxFailures || !active)
    return false;
  // Reported before the completion, so whoever collects the failed request
  // finds its error already reported.
  guard.unlock();
  link->ReportError(result);
  guard.lock();
  if (active)
    Complete(ERROR_IO_DEVICE, done);
  return true;
}

void CUsbChannel::State::RunIn(std::unique_lock<std::mutex>& guard) {
  size_t want = InTransferSize();
  if (bounce.size() < want)
    bounce.resize(want);
  guard.unlock();
  int n = 0;
  int result = device->Transfer(endpoint.address, endpoint.transfer, bounce.data(),
                                static_cast<int>(want), &n, kSliceMs);
  guard.lock();
  if (n > 0)
    Deliver(bounce.data(), static_cast<size_t>(n));
  if (result == USB_SUCCESS || result == USB_ERROR_TIMEOUT) {
    failures = 0;
    link->Touch();
    return;
  }
  Fail(result, guard);
}

void CUsbChannel::State::RunOut(std::unique_lock<std::mutex>& guard) {
  std::shared_ptr<std::vector<uint8_t>> data = outData;
  uint64_t mine = generation;
  size_t offset = done;
  guard.unlock();
  int n = 0;
  int result = device->Transfer(endpoint.address, endpoint.transfer, data->data() + offset,
                                static_cast<int>(data->size() - offset), &n, kSliceMs);
  guard.lock();
  // The request may have been replaced or cancelled meanwhile: its result is
  // of no use to anyone then.
  if (!active || generation != mine)
    return;
  if (n > 0)
    done += static_cast<DWORD>(n);
  if (result == USB_SUCCESS || result == USB_ERROR_TIMEOUT) {
    failures = 0;
    link->Touch();
    if (done >= data->size())
      Complete(ERROR_SUCCESS, done);
    return;
  }
  Fail(result, guard);
}

CUsbChannel::CUsbChannel(std::shared_ptr<IUsbDeviceHandle> device, const UsbEndpointInfo& endpoint,
                         std::shared_ptr<CUsbLink> link, std::string name)
    : m_endpoint(endpoint), m_strName(std::move(name)), m_state(std::make_shared<State>()) {
  m_state->device = std::move(device);
  m_state->endpoint = endpoint;
  m_state->link = std::move(link);
}

CUsbChannel::~CUsbChannel() {
  Stop();
}

bool CUsbChannel::Start() {
  if (m_endpoint.address == 0 || m_thread != nullptr)
    return true;
  std::shared_ptr<State> state = m_state;
  m_thread =
      CThread::Create([state] { return Run(state); }, THREAD_PRIORITY_ABOVE_NORMAL, m_strName);
  return m_thread != nullptr;
}

DWORD CUsbChannel::Run(const std::shared_ptr<State>& state) {
  std::unique_lock<std::mutex> guard(state->lock);
  for (;;) {
    state->changed.wait(guard, [&] { return state->stop || state->active; });
    if (state->stop) {
      if (state->active)
        state->Complete(ERROR_OPERATION_ABORTED, state->done);
      return 0;
    }
    if (state->link->IsGone()) {
      state->Complete(ERROR_DEVICE_NOT_CONNECTED, state->done);
      continue;
    }
    if (state->IsIn()) {
      state->RunIn(guard);
    } else {
      state->RunOut(guard);
    }
  }
}

void CUsbChannel::Stop() {
  {
    std::lock_guard<std::mutex> guard(m_state->lock);
    m_state->stop = true;
    m_state->changed.notify_all();
  }
  if (m_thread != nullptr)
    m_thread->Wait(kStopWaitMs);
  std::lock_guard<std::mutex> guard(m_state->lock);
  // No worker (no endpoint), or one stuck in a transfer: end the request here.
  if (m_state->active)
    m_state->Complete(ERROR_OPERATION_ABORTED, m_state->done);
  m_thread.reset();
}

bool CUsbChannel::IsPending() const {
  std::lock_guard<std::mutex> guard(m_state->lock);
  return m_state->active;
}

BOOL CUsbChannel::Submit(void* buffer, DWORD length, DWORD* done, OVERLAPPED* ov) {
  if (ov == nullptr || (buffer == nullptr && length != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (done != nullptr)
    *done = 0;
  std::lock_guard<std::mutex> guard(m_state->lock);
  State& s = *m_state;
  if (s.stop) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (s.link->IsGone()) {
    SetLastError(ERROR_DEVICE_NOT_CONNECTED);
    return FALSE;
  }
  if (s.active)
    s.Complete(ERROR_OPERATION_ABORTED, s.done);
  BeginOverlapped(ov);
  s.ov = ov;
  size_t ready = s.IsIn() ? std::min(s.leftover.size(), static_cast<size_t>(length)) : 0;
  if (length == 0 || ready > 0) {
    if (ready > 0)
      std::memcpy(buffer, s.leftover.data(), ready);
    s.leftover.erase(s.leftover.begin(), s.leftover.begin() + static_cast<std::ptrdiff_t>(ready));
    CompleteOverlapped(ov, ERROR_SUCCESS, static_cast<DWORD>(ready));
    if (done != nullptr)
      *done = static_cast<DWORD>(ready);
    return TRUE;
  }
  s.inBuffer = s.IsIn() ? static_cast<uint8_t*>(buffer) : nullptr;
  s.outData = s.IsIn() ? nullptr
                       : std::make_shared<std::vector<uint8_t>>(
                             static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + length);
  s.length = length;
  s.done = 0;
  s.failures = 0;
  ++s.generation;
  s.active = true;
  s.changed.notify_all();
  SetLastError(ERROR_IO_PENDING);
  return FALSE;
}
