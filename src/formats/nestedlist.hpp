// Designs written as one nested list instead of a block per line, as
// programs and papers publish them:
// - a JSON array of arrays, "[[1,2,3],[1,4,5],...]";
// - a JSON object with a "blocks" array of arrays, whose "v", "k", "t", "m",
//   "l", "b" and "base" keys act like an ID line (any other key is passed
//   over: a source, a comment);
// - a GAP list, "B := [ [ 1, 2, 3 ], ... ];", with "#" comments;
// - any of these lists with parentheses or braces for brackets, as Python
//   prints a list of tuples ("[(1, 2, 3), ...]") and set notation writes
//   "{{1,2,3},...}": a "(" reads as "[", and so does a "{" that opens no
//   object (one whose next sign is no '"' key).
// An object names each key once: a repeated key (two "blocks" lists) is
// refused rather than joined or overridden.
// The JSON library parses the text as it streams in (see base/input.hpp);
// what GAP adds to JSON here (the assignment, the comments, the final ";")
// is passed over on the way, outside strings.
#pragma once

#include "formats/loader.hpp"
#include "formats/textfmt.hpp"

#include <cstdint>
#include <string>

namespace kovra {

// True when the text at the cursor opens a nested list: two opening brackets
// ("[[", "[(", "{{", ...), "{" then a key, or "NAME :=" then "[", with
// blanks, line ends and "#" comment lines before them passed over. It looks
// no further than the window holds, and moves nothing.
bool StartsNestedList(TextCursor& text);

// What ReadNestedList found wrong, for the loader's messages.
struct NestedListFault {
  int code = BLK_OK;      // a block-line code, or BLK_NOT_BLOCK for text that is no list of blocks
  uint64_t line = 0;      // where, counted from the input's start
  std::string number;     // the number a block fault names
  unsigned numbers = 0;   // the points of a block with too few; b of a "b" key above the count
  unsigned k = 0;         // the points a block should have had
  std::string text;       // why the text is no list of blocks (BLK_NOT_BLOCK)
  bool overBound = false; // more blocks than the memory bound allows (or memory ran short)
};

// Reads the list at the cursor into `blocks` (rows of io.k points). io.v,
// k, t, m, l, b and base come in as the caller's and go out as the file's
// keys leave them; k comes from the first block when io.kOpen and nothing
// names it; io.b is the number of blocks read. Every block must have k
// distinct points of at most 65535; their range is the caller's to check,
// since v may come after the blocks. The blocks take at most `bound`
// bytes. False with `fault` set on the first thing wrong.
bool ReadNestedList(TextCursor& text, LoadParams& io, uint64_t bound, BlockArray& blocks,
                    NestedListFault& fault);

} // namespace kovra
