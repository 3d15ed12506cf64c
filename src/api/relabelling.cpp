// Designs up to relabelling through the facade: the canonical form and the
// isomorphism of two designs.
#include "api/call.hpp"
#include "api/engineside.hpp"
#include "report/certificate.hpp"
#include "symmetry/canonical.hpp"

#include <algorithm>

namespace kovra::api {

Result<Canonical> CanonicalForm(const Design& design, double timeLimitSeconds, const Log& log) {
  Call call(log);
  return call.Run<Canonical>([&] {
    ConsoleFlush();
    const unsigned v = design.params.v;
    const std::vector<std::vector<unsigned>> rows = PointRows(BlockSets(design));
    const kovra::CanonicalForm form = FindCanonicalForm(v, rows, timeLimitSeconds);
    Canonical out;
    if (!form.found) {
      DualPrint("\nCanonical form: not found within --time-limit (%lu seconds); the verdict does "
                "not depend on it.\n",
                static_cast<unsigned long>(timeLimitSeconds));
      return out;
    }
    out.found = true;
    // The same normal form and hash as the design's own sha256, of the design
    // with its points renumbered canonically.
    out.sha256 = Sha256Hex(NormalFormText(Relabelled(rows, form.label)));
    out.automorphisms = form.automorphisms;
    out.pointOrbits = form.pointOrbits;
    out.label = form.label;
    out.seconds = form.seconds;
    DualPrint("\nCanonical form: sha256 %s (%ld seconds)\n", out.sha256.c_str(),
              static_cast<long>(form.seconds));
    DualPrint("Automorphisms: %s; point orbits: %u\n", out.automorphisms.c_str(), out.pointOrbits);
    DualPrint("Canonical numbers of the points 1..%u:", v);
    for (const unsigned n : form.label) DualPrint(" %u", n);
    DualPrint("\n");
    return out;
  });
}

Result<Isomorphism> Isomorphic(const Design& a, const Design& b, double timeLimitSeconds) {
  Call call(Log{});
  return call.Run<Isomorphism>([&] {
    Isomorphism out;
    const std::vector<std::vector<unsigned>> ra = PointRows(BlockSets(a));
    const std::vector<std::vector<unsigned>> rb = PointRows(BlockSets(b));
    if (a.params.v != b.params.v || a.params.k != b.params.k || ra.size() != rb.size()) {
      out.isomorphic = false;
      return out;
    }
    const unsigned v = a.params.v;
    // One time limit for both searches.
    const kovra::CanonicalForm ca = FindCanonicalForm(v, ra, timeLimitSeconds);
    const double left = std::max(timeLimitSeconds - ca.seconds, 0.001);
    const kovra::CanonicalForm cb = ca.found
                                        ? FindCanonicalForm(v, rb, timeLimitSeconds > 0 ? left : 0)
                                        : kovra::CanonicalForm{};
    if (!ca.found || !cb.found) return out;
    if (Relabelled(ra, ca.label) != Relabelled(rb, cb.label)) {
      out.isomorphic = false;
      return out;
    }
    // Point p of A goes where B's point with A's canonical number of p is.
    std::vector<unsigned> fromCanonical(v + 1);
    for (unsigned p = 1; p <= v; ++p) fromCanonical[cb.label[p - 1]] = p;
    std::vector<unsigned> identity(v);
    out.map.resize(v);
    for (unsigned p = 1; p <= v; ++p) {
      out.map[p - 1] = fromCanonical[ca.label[p - 1]];
      identity[p - 1] = p;
    }
    // The map is believed only once it has carried A onto B.
    if (Relabelled(ra, out.map) != Relabelled(rb, identity)) {
      DualPrint("Err: the point map found does not carry <%s> onto <%s>; undecided.\n",
                a.name.c_str(), b.name.c_str());
      throw FatalExit{5};
    }
    out.isomorphic = true;
    return out;
  });
}

} // namespace kovra::api
