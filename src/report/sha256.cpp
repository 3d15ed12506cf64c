// SHA-256 through libcrypto: the one file that sees OpenSSL.
#include "report/certificate.hpp"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>

namespace kovra {

std::string Sha256Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  // A digest that fails to compute (no memory in libcrypto) leaves an empty
  // text: a certificate without a fingerprint, never a wrong one.
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1) return {};
  std::string hex;
  char pair[3];
  for (unsigned int i = 0; i < size; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", digest[i]);
    hex += pair;
  }
  return hex;
}

} // namespace kovra
