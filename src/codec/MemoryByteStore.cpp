#include "codec/MemoryByteStore.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

void CMemoryByteStore::FreeBytes::operator()(BYTE* p) const {
  std::free(p);
}

void CMemoryByteStore::AddChunk() {
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

void CMemoryByteStore::Append(const BYTE* data, size_t length) {
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

size_t CMemoryByteStore::Read(std::uint64_t offset, BYTE* out, size_t count) const {
  if (offset >= m_nBytes)
    return 0;
  count = static_cast<size_t>(std::min<std::uint64_t>(count, m_nBytes - offset));
  size_t i =
      static_cast<size_t>(std::upper_bound(m_chunkStarts.begin(), m_chunkStarts.end(), offset) -
                          m_chunkStarts.begin() - 1);
  size_t left = count;
  while (left > 0) {
    const size_t inChunk = static_cast<size_t>(offset - m_chunkStarts[i]);
    const size_t n = std::min(left, m_chunks[i].size - inChunk);
    std::memcpy(out, m_chunks[i].data.get() + inChunk, n);
    out += n;
    offset += n;
    left -= n;
    ++i;
  }
  return count;
}

void CMemoryByteStore::Clear() {
  m_chunks.clear();
  m_chunks.shrink_to_fit();
  m_chunkStarts.clear();
  m_chunkStarts.shrink_to_fit();
  m_nBytes = 0;
}

size_t CMemoryByteStore::MemoryBytes() const {
  size_t total = 0;
  for (const Chunk& chunk : m_chunks)
    total += chunk.capacity;
  return total;
}
