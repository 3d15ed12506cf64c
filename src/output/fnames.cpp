// File-name schemes.
#include "output/fnames.hpp"

#include <cstdio>
#include <cstring>

namespace kovra {
namespace {

// Writes `value` in base 36 right-aligned into dst[0..width-1], which holds
// the template's zeros. A longer digit string would keep its leading digits;
// the bounds checked before every call make each value fit.
void PutBase36(char* dst, int width, int32_t value) {
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  char digits[16];
  int n = 0;
  auto rest = static_cast<uint32_t>(value);
  do {
    digits[n++] = kDigits[rest % 36];
    rest /= 36;
  } while (rest != 0 && n < static_cast<int>(sizeof digits));
  if (n > width) {
    for (int i = 0; i < width; ++i) dst[i] = digits[n - 1 - i];
    return;
  }
  for (int i = 0; i < n; ++i) dst[width - 1 - i] = digits[i];
}

} // namespace

bool BuildNewStyleFName(NewStyleFName& out, int16_t v, int16_t k, int16_t t, int16_t m, int16_t l,
                        int32_t b, int16_t xFlags) {
  out.valid = false;
  out.name[0] = '\0';
  const FNameLimits& lim = NEW_STYLE_LIMITS;
  // A negative b or xFlags has no base-36 digits; such a name would carry a
  // minus sign, so it is refused like any other value that does not fit.
  if (v > lim.v || k > lim.k || t > lim.t || m > lim.m || l > lim.l || b > lim.b ||
      xFlags > lim.xFlags || b < 0 || xFlags < 0)
    return false;
  if (v < k || k < t || m < t || t < 1 || m < 1 || l < 1 || v < t) return false;

  std::memcpy(out.name, "00000000.000", 13);
  out.v = v;
  out.k = k;
  out.t = t;
  out.m = m;
  out.l = l;
  out.xFlags = xFlags;
  out.b = b;
  PutBase36(out.name + 0, 2, v);
  PutBase36(out.name + 2, 1, k);
  PutBase36(out.name + 3, 1, t);
  PutBase36(out.name + 4, 1, m);
  PutBase36(out.name + 5, 2, l);
  PutBase36(out.name + 7, 1, xFlags);
  PutBase36(out.name + 9, 3, b);
  out.name[8] = '.';
  out.valid = true;
  return true;
}

std::string OldStyleFName(const DesignParams& p, uint32_t b, char L) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02hu%04lu%hu%c.%hu%c%hu", p.v, static_cast<unsigned long>(b),
                p.t, 'a', p.m, L, p.k);
  return buf;
}

std::string MakeOldStyleFName(const Sys& sys, bool useL) {
  return OldStyleFName(sys, sys.b, (useL && sys.l <= 9) ? static_cast<char>('0' + sys.l) : 'a');
}

bool FitsOldStyleFName(const Sys& sys, bool useL) {
  return sys.v <= 99 && sys.base + sys.v - 1 <= 255 && sys.k <= 9 && sys.t <= 9 && sys.m <= 9 &&
         (!useL || sys.l <= 9) && sys.b <= 9999;
}

} // namespace kovra
