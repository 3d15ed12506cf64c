// The compressed text format (ctext, -g1): rank differences as decimal items.
#pragma once

#include "design/sys.hpp"

#include <cstdint>
#include <cstdio>
#include <string>

namespace kovra {

// Writes the ID line and the items of `sys` (whose blocks end up sorted).
// Refuses a line length outside 32..224 before writing anything.
bool WriteCText(Sys& sys, std::FILE* stream, uint32_t cll, bool cfExp);

// Writes `line` with a line end once it reached `threshold` characters (or
// whenever `final`, dropping a trailing ","), then empties it.
void FlushCTextLine(std::FILE* stream, std::string& line, size_t threshold, bool final);

// Reads b blocks from the item lines at the stream's position into `blocks`
// (room for b). Returns b, or 0 after printing why not.
uint32_t ReadCText(Block* blocks, std::FILE* stream, uint16_t v, uint16_t k, uint32_t b,
                   uint32_t chi, uint32_t cei);

} // namespace kovra
