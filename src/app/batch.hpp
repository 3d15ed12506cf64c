// The internal batch modes over the system tree.
#pragma once

#include "base/settings.hpp"

namespace kovra {

void TestAll(RunSettings& rs);
void CDsOnly(RunSettings& rs);

} // namespace kovra
