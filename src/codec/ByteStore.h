// IByteStore: where the bytes of a receive list live (CHexRows reads its rows
// from one). Bytes are only ever added at the end, so byte i of the list is
// at offset i of the store until Clear.
//
// Implementations: CMemoryByteStore (every byte in memory) and, in the
// engine, CFileByteStore (the bytes in a file, a small cache in memory).
//
// Thread safety: none; one thread (the window's) uses a store.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Win32Types.h"

class IByteStore {
 public:
  virtual ~IByteStore() = default;
  // Adds bytes at the end. May throw std::bad_alloc, as a container would.
  virtual void Append(const BYTE* data, size_t length) = 0;
  // Adds `length` bytes that the file the store reads holds already at the
  // store's end, without their copy; false, adding nothing, when the store
  // has no such file or the file does not hold them (Append them instead).
  virtual bool AppendHeld(size_t length) = 0;
  // Copies up to count bytes from offset to out; the count copied, short
  // (down to 0) when bytes stored cannot be read back.
  virtual size_t Read(std::uint64_t offset, BYTE* out, size_t count) const = 0;
  // Drops every byte.
  virtual void Clear() = 0;
  // Memory the store holds for the bytes.
  virtual size_t MemoryBytes() const = 0;
};
