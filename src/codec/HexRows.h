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
// Cost: Append is proportional to the bytes appended; the bytes are kept in
// chunks of kChunkSize, so memory is the bytes held plus at most one chunk.
//
// Thread safety: none; one thread (the window's) uses an object.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Win32Types.h"

class CHexRows {
 public:
  static constexpr int kRowBytes = 16;
  static constexpr int kHexChars = 50;  // a full row's hex text
  static constexpr size_t kChunkSize = 256 * 1024;

  CHexRows();
  CHexRows(const CHexRows&) = delete;
  CHexRows& operator=(const CHexRows&) = delete;

  void Append(const BYTE* data, size_t length);
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
  // Memory held for the bytes (chunks), for the memory figures.
  size_t MemoryBytes() const { return m_chunks.size() * kChunkSize; }

 private:
  struct Segment {
    std::uint64_t firstByte;
    std::uint64_t firstRow;
  };
  void CopyOut(std::uint64_t offset, BYTE* out, size_t count) const;

  std::vector<std::unique_ptr<BYTE[]>> m_chunks;
  std::uint64_t m_nBytes = 0;
  std::vector<Segment> m_segments;  // never empty; the first starts at 0
};
