// Exact reduction: leave out every block the design does not need.
//
// A block may go when every m-set it covers (meets in t or more points) is
// still covered by at least l other remaining blocks. The design keeps one
// count per m-set, of the remaining blocks that cover it; trying a block is
// a pass over the m-sets it covers (the first one it alone keeps at l ends
// the question), and leaving it out another pass that lowers their counts.
// The blocks are tried from the last to the first, each once: a block kept
// at its turn stays needed, since counts only fall, so the result is
// irredundant. Where the counts would pass the memory bound, a block is
// tried instead by walking the m-sets of the design without it.
#pragma once

#include "verify/pointset.hpp"

#include <cstdint>
#include <vector>

namespace kovra {

struct ReduceResult {
  std::vector<uint32_t> removed; // indices of the blocks left out, in the order tried
  bool byCounts = true;          // the counts per m-set fitted the bound
  bool stopped = false;          // a walk of the design without a block was beyond reach
};

// The blocks of a design that holds, tried from the last to the first.
ReduceResult ReduceExactly(const std::vector<PointSet>& blocks, unsigned v, unsigned m, unsigned t,
                           unsigned l, uint64_t memoryBound, unsigned threads);

} // namespace kovra
