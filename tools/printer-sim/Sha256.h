// Incremental SHA-256 of a byte stream. Built against OpenSSL's libcrypto
// when it is there (it uses the CPU's SHA instructions: the simulator hashes
// every byte it receives and must keep up with a loopback sender), otherwise
// on the plain C++ CSha256Portable.
// Not thread-safe: one owner feeds it; callers lock around it if shared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Sha256Portable.h"

struct evp_md_ctx_st;

class CSha256 {
 public:
  CSha256();
  ~CSha256();
  CSha256(const CSha256&) = delete;
  CSha256& operator=(const CSha256&) = delete;

  void Reset();
  void Update(const void* data, size_t length);
  // Lower-case hex digest of everything fed since the last Reset. The running
  // hash is left as it was, so more bytes may follow.
  std::string HexDigest() const;
  // True when libcrypto does the work.
  static bool UsesOpenSsl();

 private:
  [[maybe_unused]] evp_md_ctx_st* m_pCtx = nullptr;  // unused without OpenSSL
  CSha256Portable m_portable;
};

// Lower-case hex of bytes.
std::string HexText(const uint8_t* data, size_t length);
