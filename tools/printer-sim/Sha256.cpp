#include "Sha256.h"

#include <cstdio>
#include <cstdlib>

#ifdef SENDRIX_SIM_HAVE_OPENSSL
#include <openssl/evp.h>
#endif

std::string HexText(const uint8_t* data, size_t length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(length * 2);
  for (size_t i = 0; i < length; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0x0F];
  }
  return text;
}

#ifdef SENDRIX_SIM_HAVE_OPENSSL

bool CSha256::UsesOpenSsl() {
  return true;
}

CSha256::CSha256() : m_pCtx(EVP_MD_CTX_new()) {
  if (m_pCtx == nullptr) {
    std::abort();  // out of memory: nothing sensible left to do in a test peer
  }
  Reset();
}

CSha256::~CSha256() {
  EVP_MD_CTX_free(m_pCtx);
}

void CSha256::Reset() {
  EVP_DigestInit_ex(m_pCtx, EVP_sha256(), nullptr);
}

void CSha256::Update(const void* data, size_t length) {
  if (length != 0) {
    EVP_DigestUpdate(m_pCtx, data, length);
  }
}

std::string CSha256::HexDigest() const {
  EVP_MD_CTX* copy = EVP_MD_CTX_new();
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (copy == nullptr || EVP_MD_CTX_copy_ex(copy, m_pCtx) != 1 ||
      EVP_DigestFinal_ex(copy, digest, &length) != 1) {
    EVP_MD_CTX_free(copy);
    return std::string();
  }
  EVP_MD_CTX_free(copy);
  return HexText(digest, length);
}

#else

bool CSha256::UsesOpenSsl() {
  return false;
}

CSha256::CSha256() = default;

CSha256::~CSha256() = default;

void CSha256::Reset() {
  m_portable.Reset();
}

void CSha256::Update(const void* data, size_t length) {
  m_portable.Update(static_cast<const uint8_t*>(data), length);
}

std::string CSha256::HexDigest() const {
  const std::array<uint8_t, 32> digest = m_portable.Digest();
  return HexText(digest.data(), digest.size());
}

#endif
