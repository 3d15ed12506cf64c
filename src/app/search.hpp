// The parameter search (-z2) for a bare block list.
#pragma once

#include "app/driver.hpp"
#include "base/settings.hpp"

#include <cstdint>
#include <functional>
#include <string>

namespace kovra {

// Runs one candidate design with the run settings as they stand; true when it
// passed. Has the shape of RunOne, which the search uses.
using SearchRunFn = std::function<RunOutcome(RunSettings& rs, bool force, bool toSysDir)>;

// Finds k and v from the file's data, then tries candidate parameters from
// the highest t down until a design run passes, and raises l while it still
// passes. Every candidate is tested completely (a -q value is ignored), so
// what it reports holds for every combination. True when satisfying
// parameters were found (the exit status is then 1). The candidates read a
// temporary copy of the blocks numbered densely from 1, which is removed on
// every way out, a fatal exit in a run included.
bool FindDesignParams(RunSettings& rs, const std::string& fileName);

// The same with another run function in place of RunOne, so that the order of
// the candidates and the copy they read can be observed.
bool FindDesignParams(RunSettings& rs, const std::string& fileName, const SearchRunFn& run);

} // namespace kovra
