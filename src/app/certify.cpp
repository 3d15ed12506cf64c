// The draw profile and the certificate of a design run.
#include "app/certify.hpp"

#include "base/console.hpp"
#include "base/memory.hpp"
#include "design/combinatorics.hpp"
#include "symmetry/canonical.hpp"
#include "verify/estimate.hpp"
#include "verify/shares.hpp"
#include "verify/tsets.hpp"

#include <algorithm>
#include <iterator>

namespace kovra {

PointNames NamesOf(const Sys& sys) {
  return {sys.given.usFileBase, sys.fileNumbers.empty() ? nullptr : sys.fileNumbers.data()};
}

PointSetList LoadedBlocks(const Sys& sys) {
  PointSetList out(sys.v);
  out.reserve(sys.b);
  std::vector<Point> pts;
  for (uint32_t i = 0; i < sys.b; ++i) {
    const Point* row = BlockAt(sys, i);
    pts.clear();
    for (unsigned j = 0; j < sys.k; ++j)
      if (row[j] >= 1 && row[j] <= sys.v) pts.push_back(row[j]);
    out.Add(pts.begin(), pts.end());
  }
  return out;
}

bool RunDrawProfile(const DesignParams& p, const PointSetList& loaded, unsigned threads,
                    DrawProfile& profile) {
  const double seconds = EstimateDrawProfileSeconds(loaded, p.v, p.m) / threads;
  char when[64];
  DurationText(seconds, when, sizeof when);
  if (seconds > WALK_BEYOND_REACH_SECONDS) {
    DualPrint("\nDraw profile: every %hu-set would be visited, about %s; not computed.\n", p.m,
              when);
    return false;
  }
  if (seconds > WALK_ESTIMATE_SHOWN_SECONDS)
    DualPrint("\nEstimated time of the draw profile: about %s.\n", when);
  ConsoleFlush();
  profile = ComputeDrawProfile(loaded, p.v, p.k, p.m, p.l, threads);
  const double total = BinomialReal(p.v, p.m);
  char totalText[48];
  BinomialText(p.v, p.m, totalText, sizeof totalText);
  DualPrint("\nDraw profile of the %s %hu-sets: the most points one block shares with each\n",
            totalText, p.m);
  DualPrint("    j           m-sets   share  at least j   met by %hu blocks in >= j\n", p.l);
  uint64_t atLeast = 0;
  for (size_t j = profile.best.size(); j-- > 0;) {
    atLeast += profile.best[j];
    const double share = total == 0 ? 0.0 : 100.0 * static_cast<double>(profile.best[j]) / total;
    const double cumulative = total == 0 ? 0.0 : 100.0 * static_cast<double>(atLeast) / total;
    DualPrint("  %3zu %16llu  %5.1f%%  %9.1f%%   %16llu\n", j,
              static_cast<unsigned long long>(profile.best[j]), share, cumulative,
              static_cast<unsigned long long>(profile.atLeastL[j]));
  }
  return true;
}

// The blocks of `before` that `after` no longer holds (as many times as
// they went), named as the run prints them, in lexicographic order.
std::vector<std::vector<unsigned>> RemovedBlocks(const PointSetList& before,
                                                 const PointSetList& after, PointNames names) {
  std::vector<std::vector<unsigned>> was = PointRows(before), is = PointRows(after);
  std::sort(was.begin(), was.end());
  std::sort(is.begin(), is.end());
  std::vector<std::vector<unsigned>> out;
  std::set_difference(was.begin(), was.end(), is.begin(), is.end(), std::back_inserter(out));
  for (std::vector<unsigned>& pts : out)
    for (unsigned& p : pts) p = names(p);
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::vector<unsigned>> PointRows(const PointSetList& blocks) {
  std::vector<std::vector<unsigned>> rows;
  rows.reserve(blocks.size());
  for (const PointSetView b : blocks) rows.push_back(PointsOfSet(b));
  return rows;
}

PointSetList DescribedBlocks(const RunSettings& rs, const Sys& sys, const PointSetList& loaded) {
  return rs.fReduce != 0 ? LoadedBlocks(sys) : loaded;
}

CanonicalFindings RunCanonicalForm(const RunSettings& rs, const PointSetList& blocks, unsigned v) {
  ConsoleFlush();
  const std::vector<std::vector<unsigned>> rows = PointRows(blocks);
  const CanonicalForm form = FindCanonicalForm(v, rows, rs.ulTimeLimit);
  CanonicalFindings out;
  if (!form.found) {
    DualPrint("\nCanonical form: not found within --time-limit (%lu seconds); the verdict does "
              "not depend on it.\n",
              static_cast<unsigned long>(rs.ulTimeLimit));
    return out;
  }
  out.found = true;
  // The same normal form and hash as the design's own sha256, of the design
  // with its points renumbered canonically.
  out.sha256 = Sha256Hex(NormalFormText(Relabelled(rows, form.label)));
  out.automorphisms = form.automorphisms;
  out.pointOrbits = form.pointOrbits;
  DualPrint("\nCanonical form: sha256 %s (%ld seconds)\n", out.sha256.c_str(),
            static_cast<long>(form.seconds));
  DualPrint("Automorphisms: %s; point orbits: %u\n", out.automorphisms.c_str(), out.pointOrbits);
  DualPrint("Canonical numbers of the points 1..%u:", v);
  for (const unsigned n : form.label) DualPrint(" %u", n);
  DualPrint("\n");
  return out;
}

void PrintSubsetLambdas(const RunSettings& rs, const DesignParams& p, const PointSetList& loaded) {
  const uint64_t bound = rs.ulMemoryBound != 0 ? rs.ulMemoryBound : DefaultMemoryBound();
  const std::vector<SubsetLambda> lambdas = SubsetLambdas(loaded, p.v, p.t, bound);
  DualPrint("\nBlocks on an s-subset, fewest and most over all s-subsets (every block as "
            "loaded):\n");
  DualPrint("   s         fewest           most\n");
  for (size_t s = 0; s < lambdas.size(); ++s)
    DualPrint("%4zu %14llu %14llu\n", s, static_cast<unsigned long long>(lambdas[s].min),
              static_cast<unsigned long long>(lambdas[s].max));
  if (lambdas.size() <= p.t)
    DualPrint("   s = %zu and above: not counted, C(v,s) counters pass the memory bound "
              "(--memory).\n",
              lambdas.size());
}

Certificate MakeCertificate(const RunSettings& rs, const Sys& sys, const PointSetList& asLoaded,
                            const RunFindings& found) {
  Certificate c;
  // A reduced design is described as reduced; what went is listed apart.
  const PointSetList kept = rs.fReduce != 0 ? LoadedBlocks(sys) : PointSetList(sys.v);
  const PointSetList& loaded = rs.fReduce != 0 ? kept : asLoaded;
  if (rs.fReduce != 0) {
    c.reduced = true;
    c.reducedFrom = asLoaded.size();
    c.removed = RemovedBlocks(asLoaded, kept, NamesOf(sys));
  }
  c.file = sys.szFileName;
  c.params = sys;
  c.b = loaded.size();
  std::vector<std::vector<unsigned>> sorted = PointRows(loaded);
  std::sort(sorted.begin(), sorted.end());
  c.distinctBlocks =
      static_cast<uint64_t>(std::unique(sorted.begin(), sorted.end()) - sorted.begin());

  // A reader must be able to tell an exact answer from a partial one: what
  // was not decided or not counted is null or left out, and a note says why.
  if (found.ctx == nullptr || found.undecided)
    c.verdict = CertificateVerdict::kUndecided;
  else
    c.verdict = found.passed ? CertificateVerdict::kOk : CertificateVerdict::kFail;
  if (found.timedOut) {
    c.notes.push_back("the test did not end within --time-limit: no verdict, losing not counted");
  } else if (found.ctx == nullptr) {
    c.notes.push_back("the coverage test was not run (-y-): no verdict, losing not counted");
  } else if (found.undecided) {
    c.notes.push_back("the proof search did not decide within --time-limit and --memory: no "
                      "verdict, losing not counted");
  } else {
    c.losingCounted = found.ctx->fCountExact != 0;
    c.losingCount = found.losing;
    if (found.ctx->fProved != 0)
      c.notes.push_back("the verdict was proved by the proof search, without a complete walk");
    if (!c.losingCounted && found.ctx->fProved != 0)
      c.notes.push_back("the proof search does not count the losing m-sets: losing.count is not "
                        "known");
    else if (!c.losingCounted)
      c.notes.push_back("the last pass sampled (-q above 0): losing.count is not known, and "
                        "losing.first holds only the losing m-sets the passes met");
    const PointNames names = NamesOf(sys);
    for (const auto& set : found.ctx->firstLosing) {
      std::vector<unsigned> pts;
      for (const Point p : set) pts.push_back(names(p));
      c.losingFirst.push_back(pts);
    }
  }

  c.sha256 = Sha256Hex(NormalFormText(PointRows(loaded)));

  // The counts of the t-subsets cost about what the analysis did: after a
  // test that ran out of --time-limit they are not started.
  const uint64_t bound = rs.ulMemoryBound != 0 ? rs.ulMemoryBound : DefaultMemoryBound();
  if (found.timedOut)
    c.notes.push_back("lambdas and tsets left out: --time-limit was reached");
  else
    for (const SubsetLambda& l : SubsetLambdas(loaded, sys.v, sys.t, bound))
      c.lambdas.push_back({static_cast<unsigned>(c.lambdas.size()), l.min, l.max});
  if (!found.timedOut && c.lambdas.size() <= sys.t)
    c.notes.push_back("lambdas stop below s = t: one counter per s-subset, C(v,s) of them, passes "
                      "the memory bound (--memory)");
  if (found.canonical != nullptr) {
    c.canonicalAsked = true;
    c.haveCanonical = found.canonical->found;
    c.canonicalSha256 = found.canonical->sha256;
    c.automorphisms = found.canonical->automorphisms;
    c.pointOrbits = found.canonical->pointOrbits;
    if (!c.haveCanonical)
      c.notes.push_back("the canonical form was not found within --time-limit: canonical_sha256, "
                        "automorphisms and point_orbits are not known");
  }
  if (found.timedOut) {
    // said above
  } else if (rs.ulPartCount != 0) {
    c.notes.push_back("tsets left out: a part counts the t-subsets of its share only");
  } else if (!TSetHistogram(loaded, sys.v, sys.t, bound, c.tsetHistogram)) {
    c.notes.push_back("tsets left out: one counter per t-subset, C(v,t) of them, passes the memory "
                      "bound (--memory)");
  } else if (c.tsetHistogram.size() > 255) {
    // The counters stop at 255: a larger lambda would be reported as 255.
    c.notes.push_back("tsets left out: a t-subset lies in 255 or more blocks, more than its "
                      "counter tells apart");
  } else {
    c.haveTSets = true;
    c.tsetMax = static_cast<unsigned>(c.tsetHistogram.size() - 1);
    while (c.tsetMin < c.tsetMax && c.tsetHistogram[c.tsetMin] == 0) ++c.tsetMin;
  }

  std::vector<unsigned> perPoint(sys.v + 1u, 0);
  for (const PointSetView b : loaded) ForEachPoint(b, [&](unsigned p) { ++perPoint[p]; });
  const auto [lo, hi] = std::minmax_element(perPoint.begin() + 1, perPoint.end());
  c.replicationMin = *lo;
  c.replicationMax = *hi;
  c.redundant = found.redundant;
  if (found.profile != nullptr) {
    c.haveProfile = true;
    c.profileBest = found.profile->best;
    c.profileAtLeastL = found.profile->atLeastL;
  } else if (rs.fProfile != 0) {
    c.notes.push_back("profile not computed: the walk over every m-set is beyond reach");
  }
  c.fileNumbers.assign(sys.fileNumbers.begin(), sys.fileNumbers.end());
  c.seconds = found.seconds;
  c.command = rs.szCommand;
  if (rs.ulPartCount != 0) {
    c.partIndex = rs.ulPartIndex;
    c.partCount = rs.ulPartCount;
    c.fingerprint = PartFingerprint(sys, c.sha256);
    c.base = sys.given.usFileBase;
    if (found.ctx != nullptr && found.ctx->cut.unit != CutUnit::kNone) {
      c.cutUnit = CutUnitName(found.ctx->cut.unit);
      c.cutFrom = found.ctx->cut.from;
      c.cutTo = found.ctx->cut.to;
      c.cutOf = found.ctx->cut.of;
    }
  }
  return c;
}

void EmitCertificate(const RunSettings& rs, const Certificate& c) {
  EmitJsonLine(rs, CertificateJson(c));
}

void EmitJsonLine(const RunSettings& rs, const std::string& line) {
  if (rs.certificates != nullptr)
    std::fprintf(rs.certificates, "%s\n", line.c_str());
  else
    StdoutPrint("%s\n", line.c_str());
}

} // namespace kovra
