// Designs up to relabelling: a canonical numbering of a design's points, the
// order of its automorphism group and its point orbits.
//
// A design is taken as the multiset of its blocks: two designs are the same
// up to relabelling when one permutation of the points maps the blocks of the
// one onto the blocks of the other, each as often as it occurs. The canonical
// numbering depends on nothing but that class: numbering the points of two
// such designs canonically gives the same list of blocks. An automorphism is
// a permutation of the points that maps the multiset of blocks onto itself.
#pragma once

#include <string>
#include <vector>

namespace kovra {

struct CanonicalForm {
  bool found = false;          // false: the search was abandoned at its time limit
  std::vector<unsigned> label; // label[p - 1]: the canonical number (1..v) of point p
  std::string automorphisms;   // the order of the automorphism group, exact, in decimal
  unsigned pointOrbits = 0;    // orbits of the automorphism group on the points
  double seconds = 0;          // the time the search took
};

// Searches the canonical numbering of the design with points 1..v and the
// given blocks (each a list of distinct points of 1..v; repeats of a block
// count). `seconds` bounds the search (0: no bound); a search that does not
// end within it is abandoned and returns found = false.
CanonicalForm FindCanonicalForm(unsigned v, const std::vector<std::vector<unsigned>>& blocks,
                                double seconds);

// The blocks with every point p renumbered label[p - 1], each block's points
// ascending and the blocks sorted as tuples: what FindCanonicalForm's
// numbering makes of a design, and a point map applied to one.
std::vector<std::vector<unsigned>> Relabelled(const std::vector<std::vector<unsigned>>& blocks,
                                              const std::vector<unsigned>& label);

} // namespace kovra
