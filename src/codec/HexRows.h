// CHexRows: the bytes of one receive list and the rows they make, 16 bytes a
// row, formatted only when a row is asked for (when it is painted).
//
// Row format: the hex text is "%02X " per byte with "- " after the 8th byte
// (50 characters for a full row); the ASCII text has one character per byte,
// the byte itself when it is printable ASCII (0x20..0x7E), otherwise a dot,
// so every byte takes one cell under its hex and none draws as a control
// character or a glyph of some code page.
//
// Rows: a row holds 16 bytes, except that BreakRow() ends the last row early
// (an operation's replies and the bytes after "Clear Buffer" start a new
// row). Rows are therefore kept as segments of uniform 16-byte rows, one
// segment per break, so a row is found by a search over the (few) breaks.
//
// Storage: chunks of bytes, filled in order. Chunks start at kFirstChunk and
// double up to kMaxChunk; a kMaxChunk chunk is aligned to its size and asks
// for transparent huge pages, so a long stream costs one page fault per
// 2 MiB rather than per 4 KiB (on a virtual machine the faults were most of
// the time spent storing a fast stream). Memory is the bytes held plus the
// last chunk's free space (at most kMaxChunk), and appending costs time in
// proportion to what is appended.
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
  static constexpr size_t kFirstChunk = 64 * 1024;
  static constexpr size_t kMaxChunk = 2 * 1024 * 1024;
  static constexpr char kNotPrintable = '.';
  static constexpr bool IsShownAsItself(BYTE b) { return b >= 0x20 && b <= 0x7E; }

  CHexRows();
  CHexRows(const CHexRows&) = delete;
  CHexRows& operator=(const CHexRows&) = delete;

  // Throws std::bad_alloc when no memory is left, as a container would.
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
  // The offset of the first byte of `row` (< RowCount()) and the row's
  // byte count.
  std::uint64_t RowOffset(std::uint64_t row, int* count) const;
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
  struct FreeBytes {
    void operator()(BYTE* p) const;
  };
  struct Chunk {
    std::unique_ptr<BYTE, FreeBytes> data;
    size_t size = 0;
    size_t capacity = 0;
  };
  void AddChunk();
  void CopyOut(std::uint64_t offset, BYTE* out, size_t count) const;

  std::vector<Chunk> m_chunks;
  std::vector<std::uint64_t> m_chunkStarts;  // offset of each chunk's first byte
  std::uint64_t m_nBytes = 0;
  std::vector<Segment> m_segments;  // never empty; the first starts at 0
};
