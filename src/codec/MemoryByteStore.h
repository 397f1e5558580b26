// CMemoryByteStore: a list's bytes kept in memory, for a list that has no
// file to read from (before the receive display starts, or in tests).
//
// Storage: chunks of bytes, filled in order. Chunks start at kFirstChunk and
// double up to kMaxChunk; a kMaxChunk chunk is aligned to its size and asks
// for transparent huge pages, so a long stream costs one page fault per
// 2 MiB rather than per 4 KiB. Memory is the bytes held plus the last
// chunk's free space (at most kMaxChunk); appending costs time in proportion
// to what is appended.
//
// Thread safety: none.
#pragma once

#include <memory>
#include <vector>

#include "codec/ByteStore.h"

class CMemoryByteStore : public IByteStore {
 public:
  static constexpr size_t kFirstChunk = 64 * 1024;
  static constexpr size_t kMaxChunk = 2 * 1024 * 1024;

  CMemoryByteStore() = default;
  CMemoryByteStore(const CMemoryByteStore&) = delete;
  CMemoryByteStore& operator=(const CMemoryByteStore&) = delete;

  void Append(const BYTE* data, size_t length) override;
  bool AppendHeld(size_t) override { return false; }  // no file behind it
  size_t Read(std::uint64_t offset, BYTE* out, size_t count) const override;
  void Clear() override;
  size_t MemoryBytes() const override;

 private:
  struct FreeBytes {
    void operator()(BYTE* p) const;
  };
  struct Chunk {
    std::unique_ptr<BYTE, FreeBytes> data;
    size_t size = 0;
    size_t capacity = 0;
  };
  void AddChunk();

  std::vector<Chunk> m_chunks;
  std::vector<std::uint64_t> m_chunkStarts;  // offset of each chunk's first byte
  std::uint64_t m_nBytes = 0;
};
