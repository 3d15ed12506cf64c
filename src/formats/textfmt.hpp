// The plain design text format: line reading, keywords, block lines, headers.
//
// A plain design file is a header (a "#ID" column comment, the ID line, Date,
// Author and Comments lines and "Data") followed by one block per line, each
// block its k point numbers. What the readers here tolerate:
// - "#" and then ";" start a comment anywhere in a line; TAB counts as a blank.
// - Lines end with LF, CR LF or a lone CR. A line longer than 255 characters
//   is seen as 255-character pieces, each read as a line of its own, except
//   that a comment (or a NUL byte, which hides the rest of its line the same
//   way) runs to the true end of its line and never resurfaces as data.
// - Block numbers are separated by any mix of "/", blank, TAB, ",", "-", CR
//   and LF; a number is the value of a token's leading digits. A number with
//   more digits than any point can have is simply out of range (code 6), and
//   so is any number above 255, the largest value a point byte holds.
#pragma once

#include "design/sys.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kovra {

// Every text line is read into a buffer of this size: at most 255 characters
// of a line are seen, the rest of a longer line arrives as the next line.
inline constexpr int LINE_BUFSIZE = 256;

// Reads the next line into buf (LINE_BUFSIZE bytes). Optionally cuts it at its
// first CR, LF or 0x8D, cuts comments ("#" first, then ";") and turns TABs
// into blanks. Returns false at the end of the file (or on a read error).
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

inline bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// One token of a line split on a set of separator characters.
struct Token {
  const char* begin = nullptr;
  size_t size = 0;
};

// Finds the next token at or after `pos` (runs of separators count as one)
// and moves `pos` behind it. False when only separators are left.
bool NextToken(const char*& pos, const char* separators, Token& token);

// The value of the decimal digits at the start of `text` (0 when there are
// none), saturated at `cap`, so that a number of any length is read without
// overflow.
uint64_t LeadingDecimal(const char* text, uint64_t cap);

// Codes of ReadBlockLine.
enum BlockLineCode : int {
  BLK_OK = 0,
  BLK_RANGE = 6,
  BLK_DUP = 7,
  BLK_TOO_MANY = 8,
  BLK_MISSING = 11,
  BLK_TOO_FEW = 12,
};

// The text ErrExit shows for a code of ReadBlockLine (6, 7, 8, 11, 12).
const char* BlockLineErrText(int code);

// Reads the next block line into block.pt[0..k-1] (k at most 7). firstLine,
// when given, is examined before any line is read. Numbers must lie in
// low..high (and never above 255). Returns one of the codes above.
int ReadBlockLine(Block& block, unsigned k, long low, long high, std::FILE* stream,
                  const char* firstLine);

// ReadBlockLine that ends the program through ErrExit on any code but 0, with
// the code as exit status and its text.
void ReadBlockLineOrExit(Block& block, unsigned k, long low, long high, std::FILE* stream,
                         const char* firstLine);

// The numbers of a line as signed 32-bit values (a longer number is read as
// 2147483647), stopping at the first token that does not start with a digit.
// More than `capacity` digit tokens set *overflow. Returns the count stored
// (0 unless the line's significant start is a digit).
int ReadNumberLine(int32_t* dst, int capacity, const char* line, bool* overflow);

// Header lines 1 to 6 of a plain file (bCmpr 0), or the bare ID line for a
// compressed file (Base forced to 1). Flushes the stream.
void WriteIdHeader(std::FILE* stream, uint16_t v, uint16_t k, uint16_t t, uint16_t m, uint16_t l,
                   uint32_t b, uint16_t x, uint16_t base, const char* comment, uint8_t bCmpr,
                   uint32_t chi, uint32_t cei, uint32_t cll, uint16_t cfExp, bool author);

// One line per block, "%2d" and " %2d", skipping blocks with flag bit 0 set.
void WriteBlockLines(const Block* blocks, uint32_t count, std::FILE* stream);

} // namespace kovra
