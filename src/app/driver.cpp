// The design run.
#include "app/driver.hpp"

#include "base/console.hpp"

namespace kovra {

bool RunDesign(RunSettings&, uint32_t* removed, bool, bool) {
  *removed = 0;
  DualPrint("Err: the design run is not available in this build yet.\n");
  return false;
}

} // namespace kovra
