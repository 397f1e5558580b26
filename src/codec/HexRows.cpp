#include "codec/HexRows.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

std::uint64_t RowsOf(std::uint64_t bytes) {
  return (bytes + CHexRows::kRowBytes - 1) / CHexRows::kRowBytes;
}

}  // namespace

CHexRows::CHexRows() {
  m_segments.push_back({0, 0});
}

void CHexRows::FreeBytes::operator()(BYTE* p) const {
  std::free(p);
}

void CHexRows::AddChunk() {
  const size_t capacity =
      m_chunks.empty() ? kFirstChunk : std::min(kMaxChunk, 2 * m_chunks.back().capacity);
  void* memory =
      capacity == kMaxChunk ? std::aligned_alloc(kMaxChunk, kMaxChunk) : std::malloc(capacity);
  if (memory == nullptr)
    throw std::bad_alloc();
  if (capacity == kMaxChunk)
    madvise(memory, capacity, MADV_HUGEPAGE);  // advice only: refused means 4 KiB pages
  Chunk chunk;
  chunk.data.reset(static_cast<BYTE*>(memory));
  chunk.capacity = capacity;
  m_chunkStarts.push_back(m_nBytes);
  m_chunks.push_back(std::move(chunk));
}

void CHexRows::Append(const BYTE* data, size_t length) {
  while (length > 0) {
    if (m_chunks.empty() || m_chunks.back().size == m_chunks.back().capacity)
      AddChunk();
    Chunk& tail = m_chunks.back();
    const size_t n = std::min(length, tail.capacity - tail.size);
    std::memcpy(tail.data.get() + tail.size, data, n);
    tail.size += n;
    m_nBytes += n;
    data += n;
    length -= n;
  }
}

size_t CHexRows::MemoryBytes() const {
  size_t total = 0;
  for (const Chunk& chunk : m_chunks)
    total += chunk.capacity;
  return total;
}

void CHexRows::BreakRow() {
  if (LineCounter() != 0)
    m_segments.push_back({m_nBytes, RowCount()});
}

void CHexRows::Clear() {
  m_chunks.clear();
  m_chunks.shrink_to_fit();
  m_chunkStarts.clear();
  m_chunkStarts.shrink_to_fit();
  m_nBytes = 0;
  m_segments.assign(1, Segment{0, 0});
}

std::uint64_t CHexRows::RowCount() const {
  const Segment& last = m_segments.back();
  return last.firstRow + RowsOf(m_nBytes - last.firstByte);
}

int CHexRows::LineCounter() const {
  return static_cast<int>((m_nBytes - m_segments.back().firstByte) % kRowBytes);
}

void CHexRows::CopyOut(std::uint64_t offset, BYTE* out, size_t count) const {
  size_t i =
      static_cast<size_t>(std::upper_bound(m_chunkStarts.begin(), m_chunkStarts.end(), offset) -
                          m_chunkStarts.begin() - 1);
  while (count > 0) {
    const size_t inChunk = static_cast<size_t>(offset - m_chunkStarts[i]);
    const size_t n = std::min(count, m_chunks[i].size - inChunk);
    std::memcpy(out, m_chunks[i].data.get() + inChunk, n);
    out += n;
    offset += n;
    count -= n;
    ++i;
  }
}

std::uint64_t CHexRows::RowOffset(std::uint64_t row, int* count) const {
  auto next = std::upper_bound(m_segments.begin(), m_segments.end(), row,
                               [](std::uint64_t r, const Segment& s) { return r < s.firstRow; });
  const Segment& segment = *(next - 1);
  const std::uint64_t end = next == m_segments.end() ? m_nBytes : next->firstByte;
  const std::uint64_t offset = segment.firstByte + (row - segment.firstRow) * kRowBytes;
  *count = static_cast<int>(std::min<std::uint64_t>(kRowBytes, end - offset));
  return offset;
}

int CHexRows::RowBytes(std::uint64_t row, BYTE* out) const {
  if (row >= RowCount())
    return 0;
  int count = 0;
  const std::uint64_t offset = RowOffset(row, &count);
  CopyOut(offset, out, static_cast<size_t>(count));
  return count;
}

void CHexRows::FormatRow(const BYTE* bytes, int count, char* hex, char* ascii) {
  static const char kDigits[] = "0123456789ABCDEF";
  char* h = hex;
  for (int i = 0; i < count; ++i) {
    *h++ = kDigits[bytes[i] >> 4];
    *h++ = kDigits[bytes[i] & 0x0F];
    *h++ = ' ';
    if (i == 7) {
      *h++ = '-';
      *h++ = ' ';
    }
    ascii[i] = IsShownAsItself(bytes[i]) ? static_cast<char>(bytes[i]) : kNotPrintable;
  }
  *h = '\0';
  ascii[count] = '\0';
}

bool CHexRows::RowText(std::uint64_t row, std::string* hex, std::string* ascii) const {
  BYTE bytes[kRowBytes];
  const int count = RowBytes(row, bytes);
  if (count == 0)
    return false;
  char h[kHexChars + 1];
  char a[kRowBytes + 1];
  FormatRow(bytes, count, h, a);
  hex->assign(h);
  ascii->assign(a);
  return true;
}
