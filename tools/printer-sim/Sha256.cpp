#include "Sha256.h"

#include <openssl/evp.h>

#include <cstdio>
#include <cstdlib>

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
  std::string text;
  char pair[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", digest[i]);
    text += pair;
  }
  return text;
}
