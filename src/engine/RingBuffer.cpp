#include "engine/RingBuffer.h"

#include <algorithm>
#include <chrono>
#include <cstring>

// Length of one receive poll. The fuzz build sets 0: its replies are in the
// buffer before the wait starts, so a poll that finds none need not wait.
#ifndef SENDRIX_RX_POLL_US
#define SENDRIX_RX_POLL_US 1000
#endif

CRingBuffer::CRingBuffer() {
  Reset();
}

void CRingBuffer::Reset() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_nRead = 0;
  m_nWrite = 0;
  m_nCount = 0;
}

void CRingBuffer::Put(const BYTE* data, DWORD length) {
  if (length == 0)
    return;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    DWORD write = m_nWrite;
    m_nCount += length;
    // Only the last kSize bytes of a long block survive; they land where a
    // byte-by-byte copy would have left them.
    DWORD skip = length > kSize ? length - kSize : 0;
    write = (write + skip) & kMask;
    data += skip;
    length -= skip;
    while (length > 0) {
      DWORD piece = std::min(length, kSize - write);
      std::memcpy(m_data + write, data, piece);
      write = (write + piece) & kMask;
      data += piece;
      length -= piece;
    }
    m_nWrite = write;
  }
  m_arrived.notify_all();
}

BYTE CRingBuffer::Get() {
  std::lock_guard<std::mutex> guard(m_lock);
  BYTE b = m_data[m_nRead];
  m_nCount -= 1;
  m_nRead = (m_nRead + 1) & kMask;
  return b;
}

DWORD CRingBuffer::GetCount() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_nCount;
}

int CRingBuffer::WaitForCount(DWORD needed, DWORD maxPolls, HANDLE abortEvent) {
  for (DWORD poll = 0; poll < maxPolls; ++poll) {
    if (abortEvent != nullptr && abortEvent->IsSet())
      return 2;
    std::unique_lock<std::mutex> lock(m_lock);
    if (m_nCount >= needed)
      return 1;
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::microseconds(SENDRIX_RX_POLL_US);
    if (m_arrived.wait_until(lock, end, [&] { return m_nCount >= needed; })) {
      lock.unlock();
      if (abortEvent != nullptr && abortEvent->IsSet())
        return 2;
      return 1;
    }
  }
  return 0;
}
