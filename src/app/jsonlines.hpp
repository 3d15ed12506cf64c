// The JSON lines a run writes beside its log: certificates, the search's
// record, the line of a design not checked.
#pragma once

#include "base/settings.hpp"

#include <string>

namespace kovra {

// Writes one line of JSON where the run sends its certificates: the file of
// --json=FILE, else standard output.
void EmitJsonLine(const RunSettings& rs, const std::string& line);

} // namespace kovra
