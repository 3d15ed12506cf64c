// What the facade's calls share on the engine's side: a design's blocks as
// the engine takes them, and how it names their points.
#pragma once

#include "design/sys.hpp"
#include "kovra/kovra.hpp"
#include "verify/engine.hpp"
#include "verify/pointset.hpp"

#include <string>
#include <vector>

namespace kovra::api {

// The parameters as the engine's record.
inline DesignParams EngineParams(const Params& p) {
  return DesignParams{static_cast<uint16_t>(p.v), static_cast<uint16_t>(p.k),
                      static_cast<uint16_t>(p.t), static_cast<uint16_t>(p.m),
                      static_cast<uint16_t>(p.l)};
}

// The blocks renumbered from 1 (as the engine counts), row after row.
std::vector<Point> BaseOneRows(const Design& design);

// Every block as a point set (base 1), as the design holds them.
PointSetList BlockSets(const Design& design);

// How the log and the certificate name point p (base 1): by its number in
// the file after -z, else in the design's base.
inline PointNames NamesOf(const Design& design) {
  return {static_cast<uint16_t>(design.base),
          design.fileNumbers.empty() ? nullptr : design.fileNumbers.data()};
}

// The blocks as lists of their points (base 1), ascending.
std::vector<std::vector<unsigned>> PointRows(const PointSetList& blocks);

// The design with the blocks at `rows` (indices into its blocks), in that
// order.
Design WithBlocks(const Design& design, const std::vector<std::uint32_t>& rows);

} // namespace kovra::api
