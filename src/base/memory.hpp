// How much memory one run may take for its large arrays.
//
// The counters of the t-subsets and the block array of a design grow with
// C(v,t) and b; past a bound the engine splits its work by prefix, and the
// loader refuses a design, instead of asking for more than the machine has.
#pragma once

#include <cstdint>
#include <string_view>

namespace kovra {

// A quarter of the physical memory (1 GiB when the system does not say).
uint64_t DefaultMemoryBound();

// Reads a size as --memory takes it: a whole number of bytes with an
// optional K, M, G or T (powers of 1024, either case). False for anything
// else, for 0 and for sizes beyond 64 bits.
bool ParseMemorySize(std::string_view text, uint64_t& bytes);

// "1.5 GiB", "640 MiB", "4096 bytes": a size for a message.
void MemorySizeText(uint64_t bytes, char* out, unsigned size);

} // namespace kovra
