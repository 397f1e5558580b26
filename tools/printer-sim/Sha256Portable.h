// A plain C++ SHA-256, used when OpenSSL's libcrypto is not there to build
// against. Slower (a few hundred MB/s), but the same digests.
// Not thread-safe: one owner feeds it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class CSha256Portable {
 public:
  CSha256Portable() { Reset(); }
  void Reset();
  void Update(const uint8_t* data, size_t length);
  // The digest of everything fed so far; the running hash is left as it was.
  std::array<uint8_t, 32> Digest() const;

 private:
  void Block(const uint8_t* block);

  std::array<uint32_t, 8> m_state;
  std::array<uint8_t, 64> m_buffer;
  size_t m_nBuffered;
  uint64_t m_qwLength;
};
