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

// The one naming rule for a new design file, so that the name the run checks
// and reports is the file written: the new-style name when the design's
// fNewFNameScheme is on and the name can be built; otherwise, when the
// old-style limits hold, the design's place in the system tree (toSysDir;
// this names the design there, see SetSysDirFName) or its old-style name.
// Empty when no name is possible.
std::string NewFileTarget(Sys& sys, bool useL, bool toSysDir);

// What to write where.
struct NewFileRequest {
  std::string target;        // NewFileTarget's name; empty: no name possible
  const char* comment = "";  // the Comments line of a plain file
  uint16_t outBase = 1;      // -p: first point number in the file
  bool createAllowed = true; // false: the target exists and -O is off
  uint8_t method = 0;        // -g: 0 plain text, 1 ctext, 2 cbin
  uint32_t avgLineLen = 64;  // -G: ctext line length
  bool useExp = true;        // -N: repeat signs in compressed output
  bool dumpToStdout = false; // -D: standard output when no file can be made
};

// Writes the design to req.target by req.method in base req.outBase and
// restores the design's base. The file appears complete or not at all: it is
// written under a temporary name beside the target and renamed over it only
// when every write, flush and close succeeded. With createAllowed false
// nothing is created or touched. When no file can be made, dumpToStdout
// writes the design to standard output alone; the dump counts only when
// standard output took all of it. Returns a CreateResult.
int CreateNewSysFile(Sys& sys, const NewFileRequest& req);

} // namespace kovra
