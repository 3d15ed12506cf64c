// The internal batch modes.
#include "app/batch.hpp"

#include "base/console.hpp"

namespace kovra {

void TestAll(RunSettings&) { DualPrint("Err: TestAll is not available in this build yet.\n"); }
void CDsOnly(RunSettings&) { DualPrint("Err: CDsOnly is not available in this build yet.\n"); }

} // namespace kovra
