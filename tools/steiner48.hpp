// The Steiner system S(5,6,48): 285,384 blocks of 6 points out of 48 in which
// every 5-set of points lies in exactly one block.
//
// The points are the projective line PG(1,47) = GF(47) plus infinity, and the
// design is a union of orbits of 6-sets under a group of fractional linear
// maps x -> (ax+b)/(cx+d). The orbits are not taken from anywhere: the
// generator finds them itself. It sorts all 5-sets and all 6-sets into orbits,
// counts for every 6-orbit how many of its blocks hold a given member of each
// 5-orbit, and looks for 6-orbits that together hold every 5-orbit exactly
// once (an exact cover with one column per 5-orbit). Every step visits the
// sets and the candidates in a fixed order, so the result never changes.
//
// Inside, point x of GF(47) is x and infinity is 47; in the written design
// point x is x + 1, so infinity is 48.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kovra::steiner48 {

inline constexpr unsigned kQ = 47;                // the field's order
inline constexpr unsigned kPoints = kQ + 1;       // points of the line
inline constexpr uint8_t kInfinity = kQ;          // the point at infinity, inside
inline constexpr uint32_t kDesignBlocks = 285384; // C(48,5) / C(6,5)

using Perm = std::array<uint8_t, kPoints>; // image of each point
using Block6 = std::array<uint8_t, 6>;     // ascending points
using PointSet = uint64_t;                 // bit p = point p (0..47)

enum class GroupKind {
  PSL, // determinant a nonzero square: order 48*47*46/2 = 51,888
  PGL, // any nonzero determinant: order 103,776
};

// "PSL(2,47)" or "PGL(2,47)".
const char* GroupName(GroupKind kind);

// The permutations of the line given by the group's maps, each once, in the
// order of their matrices (a, b, c, d) with the first nonzero of a, c below
// (q+1)/2 and ad - bc equal to 1 (or, for PGL, also the least nonsquare).
std::vector<Perm> ProjectiveGroup(GroupKind kind);

// An orbit of k-sets: its colex-least member and its size.
struct Orbit {
  PointSet rep = 0;
  uint32_t size = 0;
};

// The orbits of the group on the k-sets of the line (1 <= k <= 6), in colex
// order of their representatives. When `orbitOfRank` is given it receives,
// for each k-set's colex rank, the index of its orbit.
std::vector<Orbit> KSetOrbits(const std::vector<Perm>& group, unsigned k,
                              std::vector<uint16_t>* orbitOfRank);

// Colex rank of a k-set of the line: sum over its members p_0 < p_1 < ... of
// C(p_i, i + 1). {0,1,2,3,4} has rank 0, {0,1,2,3,5} rank 1.
uint64_t ColexRank(PointSet set);

// What the search did and found.
struct OrbitCover {
  bool found = false;
  uint32_t fiveOrbits = 0;   // columns of the exact cover
  uint32_t sixOrbits = 0;    // 6-orbits in all
  uint64_t sixSets = 0;      // their sizes added up: C(48,6) when the sweep is sound
  uint32_t candidates = 0;   // 6-orbits none of whose 5-sets lies in two of its blocks
  uint64_t nodes = 0;        // search nodes visited
  std::vector<Orbit> chosen; // the 6-orbits of the design, in the order chosen
};

// Searches the exact cover. The first cover in the search's fixed order is
// returned; `found` is false when there is none.
OrbitCover FindOrbitCover(const std::vector<Perm>& group);

// The union of the given orbits as blocks of points 1..48 (x -> x + 1, with
// infinity 48), each block once, sorted.
std::vector<Block6> ExpandOrbits(const std::vector<Perm>& group, const std::vector<Orbit>& orbits);

// The whole construction: PSL(2,47) first, PGL(2,47) when that has no cover.
struct S5648 {
  GroupKind group = GroupKind::PSL;
  OrbitCover cover;
  std::vector<Block6> blocks;
};
bool MakeS5648(S5648& design);

// The members of a set of inside points, ascending, as written (x + 1).
std::string DescribeSet(PointSet set);

// The comment line of the written file: the group and the number of orbits.
std::string DesignComment(const S5648& design);

// Writes the design as a plain KOVRA file: the usual header with a fixed date
// (so two runs give the same bytes), then one block per line. False when the
// stream reports an error.
bool WriteS5648(std::FILE* stream, const S5648& design);

} // namespace kovra::steiner48
