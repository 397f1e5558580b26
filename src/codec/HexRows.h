// CHexRows: the bytes of one receive list and the rows they make, 16 bytes a
// row, formatted only when a row is asked for (when it is painted).
//
// Row format: the hex text is "%02X " per byte with "- " after the 8th byte
// (50 characters for a full row); the ASCII text has one character per byte,
// the byte itself in 0x20..0x7F, otherwise a blank.
//
// Rows: a row holds 16 bytes, except that BreakRow() ends the last row early
// (an operation's replies and the bytes after "Clear Buffer" start a new
// row). Rows are therefore kept as segments of uniform 16-byte rows, one
// segment per break, so a row is found by a search over the (few) breaks.
//
// Storage: blocks of bytes. Append copies into the last block (blocks of
// kBlockSize); Adopt takes a full block of kBlockSize as it is, without a
// copy (a receive feed's blocks), and copies anything smaller. A block left
// partly filled before an adopted one is first cut to its size. So memory is
// the bytes held plus at most one block's free space plus a few bytes a
// block, and appending costs time in proportion to what is appended.
//
// Thread safety: none; one thread (the window's) uses an object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Win32Types.h"

class CHexRows {
 public:
  static constexpr int kRowBytes = 16;
  static constexpr int kHexChars = 50;  // a full row's hex text
  static constexpr size_t kBlockSize = 64 * 1024;

  CHexRows();
  CHexRows(const CHexRows&) = delete;
  CHexRows& operator=(const CHexRows&) = delete;

  void Append(const BYTE* data, size_t length);
  // Appends block's bytes, taking the block itself when it holds exactly
  // kBlockSize bytes (block is left empty or unchanged).
  void Adopt(std::vector<BYTE>&& block);
  // The next byte starts a new row; nothing changes when the last row is
  // complete (or there is none).
  void BreakRow();
  // Drops every byte and row and frees the memory.
  void Clear();

  std::uint64_t ByteCount() const { return m_nBytes; }
  std::uint64_t RowCount() const;
  // Bytes already in the last row, 0..15 (0: the next byte starts a row).
  int LineCounter() const;
  // Copies the bytes of `row` (up to 16) to out; their count, 0 past the end.
  int RowBytes(std::uint64_t row, BYTE* out) const;
  // Formats count (0..16) bytes: hex gets at most kHexChars + 1 characters
  // and ascii 17, both NUL-terminated.
  static void FormatRow(const BYTE* bytes, int count, char* hex, char* ascii);
  // The texts of `row`; false past the end.
  bool RowText(std::uint64_t row, std::string* hex, std::string* ascii) const;
  // Memory reserved for the bytes.
  size_t MemoryBytes() const;

 private:
  struct Segment {
    std::uint64_t firstByte;
    std::uint64_t firstRow;
  };
  void CopyOut(std::uint64_t offset, BYTE* out, size_t count) const;
  void CloseTail();

  std::vector<std::vector<BYTE>> m_blocks;
  std::vector<std::uint64_t> m_blockStarts;  // offset of each block's first byte
  std::uint64_t m_nBytes = 0;
  std::vector<Segment> m_segments;  // never empty; the first starts at 0
};
