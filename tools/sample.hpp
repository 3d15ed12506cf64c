// The sample design samples/4901683a.616: a C(49,6,3,6,1) with 168 blocks.
//
// Points 1..22 carry the Steiner system S(3,6,22): the 77 octads (weight-8
// words) of the extended binary Golay code that contain the coordinates 22
// and 23, with those two removed; every triple of 1..22 lies in exactly one
// block. Points 23..49 carry a public C(27,6,3,4,1) of 86 blocks (its point p,
// counted from 0, becomes 23 + p): every 4-set of those 27 points meets a
// block in at least 3 points. A 6-set of 1..49 has at least 3 points among
// the 22 or at least 4 among the 27, so these 163 blocks cover. Five blocks
// mixing both parts follow; each holds triples no other block holds.
//
// The blocks are ordered so that no block has all its triples in earlier
// blocks: a redundancy walk in file order keeps every block.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kovra::sample {

using Block6 = std::array<uint8_t, 6>;

// The 4096 words of the extended Golay code [24,12,8], bit i = coordinate i:
// the cyclic code of x^11+x^10+x^6+x^5+x^4+x^2+1 on coordinates 0..22 and an
// overall parity bit at 23. Sorted ascending.
std::vector<uint32_t> ExtendedGolayCode();

// The 77 blocks of S(3,6,22) on points 1..22, ascending points, blocks in
// lexicographic order.
std::vector<Block6> SteinerS3622();

// Reads a block list of six numbers per line ("#" lines are comments);
// `firstLine` receives the first line. False with `error` set when a line
// does not hold six distinct numbers 0..26 (the public design counts from 0).
bool ParseC27(const std::string& text, std::vector<Block6>& blocks, std::string& firstLine,
              std::string& error);

// A reordering in which no block has all its triples in earlier blocks, as
// close to the given order as the reverse construction allows (the last
// block is the last one that holds a triple no other remaining block holds).
// False when no such order exists (some blocks repeat each other's triples
// entirely); `blocks` is then unchanged.
bool OrderWithoutRedundancy(std::vector<Block6>& blocks);

// True when some block has all its triples in earlier blocks.
bool HasGreedyRedundancy(const std::vector<Block6>& blocks);

// The text of the sample file from the C27 design's text, or false with `error`.
bool MakeSampleText(const std::string& c27Text, std::string& out, std::string& error);

} // namespace kovra::sample
