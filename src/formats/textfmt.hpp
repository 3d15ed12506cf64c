// The plain design text format: line reading, keywords, block lines, headers.
//
// A plain design file is a header (a "#ID" column comment, the ID line, Date,
// Author and Comments lines and "Data") followed by one block per line, each
// block its k point numbers. What the readers here tolerate:
// - "#" and then ";" start a comment anywhere in a line; TAB counts as a blank.
//   A ";" between two numbers is no comment but a separator (semicolon-
//   separated values), so "1;2;3" is a block and "1 2 3 ;x" one with a comment.
// - A UTF-8 byte-order mark at the start of an input is passed over.
// - Lines end with LF, CR LF or a lone CR. A line longer than 255 characters
//   is seen as 255-character pieces, each read as a line of its own, except
//   that a comment (or a NUL byte, which hides the rest of its line the same
//   way) runs to the true end of its line and never resurfaces as data. A
//   file read from disk or a pipe may have lines of up to MAX_LINE_BYTES.
// - Block numbers are separated by any mix of "/", blank, TAB, ",", "-", CR,
//   LF, ";", the brackets "[]", "()", "{}" and the quote '"', so that
//   "[1, 2, 3]" lines, "01-02-03" wheels and comma-, tab- or
//   semicolon-separated values read as blocks too. A number is a token of
//   digits alone: anything glued to it ("3.5", "3e5", "3x") makes the line no
//   block (code 14, the token named), never a silently shorter number. A
//   minus sign right before a number that does not follow a digit ("-1",
//   "[-1,") makes it negative, and so out of range (code 6). A number with
//   more digits than any point can have is simply out of range.
// - A line is a data line when its first token is such a number: the line
//   count, the header scans and the block reader all ask StartsWithNumber,
//   so they agree on every line. A line before the first block that holds a
//   digit but is neither a block nor a header keyword line is read as a
//   header with a warning that names it.
// - From the first block on, a line that holds no block must hold nothing
//   else either: a comment, an empty line, a header keyword line or a lone
//   bracket. Any other line would be a block lost without a word, so the
//   strict readers stop on it (BLK_NOT_BLOCK).
#pragma once

#include "base/input.hpp"
#include "base/text.hpp"
#include "design/sys.hpp"
#include "formats/idline.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kovra {

// Every text line is read into a buffer of this size: at most 255 characters
// of a line are seen, the rest of a longer line arrives as the next line.
inline constexpr int LINE_BUFSIZE = 256;

// A reading position in a text: [pos, end) is held in memory, either the
// whole text or, with a source, a window of it that the readers refill as
// they go (see base/input.hpp). `lineEnds` counts the line ends passed, so
// that a message can name the line it is about.
struct TextCursor {
  const char* pos = nullptr;
  const char* end = nullptr;
  uint64_t lineEnds = 0;
  InputStream* source = nullptr; // refills the window; null: the text is all there
  uint64_t lineBytes = 0;        // of the current line, taken in earlier pieces
};

inline TextCursor CursorOver(const char* data, size_t size) { return {data, data + size, 0}; }

// A cursor at the start of an input read while it is parsed. Every line of
// it is bounded: one longer than MAX_LINE_BYTES ends the program with a
// message that names the input and the line.
TextCursor CursorOn(InputStream& input);

// One line as the readers see it, left where it lies: [begin, end) is its
// text up to a comment or NUL that cuts it (line-end bytes included, as in a
// line read without cutLineEnd). `line` is its 1-based line number, `column`
// the bytes of its line before it (a piece of a long line).
struct TextPiece {
  const char* begin = nullptr;
  const char* end = nullptr;
  uint64_t line = 0;
  uint64_t column = 0;
};

// Takes the next line (or 255-character piece of a longer one); false at the
// end of the text. The piece stays valid until the next call on the cursor.
bool NextTextPiece(TextCursor& text, bool cutComments, TextPiece& piece);

// Puts back the piece the last NextTextPiece call gave, so that the next
// call gives it again (nothing else may have read the cursor meanwhile).
void UnreadPiece(TextCursor& text, const TextPiece& piece);

// Where a piece began, for coming back to it after reading on.
struct TextMark {
  const char* at = nullptr; // in a text held whole
  uint64_t offset = 0;      // from the start of an input with a source
  uint64_t line = 0;
  uint64_t column = 0;
};
TextMark MarkOf(const TextCursor& text, const TextPiece& piece);

// Moves the cursor back (or on) to a mark. False when its input cannot go
// back there (a pipe read beyond what it keeps); the cursor is then unusable.
bool SeekToMark(TextCursor& text, const TextMark& mark);

// The piece as ReadTextLine would give it, in buf (LINE_BUFSIZE bytes).
void PieceText(const TextPiece& piece, char* buf, bool cutLineEnd, bool tabsToBlanks);

// Reads the next line into buf (LINE_BUFSIZE bytes). Optionally cuts it at its
// first CR, LF or 0x8D, cuts comments ("#" first, then ";") and turns TABs
// into blanks. Returns false at the end of the text.
bool ReadTextLine(char* buf, TextCursor& text, bool cutLineEnd, bool cutComments,
                  bool tabsToBlanks);

// The significant start of a line: the first letter, digit, listed punctuation
// or listed code-page-437 letter; the terminator when there is none.
const char* SkipLead(const char* line);
// The same within [begin, end); end when there is none.
const char* SkipLead(const char* begin, const char* end);

// True when p starts with the keyword ("ID ", "load", "data", "base"),
// compared without case over the keyword's length.
bool IsKeyword(const char* p, const char* keyword);

// True when the first token of [begin, end), split on the block separators,
// is a number (see above): the line holds a block, or fails as one.
bool StartsWithNumber(const char* begin, const char* end);
// The same for a line up to its terminator.
bool IsDataLine(const char* line);

// True when a line (up to its comment) holds no data of any kind: it is
// empty, a header keyword line ("ID", "Date", "Author", "Comments", "Data",
// "base", "load") or nothing but brackets and separators (the "]" that
// closes a list written one block per line).
bool HoldsNoData(const char* begin, const char* end);

// True when a line that is no data line and not HoldsNoData still holds a
// digit: a header line the readers pass over only with a warning.
bool HeaderHoldsNumber(const char* begin, const char* end);

// One token of a line split on a set of separator characters.
struct Token {
  const char* begin = nullptr;
  size_t size = 0;
};

// Finds the next token at or after `pos` (runs of separators count as one)
// and moves `pos` behind it. False when only separators are left.
bool NextToken(const char*& pos, const char* separators, Token& token);

// Codes of ReadBlockLine.
enum BlockLineCode : int {
  BLK_OK = 0,
  BLK_RANGE = 6,
  BLK_DUP = 7,
  BLK_TOO_MANY = 8,
  BLK_MISSING = 11,
  BLK_TOO_FEW = 12,
  BLK_NOT_BLOCK = 14, // a line that is neither a block nor a comment
};

// The text ErrExit shows for a code of ReadBlockLine (6, 7, 8, 11, 12, 14).
const char* BlockLineErrText(int code);

// What made a block line fail, for a message that points at it: the line's
// number, the offending number as written (its digits) and how many numbers
// the line held when it had too few. For BLK_NOT_BLOCK `digits` is the
// line's text.
struct BlockLineFault {
  uint64_t line = 0;
  const char* digits = nullptr;
  size_t digitCount = 0;
  unsigned numbers = 0;
  bool notNumber = false; // BLK_NOT_BLOCK: `digits` is a token with text glued to its digits
};

// ParseBlockLine's answer for a line that holds no block: its first token
// does not start with a digit (a header word, an empty line).
inline constexpr int BLK_NONE = -1;

// Reads the block of one line into block[0..k-1] (k at most MAX_K). Numbers
// must lie in low..high. Returns BLK_NONE or one of the codes above; on a
// failure `fault`, when given, says where.
int ParseBlockLine(const TextPiece& piece, Point* block, unsigned k, long low, long high,
                   BlockLineFault* fault = nullptr);

// ParseBlockLine, and BLK_NOT_BLOCK for a line that holds no block but is
// more than a comment (see HoldsNoData): the reading inside a design, where
// such a line would otherwise be dropped without a word.
int ParseBlockLineStrict(const TextPiece& piece, Point* block, unsigned k, long low, long high,
                         BlockLineFault* fault = nullptr);

// Reads the next block line as ParseBlockLine does, passing over the lines
// that hold no block; BLK_MISSING at the end of the text. Strict: as
// ParseBlockLineStrict, stopping at a line that is neither block nor comment.
int ReadBlockLine(Point* block, unsigned k, long low, long high, TextCursor& text,
                  BlockLineFault* fault = nullptr, bool strict = false);

// The numbers of a line as signed 32-bit values (a longer number is read as
// 2147483647, a negative one as -1), split on the separators of a block
// line and stopping at the first token that does not start with a digit.
// More than `capacity` digit tokens set *overflow. Returns the count stored
// (0 unless the line is a data line).
int ReadNumberLine(int32_t* dst, int capacity, const char* line, bool* overflow);

// Header lines 1 to 6 of a plain file (id.bCmpr 0: the column comment, the ID
// line, Date, an empty Author line, Comments with `comment`, Data), or the
// bare ID line for a compressed file (Base written as 1). Flushes the stream.
void WriteIdHeader(std::FILE* stream, const IdRecord& id, const char* comment);

// One line per block of k points, "%2d" and " %2d".
void WriteBlockLines(const Point* blocks, uint32_t count, unsigned k, std::FILE* stream);

} // namespace kovra
