#include "codec/HexRows.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

std::uint64_t RowsOf(std::uint64_t bytes) {
  return (bytes + CHexRows::kRowBytes - 1) / CHexRows::kRowBytes;
}

}  // namespace

CHexRows::CHexRows() {
  m_segments.push_back({0, 0});
}

void CHexRows::Append(const BYTE* data, size_t length) {
  while (length > 0) {
    if (m_blocks.empty() || m_blocks.back().size() == m_blocks.back().capacity()) {
      m_blockStarts.push_back(m_nBytes);
      m_blocks.emplace_back();
      m_blocks.back().reserve(kBlockSize);
    }
    std::vector<BYTE>& tail = m_blocks.back();
    const size_t n = std::min(length, tail.capacity() - tail.size());
    tail.insert(tail.end(), data, data + n);
    m_nBytes += n;
    data += n;
    length -= n;
  }
}

void CHexRows::Adopt(std::vector<BYTE>&& block) {
  if (block.size() != kBlockSize) {
    Append(block.data(), block.size());
    return;
  }
  CloseTail();
  m_blockStarts.push_back(m_nBytes);
  m_nBytes += block.size();
  m_blocks.push_back(std::move(block));
}

// A partly filled last block is cut to its size before a block follows it.
void CHexRows::CloseTail() {
  if (!m_blocks.empty() && m_blocks.back().size() < m_blocks.back().capacity())
    m_blocks.back().shrink_to_fit();
}

size_t CHexRows::MemoryBytes() const {
  size_t total = 0;
  for (const std::vector<BYTE>& block : m_blocks)
    total += block.capacity();
  return total;
}

void CHexRows::BreakRow() {
  if (LineCounter() != 0)
    m_segments.push_back({m_nBytes, RowCount()});
}

void CHexRows::Clear() {
  m_blocks.clear();
  m_blocks.shrink_to_fit();
  m_blockStarts.clear();
  m_blockStarts.shrink_to_fit();
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
      static_cast<size_t>(std::upper_bound(m_blockStarts.begin(), m_blockStarts.end(), offset) -
                          m_blockStarts.begin() - 1);
  while (count > 0) {
    const size_t inBlock = static_cast<size_t>(offset - m_blockStarts[i]);
    const size_t n = std::min(count, m_blocks[i].size() - inBlock);
    std::memcpy(out, m_blocks[i].data() + inBlock, n);
    out += n;
    offset += n;
    count -= n;
    ++i;
  }
}

int CHexRows::RowBytes(std::uint64_t row, BYTE* out) const {
  if (row >= RowCount())
    return 0;
  auto next = std::upper_bound(m_segments.begin(), m_segments.end(), row,
                               [](std::uint64_t r, const Segment& s) { return r < s.firstRow; });
  const Segment& segment = *(next - 1);
  const std::uint64_t end = next == m_segments.end() ? m_nBytes : next->firstByte;
  const std::uint64_t offset = segment.firstByte + (row - segment.firstRow) * kRowBytes;
  const int count = static_cast<int>(std::min<std::uint64_t>(kRowBytes, end - offset));
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
    ascii[i] = (bytes[i] >= 0x20 && bytes[i] <= 0x7F) ? static_cast<char>(bytes[i]) : ' ';
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
