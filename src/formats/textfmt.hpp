// The plain design text format: line reading, keywords, block lines, headers.
#pragma once

#include "design/sys.hpp"

#include <cstdint>
#include <cstdio>

namespace kovra {

// Every text line is read into a buffer of this size: at most 255 characters
// of a line are seen, the rest of a longer line arrives as the next line.
inline constexpr int LINE_BUFSIZE = 256;

// Reads the next line into buf (LINE_BUFSIZE bytes). Optionally cuts it at its
// first CR, LF or 0x8D, cuts comments ("#" first, then ";") and turns TABs
// into blanks. Returns false at the end of the file.
bool ReadTextLine(char* buf, std::FILE* stream, bool cutLineEnd, bool cutComments,
                  bool tabsToBlanks);

// The significant start of a line: the first letter, digit, listed punctuation
// or listed code-page-437 letter; the terminator when there is none.
const char* SkipLead(const char* line);

// True when p starts with the keyword ("ID ", "load", "data", "base"),
// compared without case over the keyword's length.
bool IsKeyword(const char* p, const char* keyword);

// A data line is one whose significant start is a decimal digit.
bool IsDataLine(const char* line);

// Codes of ReadBlockLine.
enum BlockLineCode : int {
  BLK_OK = 0,
  BLK_RANGE = 6,
  BLK_DUP = 7,
  BLK_TOO_MANY = 8,
  BLK_MISSING = 11,
  BLK_TOO_FEW = 12,
};

// Reads the next block line into block.pt[0..k-1]. firstLine, when given, is
// examined before any line is read. Returns one of the codes above.
int ReadBlockLine(Block& block, unsigned k, long low, long high, std::FILE* stream,
                  const char* firstLine);

// ReadBlockLine that ends the program through ErrExit on any code but 0.
void ReadBlockLineOrExit(Block& block, unsigned k, long low, long high, std::FILE* stream,
                         const char* firstLine);

// The numbers of a line as signed 32-bit values, stopping at the first token
// that does not start with a digit. More than `capacity` digit tokens set
// *overflow. Returns the count stored (0 unless the line starts with a digit).
int ReadNumberLine(int32_t* dst, int capacity, const char* line, bool* overflow);

// Header lines 1 to 6 of a plain file (bCmpr 0), or the bare ID line for a
// compressed file (Base forced to 1). Flushes the stream.
void WriteIdHeader(std::FILE* stream, uint16_t v, uint16_t k, uint16_t t, uint16_t m, uint16_t l,
                   uint32_t b, uint16_t x, uint16_t base, const char* comment, uint8_t bCmpr,
                   uint32_t chi, uint32_t cei, uint32_t cll, uint16_t cfExp, bool author);

// One line per block, "%2d" and " %2d", skipping blocks with flag bit 0 set.
void WriteBlockLines(const Block* blocks, uint32_t count, std::FILE* stream);

} // namespace kovra
