// CRingBuffer: the 4096-byte circular receive buffer between a reader thread
// (the only writer) and its consumers: the firmware download, which takes
// bytes one at a time, and any follower that reads the write position without
// consuming (Peek, GetWritePosition, and the reset flag set by Reset so a
// follower knows to start again). The window's receive lists read the
// readers' display feeds instead (RxFeed.h), which lose nothing at any rate.
//
// Contract:
//  - Indexes advance as (i + 1) & 0xFFF. Nothing detects an overflow: bytes
//    put more than 4096 ahead of a reader overwrite the oldest ones, and the
//    count keeps growing past 4096 (it is bytes put minus bytes taken).
//  - Get() does not check for an empty buffer: callers wait with
//    WaitForCount() first.
//  - Every operation takes the buffer's lock for one Put block, one byte of
//    Get or Peek, or one flag or count access. GetWritePosition() reads the
//    write index without the lock (it is atomic), as the display thread does.
//  - WaitForCount(needed, maxPolls, abort): 0 when maxPolls is 0 or the
//    budget ran out, 1 when at least `needed` bytes are buffered, 2 when the
//    abort event is set (tested first, so 2 wins over 1). The budget is a
//    number of polls of at most 1 ms each; a poll ends early as soon as Put()
//    brings the count up to `needed`, so replies are seen without waiting
//    out the millisecond. An abort is seen within one poll.
// Thread safety: every member may be called from any thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "platform/Event.h"
#include "platform/Win32Types.h"

class CRingBuffer {
 public:
  static constexpr DWORD kSize = 4096;
  static constexpr DWORD kMask = kSize - 1;

  CRingBuffer();
  CRingBuffer(const CRingBuffer&) = delete;
  CRingBuffer& operator=(const CRingBuffer&) = delete;

  // Read index, write index and count to 0; reset flag to 1.
  void Reset();
  void Put(const BYTE* data, DWORD length);
  BYTE Get();
  BYTE Peek(DWORD position);
  DWORD GetCount();
  // Returns the reset flag and clears it.
  int TakeResetFlag();
  DWORD GetWritePosition() const { return m_nWrite.load(std::memory_order_acquire); }
  int WaitForCount(DWORD needed, DWORD maxPolls, HANDLE abortEvent);

 private:
  std::mutex m_lock;
  std::condition_variable m_arrived;  // notified by Put
  DWORD m_nRead = 0;
  std::atomic<DWORD> m_nWrite{0};
  DWORD m_nCount = 0;
  BYTE m_data[kSize] = {};
  int m_bReset = 0;
};
