// Fuzz target: the reader of certificates that --merge takes from files of
// any origin. A line it accepts is written again and must read back to the
// same values; nothing it is given may crash it.
#include "report/certificate.hpp"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  kovra::Certificate c;
  std::string why;
  if (!kovra::ReadCertificate(line, c, why)) return 0;
  kovra::Certificate again;
  if (!kovra::ReadCertificate(kovra::CertificateJson(c), again, why)) __builtin_trap();
  if (again.partIndex != c.partIndex || again.partCount != c.partCount ||
      again.fingerprint != c.fingerprint || again.losingCount != c.losingCount ||
      again.losingFirst != c.losingFirst || again.b != c.b)
    __builtin_trap();
  return 0;
}
