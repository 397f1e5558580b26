// CRxBlockTimes: when each block of one receive list's bytes arrived. A
// block is the bytes that came together: a pause longer than the idle gap
// (kDefaultIdleGapMs unless set) before a byte starts a new block, which
// carries that byte's arrival time to the millisecond. The bytes themselves
// are kept elsewhere (the list); this keeps only where each block starts and
// when, so offsets here are counted as the list counts its bytes (from 0
// after each Clear).
//
// Memory: 8 bytes a block (32-bit offset and time steps from a 16-byte base
// per run of kRunEntries blocks), whatever the block's size. A continuous
// stream is one block; a printer answering ten times a second for a day
// makes 864 000 blocks, under 7 MiB. Look-ups are two binary searches.
//
// Times: Add takes wall-clock milliseconds since the epoch (the caller turns
// the readers' monotonic stamps into those), so FormatTime shows them as
// local time. A time earlier than the previous one (the clock was set back)
// counts as no pause.
//
// Thread safety: none; one thread (the window's) uses an object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/RxFeed.h"

class CRxBlockTimes {
 public:
  static constexpr std::uint32_t kDefaultIdleGapMs = 20;
  static constexpr size_t kRunEntries = 4096;
  // The text FormatTime gives: "HH:MM:SS.mmm".
  static constexpr size_t kTimeChars = 12;

  explicit CRxBlockTimes(std::uint32_t idleGapMs = kDefaultIdleGapMs) : m_nIdleGapMs(idleGapMs) {}

  // Taken from the next byte added on.
  void SetIdleGapMs(std::uint32_t ms) { m_nIdleGapMs = ms; }
  std::uint32_t IdleGapMs() const { return m_nIdleGapMs; }

  // The next `count` bytes of the list arrived at `atMs`.
  void Add(std::uint64_t count, std::int64_t atMs);
  // The `count` bytes of one feed take, by their marks (CRxFeed::Take),
  // whose monotonic times plus `wallOffsetMs` give wall-clock times.
  void AddTake(const std::vector<CRxFeed::Mark>& marks, std::uint64_t count,
               std::int64_t wallOffsetMs);
  // Wall-clock ms since the epoch minus NowMs(), as of now.
  static std::int64_t WallOffsetMs();
  // Forgets every byte and block (the list was cleared).
  void Clear();

  std::uint64_t ByteCount() const { return m_nBytes; }
  size_t BlockCount() const;
  // The arrival time of the block holding byte `offset`; false past the end.
  bool TimeAt(std::uint64_t offset, std::int64_t* atMs) const;
  // Whether a block starts at one of the bytes first + 1 .. first + count - 1
  // (a row whose bytes came in more than one block).
  bool BlockStartsWithin(std::uint64_t first, std::uint64_t count) const;
  size_t MemoryBytes() const;

  // "HH:MM:SS.mmm" in local time.
  static std::string FormatTime(std::int64_t epochMs);

 private:
  struct Entry {
    std::uint32_t offsetStep;  // from the run's base
    std::uint32_t timeStep;
  };
  struct Run {
    std::uint64_t baseOffset;
    std::int64_t baseMs;
    std::vector<Entry> entries;  // the first is {0, 0}
  };
  void StartBlock(std::int64_t atMs);
  // The first block starting after `offset`: its offset, or ByteCount().
  std::uint64_t NextStartAfter(std::uint64_t offset) const;

  std::vector<Run> m_runs;
  std::uint64_t m_nBytes = 0;
  std::int64_t m_nLastMs = 0;  // the arrival of the last byte added
  std::uint32_t m_nIdleGapMs;
};
