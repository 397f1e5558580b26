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
//
// Recycling: the consumer hands taken blocks back once it has copied them
// (Recycle), and Put refills those before it allocates. Fresh memory costs
// a page fault per 4 KiB on first touch, and on a virtual machine that
// nearly doubled the reader's time per byte; a recycled block is mapped
// already. At most kMaxSpares blocks are kept (a fixed overhead), all freed
// when the feed is disabled.
//
// Arrival times: each Put is stamped with the monotonic clock (NowMs), and
// the feed keeps a mark (offset, ms) only where the millisecond differs from
// the previous Put's, so a fast stream adds a mark per millisecond at most
// (about 10 a poll), a slow one a mark per read. The display groups the
// bytes into blocks by these marks (CRxBlockTimes); the bytes themselves are
// never touched by the stamping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/Win32Types.h"

class CRxFeed {
 public:
  CRxFeed() = default;
  CRxFeed(const CRxFeed&) = delete;
  CRxFeed& operator=(const CRxFeed&) = delete;

  using Block = std::vector<BYTE>;
  // The bytes from `offset` (counted from the first byte of the take) up to
  // the next mark arrived at `ms` (NowMs's clock).
  struct Mark {
    std::uint64_t offset;
    std::uint64_t ms;
  };
  static constexpr size_t kBlockSize = 64 * 1024;
  static constexpr size_t kMaxSpares = 64;

  // Stamps the bytes with NowMs(), or with `arrivalMs`.
  void Put(const BYTE* data, DWORD length);
  void Put(const BYTE* data, DWORD length, std::uint64_t arrivalMs);
  // Replaces *out with the blocks holding every byte put since the last
  // Take, in order (out's old blocks are freed), and *marks (when given)
  // with their arrival marks, the first at offset 0. Returns the byte count.
  size_t Take(std::vector<Block>* out, std::vector<Mark>* marks = nullptr);
  // Gives taken blocks back for reuse; *used is left empty. Blocks beyond
  // kMaxSpares, or any while the feed is disabled, are freed.
  void Recycle(std::vector<Block>* used);
  // Drops what is waiting.
  void Discard();
  // Disabling also discards what is waiting.
  void SetEnabled(bool enabled);
  bool IsEnabled() const;

 private:
  mutable std::mutex m_lock;
  std::vector<Block> m_blocks;
  std::vector<Block> m_spares;  // empty, with capacity kBlockSize
  std::vector<Mark> m_marks;    // of the bytes waiting
  size_t m_nPending = 0;
  bool m_bEnabled = false;
};
