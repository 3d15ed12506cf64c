// File-name schemes.
#include "output/fnames.hpp"

namespace kovra {
namespace {
FNameLimits gLimits;
} // namespace

void InitFNameLimits() { gLimits = FNameLimits{}; }
const FNameLimits& GetFNameLimits() { return gLimits; }

// Placeholders until the schemes are written.
bool BuildNewStyleFName(NewStyleFName& out, int16_t, int16_t, int16_t, int16_t, int16_t, int32_t,
                        int16_t) {
  out = NewStyleFName{};
  return false;
}
std::string MakeOldStyleFName(const Sys&, bool) { return {}; }

} // namespace kovra
