#include "codec/HexRows.h"

#include <algorithm>

#include "codec/MemoryByteStore.h"

namespace {

std::uint64_t RowsOf(std::uint64_t bytes) {
  return (bytes + CHexRows::kRowBytes - 1) / CHexRows::kRowBytes;
}

}  // namespace

CHexRows::CHexRows() : m_pStore(std::make_unique<CMemoryByteStore>()) {
  m_segments.push_back({0, 0});
}

CHexRows::~CHexRows() = default;

void CHexRows::SetStore(std::unique_ptr<IByteStore> store) {
  m_pStore = std::move(store);
  m_nBytes = 0;
  m_segments.assign(1, Segment{0, 0});
}

void CHexRows::Append(const BYTE* data, size_t length) {
  m_pStore->Append(data, length);
  m_nBytes += length;
}

bool CHexRows::AppendHeld(size_t length) {
  if (!m_pStore->AppendHeld(length))
    return false;
  m_nBytes += length;
  return true;
}

void CHexRows::BreakRow() {
  if (LineCounter() != 0)
    m_segments.push_back({m_nBytes, RowCount()});
}

void CHexRows::Clear() {
  m_pStore->Clear();
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

int CHexRows::RowRange(std::uint64_t row, std::uint64_t* offset) const {
  if (row >= RowCount())
    return 0;
  auto next = std::upper_bound(m_segments.begin(), m_segments.end(), row,
                               [](std::uint64_t r, const Segment& s) { return r < s.firstRow; });
  const Segment& segment = *(next - 1);
  const std::uint64_t end = next == m_segments.end() ? m_nBytes : next->firstByte;
  *offset = segment.firstByte + (row - segment.firstRow) * kRowBytes;
  return static_cast<int>(std::min<std::uint64_t>(kRowBytes, end - *offset));
}

int CHexRows::RowBytes(std::uint64_t row, BYTE* out) const {
  std::uint64_t offset = 0;
  const int count = RowRange(row, &offset);
  if (count == 0)
    return 0;
  return m_pStore->Read(offset, out, static_cast<size_t>(count)) == static_cast<size_t>(count)
             ? count
             : 0;
}

std::uint64_t CHexRows::RowOffset(std::uint64_t row, int* count) const {
  std::uint64_t offset = 0;
  *count = RowRange(row, &offset);
  return offset;
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
