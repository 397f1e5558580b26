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
//  most 16 KiB) into blocks of kBlockSize, and Take swaps the list of
//  blocks out (constant time), so neither side holds the other up for
//  longer than a small copy, and a consumer that falls behind costs the
//  bytes waiting plus at most one block, never a reallocation of them all.
//
// Limit: a consumer that can read the bytes back elsewhere (the data list
// reads the received-data file) may set a limit. Once the bytes waiting
// reach it, later ones are only counted until the next Take, which reports
// them as skipped: they follow the kept blocks, in order. A consumer that
// falls behind then costs at most the limit, however long it is held up.
//
// Recycling: the consumer hands taken blocks back once it has copied them
// (Recycle), and Put refills those before it allocates. Fresh memory costs
// a page fault per 4 KiB on first touch, and on a virtual machine that
// nearly doubled the reader's time per byte; a recycled block is mapped
// already. At most kMaxSpares blocks are kept (a fixed overhead of 1 MiB,
// four times what the data display's limit lets one take hold, so a stream
// at that limit never touches fresh memory), all freed when the feed is
// disabled.
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

// The two receive channels: the data channel and the unsolicited status
// messages (USM).
enum class RxChannel { kData, kUsm };

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
  static constexpr size_t kMaxSpares = 16;

  // Stamps the bytes with NowMs(), or with `arrivalMs`.
  void Put(const BYTE* data, DWORD length);
  void Put(const BYTE* data, DWORD length, std::uint64_t arrivalMs);
  // Replaces *out with the blocks holding every byte put since the last
  // Take, in order (out's old blocks are freed), and *marks (when given)
  // with their arrival marks, the first at offset 0; the marks cover the
  // skipped bytes too. Returns the byte count, skipped bytes included;
  // *skipped (when given) gets the count of bytes after the blocks that the
  // limit kept out of them.
  size_t Take(std::vector<Block>* out, std::vector<Mark>* marks = nullptr,
              size_t* skipped = nullptr);
  // Bytes kept while waiting at most (0, the default: no limit).
  void SetLimit(size_t bytes);
  // Bytes kept in blocks now, waiting to be taken.
  size_t HeldBytes() const;
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
  std::vector<Mark> m_marks;    // of the bytes waiting, skipped ones included
  size_t m_nPending = 0;        // kept and skipped
  size_t m_nSkipped = 0;
  size_t m_nLimit = 0;
  bool m_bEnabled = false;
};
