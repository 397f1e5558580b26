// CRxFeed: every byte a reader receives on one channel, in order, for the
// receive display. The 4096-byte ring buffers drop what a slow consumer has
// not seen; the feed never drops: what the reader puts stays until the
// display takes it, however long that takes.
//
// A feed holds bytes only while enabled (the window's receive display turns
// it on), so a run without a display does not keep what it receives.
//
// Threading contract:
//  - Put: the channel's reader thread (the only producer), or any thread.
//  - Take, Discard, SetEnabled: the display (one consumer), any thread.
//  All take one lock; Put copies its bytes under it (a reader's read is at
//  most 512 bytes) into blocks of kBlockSize, and Take swaps the list of
//  blocks out (constant time), so neither side holds the other up for
//  longer than a small copy, and a consumer that falls behind costs the
//  bytes waiting plus at most one block, never a reallocation of them all.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

#include "platform/Win32Types.h"

class CRxFeed {
 public:
  CRxFeed() = default;
  CRxFeed(const CRxFeed&) = delete;
  CRxFeed& operator=(const CRxFeed&) = delete;

  using Block = std::vector<BYTE>;
  static constexpr size_t kBlockSize = 64 * 1024;

  void Put(const BYTE* data, DWORD length);
  // Replaces *out with the blocks holding every byte put since the last
  // Take, in order (out's old blocks are freed). Returns the byte count.
  size_t Take(std::vector<Block>* out);
  // Drops what is waiting.
  void Discard();
  // Disabling also discards what is waiting.
  void SetEnabled(bool enabled);
  bool IsEnabled() const;

 private:
  mutable std::mutex m_lock;
  std::vector<Block> m_blocks;
  size_t m_nPending = 0;
  bool m_bEnabled = false;
};
