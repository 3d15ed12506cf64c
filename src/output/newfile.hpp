// Writing a design to a new file (or to standard output with -D).
#pragma once

#include "design/sys.hpp"

#include <cstdint>
#include <string>

namespace kovra {

enum CreateResult : int {
  CREATE_NOTHING = 0, // nothing written, or the writing failed
  CREATE_FILE = 1,    // a new file was written completely
  CREATE_DUMPED = 2,  // written to standard output (or a temporary file for cbin)
};

// The name CreateNewSysFile will write to, by the same rules: the new-style
// name when the design's fNewFNameScheme is on and the name can be built,
// else the old-style name (always made; a name wider than twelve characters
// is one CreateNewSysFile then refuses). Not for the system-tree mode, where
// the design's own file name is the target.
std::string TargetFileName(const Sys& sys, bool useL);

// Chooses the target (new-style name, old-style name, or with toSysDir the
// design's place in the system tree), writes the design there by `method`
// (0 plain text, 1 ctext, 2 cbin) in base outBase, and restores the design's
// base. The file appears complete or not at all: it is written under a
// temporary name beside the target and renamed over it only when every write,
// flush and close succeeded. With createAllowed false (the target exists and
// -O is off) nothing is created or touched. When no file can be made,
// dumpToStdout writes the design to standard output alone. Returns a
// CreateResult.
int CreateNewSysFile(Sys& sys, const char* comment, uint16_t outBase, bool createAllowed, bool useL,
                     uint8_t method, uint32_t avgLineLen, bool useExp, bool dumpToStdout,
                     bool toSysDir);

} // namespace kovra
