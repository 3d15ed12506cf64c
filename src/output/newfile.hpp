// Writing a design to a new file (or to standard output with -D).
#pragma once

#include "design/sys.hpp"

#include <cstdint>
#include <string>

namespace kovra {

enum CreateResult : int {
  CREATE_NOTHING = 0, // nothing written, or the writing failed
  CREATE_FILE = 1,    // a new file was written completely
  CREATE_DUMPED = 2,  // written to standard output
  CREATE_TEMP = 3,    // cbin under -D: written to a temporary file, not the file asked for
};

// The one naming rule for a new design file, so that the name the run checks
// and reports is the file written: the new-style name when the design's
// fNewFNameScheme is on and the name can be built; otherwise, when the
// old-style limits hold, the design's place in the system tree (toSysDir;
// this names the design there, see SetSysDirFName) or its old-style name.
// Empty when no name is possible.
std::string NewFileTarget(Sys& sys, bool useL, bool toSysDir);

// Whether a new file may go to `target`: when nothing is there, or with
// `replace` (-O) when what is there may be replaced (see UnreplaceableKind).
// Otherwise prints why not and returns false. An empty target (no name
// possible) is no refusal.
bool MayCreateFile(const std::string& target, bool replace);

// What to write where.
struct NewFileRequest {
  std::string target;        // NewFileTarget's name; empty: no name possible
  const char* comment = "";  // the Comments line of a plain file
  uint16_t outBase = 1;      // -p: first point number in the file
  bool createAllowed = true; // false: MayCreateFile refused the target
  bool replace = false;      // -O: the target may be replaced
  uint8_t method = 0;        // -g: 0 plain text, 1 ctext, 2 cbin, 3 XML
  uint32_t avgLineLen = 64;  // -G: ctext line length
  bool useExp = true;        // -N: repeat signs in compressed output
  bool dumpToStdout = false; // -D: standard output when no file can be made
  bool toStdout = false;     // --output=-: standard output instead of any file
};

// Writes the design to req.target by req.method in base req.outBase and
// restores the design's base. The file appears complete or not at all, and
// replaces only what req.replace allows (see output/safefile.hpp): a target
// that appeared while the design was written is reported as an existing
// file and left as it is. With createAllowed false nothing is created or
// touched. When no file can be made, dumpToStdout writes the design to
// standard output alone, or a compressed binary design to a temporary file
// of its own (CREATE_TEMP); the dump counts only when standard output took
// all of it. toStdout writes the design, in any encoding, to standard output
// and touches no file (CREATE_DUMPED). Returns a CreateResult.
int CreateNewSysFile(Sys& sys, const NewFileRequest& req);

} // namespace kovra
