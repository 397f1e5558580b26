#include "engine/RxFeed.h"

#include <algorithm>

#include "platform/Clock.h"

void CRxFeed::Put(const BYTE* data, DWORD length) {
  Put(data, length, NowMs());
}

void CRxFeed::Put(const BYTE* data, DWORD length, std::uint64_t arrivalMs) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_bEnabled || length == 0)
    return;
  // Skipped bytes keep their marks too: the display reads them back from the
  // file and still shows when they came.
  if (m_marks.empty() || m_marks.back().ms != arrivalMs)
    m_marks.push_back({m_nPending, arrivalMs});
  if (m_nSkipped > 0 || (m_nLimit > 0 && m_nPending + length > m_nLimit)) {
    m_nSkipped += length;
    m_nPending += length;
    return;
  }
  m_nPending += length;
  while (length > 0) {
    if (m_blocks.empty() || m_blocks.back().size() == kBlockSize) {
      if (!m_spares.empty()) {
        m_blocks.push_back(std::move(m_spares.back()));
        m_spares.pop_back();
      } else {
        m_blocks.emplace_back();
        m_blocks.back().reserve(kBlockSize);
      }
    }
    Block& block = m_blocks.back();
    const DWORD n = static_cast<DWORD>(std::min<size_t>(length, kBlockSize - block.size()));
    block.insert(block.end(), data, data + n);
    data += n;
    length -= n;
  }
}

size_t CRxFeed::Take(std::vector<Block>* out, std::vector<Mark>* marks, size_t* skipped) {
  std::vector<Block> old;
  size_t count = 0;
  if (marks)
    marks->clear();  // keeps its capacity for the feed's next marks
  {
    std::lock_guard<std::mutex> lock(m_lock);
    old.swap(*out);
    out->swap(m_blocks);
    if (marks)
      marks->swap(m_marks);
    else
      m_marks.clear();
    count = m_nPending;
    if (skipped != nullptr)
      *skipped = m_nSkipped;
    m_nPending = 0;
    m_nSkipped = 0;
  }
  return count;  // the old blocks are freed here, outside the lock
}

void CRxFeed::Recycle(std::vector<Block>* used) {
  for (Block& block : *used)
    block.clear();
  std::vector<Block> extra;  // freed outside the lock
  {
    std::lock_guard<std::mutex> lock(m_lock);
    for (Block& block : *used) {
      if (!m_bEnabled || m_spares.size() >= kMaxSpares || block.capacity() != kBlockSize)
        extra.push_back(std::move(block));
      else
        m_spares.push_back(std::move(block));
    }
  }
  used->clear();
}

void CRxFeed::Discard() {
  std::vector<Block> old;
  std::lock_guard<std::mutex> lock(m_lock);
  old.swap(m_blocks);
  m_marks.clear();
  m_nPending = 0;
  m_nSkipped = 0;
}

void CRxFeed::SetLimit(size_t bytes) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_nLimit = bytes;
}

size_t CRxFeed::HeldBytes() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_nPending - m_nSkipped;
}

void CRxFeed::SetEnabled(bool enabled) {
  std::vector<Block> old, spares;
  std::lock_guard<std::mutex> lock(m_lock);
  m_bEnabled = enabled;
  if (!enabled) {
    old.swap(m_blocks);
    spares.swap(m_spares);
    m_marks.clear();
    m_nPending = 0;
    m_nSkipped = 0;
  }
}

bool CRxFeed::IsEnabled() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_bEnabled;
}
