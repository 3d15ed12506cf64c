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

// The name CreateNewSysFile will write to, by the same rules (new style under
// -f2 when it fits, else old style); empty when no name can be made. Not for
// the system-tree mode, where the design's own file name is the target.
std::string TargetFileName(const Sys& sys, bool useL);

int CreateNewSysFile(Sys& sys, const char* comment, uint16_t outBase, bool createAllowed, bool useL,
                     uint8_t method, uint32_t avgLineLen, bool useExp, bool dumpToStdout,
                     bool toSysDir);

} // namespace kovra
