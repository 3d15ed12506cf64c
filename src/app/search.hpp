// The parameter search (-z2) for a bare block list.
#pragma once

#include "base/settings.hpp"

#include <string>

namespace kovra {

// True when satisfying parameters were found (the exit status is then 1).
bool FindDesignParams(RunSettings& rs, const std::string& fileName);

} // namespace kovra
