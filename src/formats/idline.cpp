// The ID line.
#include "formats/idline.hpp"

namespace kovra {

// Placeholder until the ID line reader is written: reads nothing.
int ParseIdLine(IdRecord& id, const char*, bool reset, const char*, bool) {
  if (reset) id = IdRecord{};
  return 0;
}

void CheckFNameAgainstId(IdRecord&, const char*, bool) {}

} // namespace kovra
