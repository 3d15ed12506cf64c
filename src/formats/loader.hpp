// The design loader: every design file enters the program here.
//
// A file is read in one of two ways. Without given parameters (name-given flag
// clear) the keyword scan looks for a "load" line (the design is in another
// file, named relative to this file's directory), an ID line (then the rest of
// the header: "base n", "data", or the first block line), or a first block
// line (then the file is read again as with parameters given). With given
// parameters the line-count scan takes the ID line if there is one, or else
// counts the block lines, keeps the caller's parameters and reads a plain
// file's blocks in the same pass; under -g1/-g2 it recognises a
// compressed-text header ("CHI,b,v,k,") as the first data line.
//
// The text is parsed while it is read (see base/input.hpp): the name "-"
// reads standard input, and anything but a regular file or a FIFO (a
// directory, a device such as /dev/zero) is refused like a file that cannot
// be opened, with a line naming it and the reason. The only second look is
// at compressed data without ID line, found by the line-count scan, which a
// pipe allows only while it is still in the window. Beyond the plain rules,
// the loader refuses (see SysLoad): "load" lines nested more than
// MAX_LOAD_DEPTH deep (a file that loads itself, or a loop), a line longer
// than MAX_LINE_BYTES, a plain file too short for the b blocks its header
// announces (code 11 before anything is allocated), blocks beyond the memory
// bound (code 3), and under -z a file with more distinct numbers than v
// (code 6).
#pragma once

#include "base/input.hpp"
#include "design/sys.hpp"

#include <cstdint>

namespace kovra {

// In/out values of SysLoad. On return they hold what was read, whatever the result.
struct LoadParams : DesignParams {
  uint16_t base = 1;
  uint32_t b = 0;
  uint16_t v1 = 0, w1 = 0, w2 = 0;
  bool idLine = false; // the parameters came from an ID line
  // In: k may be taken from the data when no header gives it (nobody gave
  // k): from the first block, and every other must have its size.
  bool kOpen = false;
  bool kFromData = false;   // out: it was
  bool vFromData = false;   // out: v is the file's own, with no ID line (XML)
  uint32_t design = 0;      // in: which design of a file that holds several (XML), from 0
  uint32_t designsHeld = 1; // out: the designs the file holds (XML)
};

// How many "load" lines may lead from one file to the next before the loader
// gives up; a chain this long can only be a loop.
inline constexpr int MAX_LOAD_DEPTH = 16;

// Opens a design file ("-": standard input) for reading. When that fails,
// prints "Err: can't open <NAME> (REASON)" and returns false.
bool OpenDesignInput(const char* fileName, InputStream& input);

// Opens `fileName`, recognises plain text, ctext or cbin, takes the parameters
// from the ID line (or from `io` when nameGiven and the file has none), and
// reads the blocks while it reads the text: the array grows as blocks arrive,
// up to b, and nothing else grows with the input. Returns the array (b rows
// of k points) or null; the caller owns it. Malformed plain files end the
// program through ErrExit (codes 2, 3, 6, 7, 8, 11, 12, 13), and so does a
// design whose blocks would take more than `memoryBound` bytes (0: the
// default bound; code 3, with both sizes, before anything is stored); the
// file is closed and the current directory restored on every path.
// `newFNameSchemeRun` (the run's copy of -f2) switches the file-name check off.
BlockArray SysLoad(const char* fileName, LoadParams& io, bool nameGiven, uint8_t expectedKind,
                   bool closeGaps, bool newFNameSchemeRun, uint64_t memoryBound = 0);

// True when `line` (from its significant start) begins with the four numbers
// and four commas of a compressed-text header "CHI,b,v,k,"; then `chi` and
// `b` receive the first two numbers (saturated at 2^32-1).
bool SniffCTextHeader(const char* line, uint32_t& chi, uint32_t& b);

// Reads the design named in sys.szFileName into sys (see the design record).
// A negative base keeps sys.base. Passes sys.fNewFNameScheme to the loader.
// How a design is read into a Sys.
struct LoadOptions {
  bool sort = true;         // sort the points of each block
  int16_t base = -1;        // the base to bring the design to; negative keeps sys.base
  uint8_t bCompressed = 0;  // -g: the encoding the file is expected in
  bool closeGaps = false;   // -z: renumber the points densely
  uint64_t memoryBound = 0; // --memory: bytes the blocks may take; 0 = a quarter of RAM
  bool baseGiven = false;   // -a was given: a file whose header names another base says so
  uint32_t designIndex = 0; // which design of a file that holds several (XML), from 0
};

bool ReadSys(Sys& sys, bool nameGiven, const LoadOptions& opt);

// The number of designs the file holds: those of an XML file (see
// formats/xmldesign.hpp), 1 for every other file. Standard input is not
// looked at (it can be read once only) and counts 1, as does a file that
// cannot be opened or read: loading it then says why.
uint32_t DesignsInFile(const char* fileName, uint64_t memoryBound);

// Loads `fileName` taking the parameters from the file. A name longer than
// the record's FNAME_CAPACITY characters is refused with a message rather
// than cut (a cut name would load some other file).
bool LoadSys(Sys& sys, const char* fileName, const LoadOptions& opt);

} // namespace kovra
