// Exact reduction: leave out every block the design does not need.
//
// A block may go when every m-set it covers (meets in t or more points) is
// still covered by at least l other remaining blocks. The blocks are tried
// from the last to the first, each once: a block kept at its turn stays
// needed, since coverage only falls, so the result is irredundant.
// Two ways to try a block, the faster for the design:
// - m = t: one count per m-set of the remaining blocks that cover it;
//   trying a block is a pass over the m-sets it covers (the first one it
//   alone keeps at l ends the question), leaving it out another pass that
//   lowers their counts;
// - m > t, or counts beyond the memory bound: a walk over the other
//   blocks, restricted to the m-sets the block covers, that passes over
//   the prefixes the others cover whole.
#pragma once

#include "base/deadline.hpp"
#include "verify/pointset.hpp"

#include <cstdint>
#include <vector>

namespace kovra {

struct ReduceResult {
  std::vector<uint32_t> removed; // indices of the blocks left out, in the order tried
  bool byCounts = true;          // tried by counts (else by walks)
  bool stopped = false;          // a walk of the design without a block was beyond reach
};

// The blocks of a design that holds, tried from the last to the first. Gives
// up with TimeLimitReached once the deadline has passed. `brief`: the
// prefixes a first, brief try of a block extends on threads (reduce.cpp;
// the tests set 0 to try every block whole).
ReduceResult ReduceExactly(const PointSetList& blocks, unsigned v, unsigned m, unsigned t,
                           unsigned l, uint64_t memoryBound, unsigned threads,
                           const Deadline& deadline = Deadline{}, uint64_t brief = 512);

} // namespace kovra
