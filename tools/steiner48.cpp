// The Steiner system S(5,6,48) as a union of orbits of PSL(2,47) on PG(1,47).
#include "steiner48.hpp"

#include "design/sys.hpp"
#include "formats/textfmt.hpp"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace kovra::steiner48 {
namespace {

// The header is the one KOVRA writes for a plain file, with a fixed date so
// that the generator gives the same bytes every time, in every time zone.
constexpr const char* kDate = "Sun Dec 06 12:00:00 2026";

constexpr unsigned kMaxK = 6;

// C(n, k) for n < 48 and k <= 6: all the colex rank needs.
struct BinomialTable {
  uint64_t c[kPoints + 1][kMaxK + 1] = {};
  constexpr BinomialTable() {
    for (unsigned n = 0; n <= kPoints; ++n) {
      c[n][0] = 1;
      for (unsigned k = 1; k <= kMaxK; ++k) c[n][k] = n == 0 ? 0 : c[n - 1][k - 1] + c[n - 1][k];
    }
  }
};
constexpr BinomialTable kBinom;

unsigned Mod(long x) { return static_cast<unsigned>(((x % kQ) + kQ) % kQ); }

// Inverses in GF(47) by Fermat: x^(q-2).
std::array<unsigned, kQ> Inverses() {
  std::array<unsigned, kQ> inv{};
  for (unsigned x = 1; x < kQ; ++x) {
    unsigned r = 1;
    for (unsigned e = 0; e < kQ - 2; ++e) r = r * x % kQ;
    inv[x] = r;
  }
  return inv;
}

bool IsSquare(unsigned x) {
  for (unsigned y = 1; y < kQ; ++y)
    if (y * y % kQ == x) return true;
  return false;
}

PointSet Image(const Perm& g, PointSet s) {
  PointSet img = 0;
  for (; s != 0; s &= s - 1) img |= PointSet{1} << g[static_cast<unsigned>(std::countr_zero(s))];
  return img;
}

// The next larger set with as many members (colex successor).
PointSet NextSameWeight(PointSet s) {
  const PointSet low = s & (~s + 1);
  const PointSet ripple = s + low;
  return (((ripple ^ s) >> 2) / low) | ripple;
}

// Plain exact cover by backtracking: always branch on the open column with
// the fewest live rows, trying its rows in ascending order.
struct ExactCover {
  std::vector<std::vector<uint32_t>> colsOfRow;
  std::vector<std::vector<uint32_t>> rowsOfCol;
  std::vector<uint8_t> covered;  // per column
  std::vector<uint32_t> blocked; // per row: covered columns among its own
  std::vector<uint32_t> chosen;
  uint64_t nodes = 0;

  void Select(uint32_t row, int delta) {
    for (const uint32_t col : colsOfRow[row]) {
      covered[col] = delta > 0 ? 1 : 0;
      for (const uint32_t r : rowsOfCol[col]) blocked[r] += static_cast<uint32_t>(delta);
    }
  }

  bool Solve() {
    ++nodes;
    size_t best = rowsOfCol.size();
    size_t bestLive = SIZE_MAX;
    for (size_t c = 0; c < rowsOfCol.size(); ++c) {
      if (covered[c] != 0) continue;
      size_t live = 0;
      for (const uint32_t r : rowsOfCol[c]) live += blocked[r] == 0 ? 1 : 0;
      if (live < bestLive) {
        best = c;
        bestLive = live;
      }
    }
    if (best == rowsOfCol.size()) return true;
    if (bestLive == 0) return false;
    for (const uint32_t r : rowsOfCol[best]) {
      if (blocked[r] != 0) continue;
      chosen.push_back(r);
      Select(r, 1);
      if (Solve()) return true;
      Select(r, -1);
      chosen.pop_back();
    }
    return false;
  }
};

} // namespace

const char* GroupName(GroupKind kind) { return kind == GroupKind::PSL ? "PSL(2,47)" : "PGL(2,47)"; }

std::vector<Perm> ProjectiveGroup(GroupKind kind) {
  const std::array<unsigned, kQ> inv = Inverses();
  unsigned nonsquare = 2;
  while (IsSquare(nonsquare)) ++nonsquare;
  std::vector<Perm> group;
  group.reserve(kind == GroupKind::PSL ? 51888 : 103776);
  // A map is a matrix up to a scalar factor; with the determinant pinned to 1
  // (or the least nonsquare) only the sign is left, and the first nonzero of
  // a, c below (q+1)/2 picks one of the two.
  for (unsigned a = 0; a < kQ; ++a)
    for (unsigned c = 0; c < kQ; ++c) {
      const unsigned lead = a != 0 ? a : c;
      if (lead == 0 || lead > kQ / 2) continue;
      for (unsigned b = 0; b < kQ; ++b)
        for (unsigned d = 0; d < kQ; ++d) {
          const unsigned det = Mod(static_cast<long>(a * d) - static_cast<long>(b * c));
          if (det != 1 && !(kind == GroupKind::PGL && det == nonsquare)) continue;
          Perm g{};
          g[kInfinity] = static_cast<uint8_t>(c == 0 ? kInfinity : a * inv[c] % kQ);
          for (unsigned x = 0; x < kQ; ++x) {
            const unsigned num = (a * x + b) % kQ;
            const unsigned den = (c * x + d) % kQ;
            g[x] = static_cast<uint8_t>(den == 0 ? kInfinity : num * inv[den] % kQ);
          }
          group.push_back(g);
        }
    }
  return group;
}

uint64_t ColexRank(PointSet set) {
  uint64_t rank = 0;
  for (unsigned i = 1; set != 0; set &= set - 1, ++i)
    rank += kBinom.c[static_cast<unsigned>(std::countr_zero(set))][i];
  return rank;
}

std::vector<Orbit> KSetOrbits(const std::vector<Perm>& group, unsigned k,
                              std::vector<uint16_t>* orbitOfRank) {
  if (k < 1 || k > kMaxK) throw std::invalid_argument("KSetOrbits: k must be 1..6");
  const uint64_t total = kBinom.c[kPoints][k];
  std::vector<uint64_t> seen((total + 63) / 64);
  if (orbitOfRank != nullptr) orbitOfRank->assign(total, 0);
  std::vector<Orbit> orbits;
  PointSet s = (PointSet{1} << k) - 1;
  for (uint64_t r = 0; r < total; ++r, s = NextSameWeight(s)) {
    if ((seen[r / 64] >> (r % 64) & 1u) != 0) continue;
    if (orbits.size() >= UINT16_MAX) throw std::length_error("KSetOrbits: too many orbits");
    const auto index = static_cast<uint16_t>(orbits.size());
    Orbit orbit{s, 0};
    for (const Perm& g : group) {
      const uint64_t ri = ColexRank(Image(g, s));
      uint64_t& word = seen[ri / 64];
      const uint64_t bit = uint64_t{1} << (ri % 64);
      if ((word & bit) != 0) continue;
      word |= bit;
      ++orbit.size;
      if (orbitOfRank != nullptr) (*orbitOfRank)[ri] = index;
    }
    orbits.push_back(orbit);
  }
  return orbits;
}

OrbitCover FindOrbitCover(const std::vector<Perm>& group) {
  OrbitCover out;
  std::vector<uint16_t> fiveOf;
  const std::vector<Orbit> fives = KSetOrbits(group, 5, &fiveOf);
  const std::vector<Orbit> sixes = KSetOrbits(group, 6, nullptr);
  out.fiveOrbits = static_cast<uint32_t>(fives.size());
  out.sixOrbits = static_cast<uint32_t>(sixes.size());
  for (const Orbit& o : sixes) out.sixSets += o.size;

  ExactCover xc;
  xc.rowsOfCol.resize(fives.size());
  xc.covered.assign(fives.size(), 0);
  std::vector<uint32_t> rowOrbit;
  for (uint32_t o = 0; o < sixes.size(); ++o) {
    // How many of the rep's 5-subsets fall in each 5-orbit. Counting the
    // pairs (block, 5-set inside it) of the two orbits both ways, a member
    // of 5-orbit P lies in size(O) * count / size(P) blocks of O.
    std::vector<std::pair<uint16_t, uint32_t>> counts;
    for (PointSet rest = sixes[o].rep; rest != 0; rest &= rest - 1) {
      const uint16_t f = fiveOf[ColexRank(sixes[o].rep & ~(rest & (~rest + 1)))];
      auto it = std::find_if(counts.begin(), counts.end(), [f](auto& e) { return e.first == f; });
      if (it == counts.end())
        counts.emplace_back(f, 1);
      else
        ++it->second;
    }
    bool usable = true;
    std::vector<uint32_t> cols;
    for (const auto& [f, count] : counts) {
      const uint64_t pairs = uint64_t{sixes[o].size} * count;
      if (pairs % fives[f].size != 0) throw std::logic_error("orbit counts do not divide");
      if (pairs / fives[f].size != 1) usable = false;
      cols.push_back(f);
    }
    if (!usable) continue;
    std::sort(cols.begin(), cols.end());
    for (const uint32_t c : cols) xc.rowsOfCol[c].push_back(static_cast<uint32_t>(rowOrbit.size()));
    xc.colsOfRow.push_back(cols);
    rowOrbit.push_back(o);
  }
  out.candidates = static_cast<uint32_t>(rowOrbit.size());
  xc.blocked.assign(rowOrbit.size(), 0);
  out.found = xc.Solve();
  out.nodes = xc.nodes;
  if (out.found)
    for (const uint32_t r : xc.chosen) out.chosen.push_back(sixes[rowOrbit[r]]);
  return out;
}

std::vector<Block6> ExpandOrbits(const std::vector<Perm>& group, const std::vector<Orbit>& orbits) {
  std::vector<PointSet> sets;
  for (const Orbit& o : orbits)
    for (const Perm& g : group) sets.push_back(Image(g, o.rep));
  std::sort(sets.begin(), sets.end());
  sets.erase(std::unique(sets.begin(), sets.end()), sets.end());
  std::vector<Block6> blocks;
  blocks.reserve(sets.size());
  for (const PointSet s : sets) {
    Block6 b{};
    unsigned n = 0;
    for (PointSet rest = s; rest != 0 && n < b.size(); rest &= rest - 1)
      b[n++] = static_cast<uint8_t>(std::countr_zero(rest) + 1);
    blocks.push_back(b);
  }
  std::sort(blocks.begin(), blocks.end());
  return blocks;
}

bool MakeS5648(S5648& design) {
  for (const GroupKind kind : {GroupKind::PSL, GroupKind::PGL}) {
    const std::vector<Perm> group = ProjectiveGroup(kind);
    OrbitCover cover = FindOrbitCover(group);
    if (!cover.found) continue;
    design.group = kind;
    design.blocks = ExpandOrbits(group, cover.chosen);
    design.cover = std::move(cover);
    return design.blocks.size() == kDesignBlocks;
  }
  return false;
}

std::string DescribeSet(PointSet set) {
  std::string text = "{";
  for (PointSet rest = set; rest != 0; rest &= rest - 1) {
    if (text.size() > 1) text += ",";
    text += std::to_string(std::countr_zero(rest) + 1);
  }
  return text + "}";
}

std::string DesignComment(const S5648& design) {
  std::string text = "S(5,6,48): ";
  text.append(std::to_string(design.cover.chosen.size()));
  text.append(" orbits of ");
  text.append(GroupName(design.group));
  text.append(" on PG(1,47), x as x+1, infinity as 48");
  return text;
}

bool WriteS5648(std::FILE* stream, const S5648& design) {
  const auto b = static_cast<uint32_t>(design.blocks.size());
  std::fprintf(stream, "#ID      v b k v1 w1/w2 t/m L x Base bCmpr CHI CEI CLL CfExp ...\n");
  std::fprintf(stream, "ID       48 %lu 6 48 0/0 5/5 1 2 1 0 4 2 64 1 ...\n",
               static_cast<unsigned long>(b));
  std::fprintf(stream, "Date     %s\n", kDate);
  std::fprintf(stream, "Author   \n");
  std::fprintf(stream, "Comments %s\n", DesignComment(design).c_str());
  std::fprintf(stream, "Data\n");
  if (b != 0) {
    // Through the program's own block writer, so the lines are the ones it
    // writes itself.
    BlockArray blocks = AllocBlocks(b, 6);
    if (!blocks) return false;
    for (uint32_t i = 0; i < b; ++i)
      std::copy(design.blocks[i].begin(), design.blocks[i].end(), blocks.get() + size_t{i} * 6);
    WriteBlockLines(blocks.get(), b, 6, stream);
  }
  return std::fflush(stream) == 0 && std::ferror(stream) == 0;
}

} // namespace kovra::steiner48
