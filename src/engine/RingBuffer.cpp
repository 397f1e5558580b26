#include "engine/RingBuffer.h"

#include <algorithm>
#include <chrono>
#include <cstring>

CRingBuffer::CRingBuffer() {
  Reset();
}

void CRingBuffer::Reset() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_nRead = 0;
  m_nWrite.store(0, std::memory_order_release);
  m_nCount = 0;
  m_bReset = 1;
}

void CRingBuffer::Put(const BYTE* data, DWORD length) {
  if (length == 0)
    return;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    DWORD write = m_nWrite.load(std::memory_order_relaxed);
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
    m_nWrite.store(write, std::memory_order_release);
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

BYTE CRingBuffer::Peek(DWORD position) {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_data[position & kMask];
}

DWORD CRingBuffer::GetCount() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_nCount;
}

int CRingBuffer::TakeResetFlag() {
  std::lock_guard<std::mutex> guard(m_lock);
  int flag = m_bReset;
  m_bReset = 0;
  return flag;
}

int CRingBuffer::WaitForCount(DWORD needed, DWORD maxPolls, HANDLE abortEvent) {
  for (DWORD poll = 0; poll < maxPolls; ++poll) {
    if (abortEvent != nullptr && abortEvent->IsSet())
      return 2;
    std::unique_lock<std::mutex> lock(m_lock);
    if (m_nCount >= needed)
      return 1;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
    if (m_arrived.wait_until(lock, end, [&] { return m_nCount >= needed; })) {
      lock.unlock();
      if (abortEvent != nullptr && abortEvent->IsSet())
        return 2;
      return 1;
    }
  }
  return 0;
}
