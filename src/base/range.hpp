// The range check shared by the option parser, the design run and the engine.
#pragma once

#include <cstdint>

namespace kovra {

// Returns only when low <= value <= high. Otherwise prints the range message
// naming `label` (the option and the setting's name, as "-g (bCompressed)"),
// the value and the range, and ends the program through ErrExit with code 1.
void CheckRange(int64_t value, int64_t low, int64_t high, const char* label);

} // namespace kovra
