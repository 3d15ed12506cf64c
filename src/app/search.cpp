// The parameter search.
#include "app/search.hpp"

#include "base/console.hpp"

namespace kovra {

bool FindDesignParams(RunSettings&, const std::string&) {
  DualPrint("Err: the parameter search (-z2) is not available in this build yet.\n");
  return false;
}

} // namespace kovra
