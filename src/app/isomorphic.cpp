// --isomorphic: two designs compared through their canonical forms.
#include "app/isomorphic.hpp"

#include "app/driver.hpp"
#include "app/entry.hpp"
#include "base/console.hpp"

namespace kovra {
namespace {

// Reads one design as a run reads it, and prints its "Sys loaded" line.
bool LoadOne(RunSettings& rs, const std::string& file, api::Design& out) {
  rs.szDesignFile = file;
  Sys sys;
  if (!LoadRunDesign(rs, sys)) return false;
  ShowLoadedDesign(rs, sys);
  out = DesignOf(sys);
  return true;
}

} // namespace

int CompareDesigns(RunSettings& rs, const std::vector<std::string>& files) {
  if (files.size() != 2) {
    DualPrint("Err: --isomorphic compares two designs; give two files, not %zu.\n", files.size());
    return 2;
  }
  api::Design a, b;
  // Each file is read as a run reads it: with an ID line by its own
  // parameters, else by the ones given.
  const RunSettings given = rs;
  if (!LoadOne(rs, files[0], a)) return 2;
  rs = given;
  if (!LoadOne(rs, files[1], b)) return 2;
  if (a.params.v != b.params.v || a.params.k != b.params.k || a.BlockCount() != b.BlockCount()) {
    DualPrint("The designs differ in v, k or b.\nnot isomorphic\n");
    return 1;
  }
  const api::Result<api::Isomorphism> found = api::Isomorphic(a, b, rs.ulTimeLimit);
  if (!found) {
    DualPrint("%s\n", found.error().message.c_str());
    return EXIT_UNDECIDED;
  }
  if (!found->isomorphic.has_value()) {
    DualPrint("Undecided: the canonical forms were not found within --time-limit (%lu seconds).\n",
              static_cast<unsigned long>(rs.ulTimeLimit));
    return EXIT_UNDECIDED;
  }
  if (!*found->isomorphic) {
    DualPrint("not isomorphic\n");
    return 1;
  }
  DualPrint("isomorphic\n");
  DualPrint("Point map from <%s> to <%s>:", a.name.c_str(), b.name.c_str());
  for (unsigned p = 1; p <= a.params.v; ++p)
    DualPrint(" %u->%u", p + a.base - 1u, found->map[p - 1] + b.base - 1u);
  DualPrint("\n");
  return 0;
}

} // namespace kovra
