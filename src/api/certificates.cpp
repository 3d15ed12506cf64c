// The certificate of a run, from the design and what the run found.
#include "api/engineside.hpp"
#include "base/memory.hpp"
#include "report/certificate.hpp"
#include "verify/shares.hpp"
#include "verify/tsets.hpp"

#include <algorithm>
#include <iterator>

namespace kovra::api {
namespace {

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
    for (unsigned& q : pts) q = names(q);
  std::sort(out.begin(), out.end());
  return out;
}

// The verdict and the losing m-subsets, or why they are not known: a reader
// must be able to tell an exact answer from a partial one, so what was not
// decided or not counted is null or left out, and a note says why.
void StateVerdict(const VerifyResult* v, kovra::Certificate& c) {
  const bool tested = v != nullptr && (v->tested || v->timedOut || v->stopped);
  c.verdict = !tested || v->verdict == Verdict::kUndecided ? CertificateVerdict::kUndecided
              : v->verdict == Verdict::kOk                 ? CertificateVerdict::kOk
                                                           : CertificateVerdict::kFail;
  if (tested && (v->timedOut || v->stopped)) {
    c.notes.push_back("the test did not end within --time-limit: no verdict, losing not counted");
  } else if (!tested) {
    c.notes.push_back("the coverage test was not run (-y-): no verdict, losing not counted");
  } else if (v->verdict == Verdict::kUndecided) {
    c.notes.push_back("the proof search did not decide within --time-limit and --memory: no "
                      "verdict, losing not counted");
  } else {
    c.losingCounted = v->counted;
    c.losingCount = v->losingCount;
    if (v->proved)
      c.notes.push_back("the verdict was proved by the proof search, without a complete walk");
    if (!c.losingCounted && v->proved)
      c.notes.push_back("the proof search does not count the losing m-sets: losing.count is not "
                        "known");
    else if (!c.losingCounted)
      c.notes.push_back("the last pass sampled (-q above 0): losing.count is not known, and "
                        "losing.first holds only the losing m-sets the passes met");
    c.losingFirst = v->firstLosing;
  }
}

// The blocks per t-subset and per s-subset. They cost about what the
// analysis did: after a test that ran out of --time-limit they are not
// started.
void SubsetCounts(const PointSetList& blocks, const Params& p, bool timedOut, bool share,
                  uint64_t bound, kovra::Certificate& c) {
  if (timedOut) {
    c.notes.push_back("lambdas and tsets left out: --time-limit was reached");
    return;
  }
  for (const SubsetLambda& l : SubsetLambdas(blocks, p.v, p.t, bound))
    c.lambdas.push_back({static_cast<unsigned>(c.lambdas.size()), l.min, l.max});
  if (c.lambdas.size() <= p.t)
    c.notes.push_back("lambdas stop below s = t: one counter per s-subset, C(v,s) of them, passes "
                      "the memory bound (--memory)");
  if (share) {
    c.notes.push_back("tsets left out: a part counts the t-subsets of its share only");
  } else if (!TSetHistogram(blocks, p.v, p.t, bound, c.tsetHistogram)) {
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
}

} // namespace

std::string Certificate(const Design& design, const CertificateInput& in) {
  kovra::Certificate c;
  const Params& p = design.params;
  // A reduced design is described as reduced; what went is listed apart.
  const PointSetList asLoaded = BlockSets(design);
  const PointSetList kept = in.reduceAsked
                                ? BlockSets(in.described != nullptr ? *in.described : design)
                                : PointSetList(p.v);
  const PointSetList& blocks = in.reduceAsked ? kept : asLoaded;
  if (in.reduceAsked) {
    c.reduced = true;
    c.reducedFrom = asLoaded.size();
    c.removed = RemovedBlocks(asLoaded, kept, NamesOf(design));
  }
  c.file = design.name;
  c.params = EngineParams(p);
  c.b = blocks.size();
  std::vector<std::vector<unsigned>> sorted = PointRows(blocks);
  std::sort(sorted.begin(), sorted.end());
  c.distinctBlocks =
      static_cast<uint64_t>(std::unique(sorted.begin(), sorted.end()) - sorted.begin());

  const VerifyResult* v = in.verified;
  StateVerdict(v, c);
  c.sha256 = Sha256Hex(NormalFormText(PointRows(blocks)));

  const bool timedOut = v != nullptr && (v->timedOut || v->stopped);
  const uint64_t bound = in.memoryBound != 0 ? in.memoryBound : DefaultMemoryBound();
  SubsetCounts(blocks, p, timedOut, in.partCount != 0, bound, c);
  if (in.canonical != nullptr) {
    c.canonicalAsked = true;
    c.haveCanonical = in.canonical->found;
    c.canonicalSha256 = in.canonical->sha256;
    c.automorphisms = in.canonical->automorphisms;
    c.pointOrbits = in.canonical->pointOrbits;
    if (!c.haveCanonical)
      c.notes.push_back("the canonical form was not found within --time-limit: canonical_sha256, "
                        "automorphisms and point_orbits are not known");
  }

  std::vector<unsigned> perPoint(p.v + 1u, 0);
  for (const PointSetView b : blocks) ForEachPoint(b, [&](unsigned q) { ++perPoint[q]; });
  const auto [lo, hi] = std::minmax_element(perPoint.begin() + 1, perPoint.end());
  c.replicationMin = *lo;
  c.replicationMax = *hi;
  c.redundant = v != nullptr ? v->redundant : 0;
  if (in.profile != nullptr && in.profile->computed) {
    c.haveProfile = true;
    c.profileBest = in.profile->best;
    c.profileAtLeastL = in.profile->atLeastL;
  } else if (in.profileAsked) {
    c.notes.push_back("profile not computed: the walk over every m-set is beyond reach");
  }
  c.fileNumbers.assign(design.fileNumbers.begin(), design.fileNumbers.end());
  c.seconds = in.seconds;
  c.command = in.command;
  if (in.partCount != 0) {
    c.partIndex = in.partIndex;
    c.partCount = in.partCount;
    c.fingerprint = PartFingerprint(c.params, c.sha256);
    c.base = design.base;
    if (v != nullptr && !v->piece.unit.empty()) {
      c.cutUnit = v->piece.unit;
      c.cutFrom = v->piece.from;
      c.cutTo = v->piece.to;
      c.cutOf = v->piece.of;
    }
  }
  return CertificateJson(c);
}

} // namespace kovra::api
