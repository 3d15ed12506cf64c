// --isomorphic A B: whether two designs are the same up to relabelling.
#pragma once

#include "base/settings.hpp"

#include <string>
#include <vector>

namespace kovra {

// Loads the two designs with the run's parameters and compares their
// canonical forms within --time-limit. Prints "isomorphic" and a point map
// from the first onto the second (checked by applying it first), or "not
// isomorphic". Returns 0 or 1, 5 (EXIT_UNDECIDED) when the canonical forms
// were not found in time, 2 when not two designs were given or one could not
// be read.
int CompareDesigns(RunSettings& rs, const std::vector<std::string>& files);

} // namespace kovra
