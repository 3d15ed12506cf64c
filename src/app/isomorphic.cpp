// --isomorphic: two designs compared through their canonical forms.
#include "app/isomorphic.hpp"

#include "app/certify.hpp"
#include "app/driver.hpp"
#include "app/entry.hpp"
#include "base/console.hpp"
#include "symmetry/canonical.hpp"

#include <algorithm>

namespace kovra {
namespace {

// A design as the comparison needs it.
struct Loaded {
  std::string name;
  unsigned v = 0, k = 0;
  uint16_t base = 1; // the file's, for the map as printed
  std::vector<std::vector<unsigned>> blocks;
};

bool LoadOne(RunSettings& rs, const std::string& file, Loaded& out) {
  rs.szDesignFile = file;
  Sys sys;
  if (!LoadRunDesign(rs, sys)) return false;
  ShowLoadedDesign(rs, sys);
  out.name = sys.szFileName;
  out.v = sys.v;
  out.k = sys.k;
  out.base = sys.given.usFileBase;
  out.blocks = PointRows(LoadedBlocks(sys));
  return true;
}

} // namespace

int CompareDesigns(RunSettings& rs, const std::vector<std::string>& files) {
  if (files.size() != 2) {
    DualPrint("Err: --isomorphic compares two designs; give two files, not %zu.\n", files.size());
    return 2;
  }
  Loaded a, b;
  // Each file is read as a run reads it: with an ID line by its own
  // parameters, else by the ones given.
  const RunSettings given = rs;
  if (!LoadOne(rs, files[0], a)) return 2;
  rs = given;
  if (!LoadOne(rs, files[1], b)) return 2;
  if (a.v != b.v || a.k != b.k || a.blocks.size() != b.blocks.size()) {
    DualPrint("The designs differ in v, k or b.\nnot isomorphic\n");
    return 1;
  }
  // One time limit for both searches.
  const double limit = rs.ulTimeLimit;
  const CanonicalForm ca = FindCanonicalForm(a.v, a.blocks, limit);
  const double left = std::max(limit - ca.seconds, 0.001);
  const CanonicalForm cb =
      ca.found ? FindCanonicalForm(b.v, b.blocks, limit > 0 ? left : 0) : CanonicalForm{};
  if (!ca.found || !cb.found) {
    DualPrint("Undecided: the canonical forms were not found within --time-limit (%lu seconds).\n",
              static_cast<unsigned long>(rs.ulTimeLimit));
    return EXIT_UNDECIDED;
  }
  if (Relabelled(a.blocks, ca.label) != Relabelled(b.blocks, cb.label)) {
    DualPrint("not isomorphic\n");
    return 1;
  }
  // Point p of A goes where B's point with A's canonical number of p is.
  std::vector<unsigned> fromCanonical(b.v + 1);
  for (unsigned p = 1; p <= b.v; ++p) fromCanonical[cb.label[p - 1]] = p;
  std::vector<unsigned> map(a.v), identity(b.v);
  for (unsigned p = 1; p <= a.v; ++p) map[p - 1] = fromCanonical[ca.label[p - 1]];
  for (unsigned p = 1; p <= b.v; ++p) identity[p - 1] = p;
  if (Relabelled(a.blocks, map) != Relabelled(b.blocks, identity)) {
    DualPrint("Err: the point map found does not carry <%s> onto <%s>; undecided.\n",
              a.name.c_str(), b.name.c_str());
    return EXIT_UNDECIDED;
  }
  DualPrint("isomorphic\n");
  DualPrint("Point map from <%s> to <%s>:", a.name.c_str(), b.name.c_str());
  for (unsigned p = 1; p <= a.v; ++p)
    DualPrint(" %u->%u", p + a.base - 1u, map[p - 1] + b.base - 1u);
  DualPrint("\n");
  return 0;
}

} // namespace kovra
