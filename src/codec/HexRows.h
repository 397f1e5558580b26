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
// segment per break, so a row is a fixed range of bytes found by a search
// over the (few) breaks: RowRange gives its offset in the store, which is
// also the byte's offset in the file the store reads (columns that describe
// a row by its bytes, such as a time, look it up there).
//
// Storage: the bytes live in an IByteStore (ByteStore.h): in memory until
// SetStore hands the rows a file-backed one. The rows keep only the breaks.
//
// Thread safety: none; one thread (the window's) uses an object.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/ByteStore.h"
#include "platform/Win32Types.h"

class CHexRows {
 public:
  static constexpr int kRowBytes = 16;
  static constexpr int kHexChars = 50;  // a full row's hex text
  static constexpr char kNotPrintable = '.';
  static constexpr bool IsShownAsItself(BYTE b) { return b >= 0x20 && b <= 0x7E; }

  CHexRows();
  ~CHexRows();
  CHexRows(const CHexRows&) = delete;
  CHexRows& operator=(const CHexRows&) = delete;

  // Replaces the store (never null) and drops every row: the new store's
  // bytes start the list.
  void SetStore(std::unique_ptr<IByteStore> store);
  const IByteStore& Store() const { return *m_pStore; }
  // Adds the bytes to the store and the rows.
  void Append(const BYTE* data, size_t length);
  // Adds bytes the store's file holds already (IByteStore::AppendHeld);
  // false, adding nothing, when it cannot.
  bool AppendHeld(size_t length);
  // The next byte starts a new row; nothing changes when the last row is
  // complete (or there is none).
  void BreakRow();
  // Drops every byte and row (the store is emptied).
  void Clear();

  std::uint64_t ByteCount() const { return m_nBytes; }
  std::uint64_t RowCount() const;
  // Bytes already in the last row, 0..15 (0: the next byte starts a row).
  int LineCounter() const;
  // The offset of `row`'s first byte and its byte count (0 past the end).
  int RowRange(std::uint64_t row, std::uint64_t* offset) const;
  // Copies the bytes of `row` (up to 16) to out; their count, 0 past the end
  // or when the store cannot read them back.
  int RowBytes(std::uint64_t row, BYTE* out) const;
  // The offset of the first byte of `row` (< RowCount()) and the row's
  // byte count.
  std::uint64_t RowOffset(std::uint64_t row, int* count) const;
  // Formats count (0..16) bytes: hex gets at most kHexChars + 1 characters
  // and ascii 17, both NUL-terminated.
  static void FormatRow(const BYTE* bytes, int count, char* hex, char* ascii);
  // The texts of `row`; false past the end.
  bool RowText(std::uint64_t row, std::string* hex, std::string* ascii) const;
  // Memory the store holds for the bytes.
  size_t MemoryBytes() const { return m_pStore->MemoryBytes(); }

 private:
  struct Segment {
    std::uint64_t firstByte;
    std::uint64_t firstRow;
  };

  std::unique_ptr<IByteStore> m_pStore;
  std::uint64_t m_nBytes = 0;
  std::vector<Segment> m_segments;  // never empty; the first starts at 0
};
