// The draw profile and the certificate of a design run: what a wheel buyer
// and a referee's script read beside the log.
#pragma once

#include "base/settings.hpp"
#include "design/sys.hpp"
#include "report/certificate.hpp"
#include "verify/engine.hpp"
#include "verify/pointset.hpp"
#include "verify/profile.hpp"

#include <string>
#include <vector>

namespace kovra {

// How the run prints the points of the design: by the file's numbers
// under -z, else in the file's base.
PointNames NamesOf(const Sys& sys);

// The blocks of a design in base 1 as point sets, all of them as loaded.
PointSetList LoadedBlocks(const Sys& sys);

// Computes the draw profile of the blocks for the design's parameters and
// prints its table. False (with a line saying why) when the walk over every
// m-set is beyond reach.
bool RunDrawProfile(const DesignParams& p, const PointSetList& loaded, unsigned threads,
                    DrawProfile& profile);

// The blocks as lists of their points, ascending.
std::vector<std::vector<unsigned>> PointRows(const PointSetList& blocks);

// The blocks a certificate describes: as loaded, or with --reduce the blocks
// that stayed.
PointSetList DescribedBlocks(const RunSettings& rs, const Sys& sys, const PointSetList& loaded);

// --canonical: the design up to relabelling.
struct CanonicalFindings {
  bool found = false; // false: not within --time-limit
  std::string sha256; // of the canonically relabelled design's normal form
  std::string automorphisms;
  unsigned pointOrbits = 0;
};

// Searches the canonical form of the blocks within --time-limit and prints
// its hash, the group order and the point orbits, or that it was not found.
CanonicalFindings RunCanonicalForm(const RunSettings& rs, const PointSetList& blocks, unsigned v);

// -x -s: for each s from 0 to t the fewest and the most blocks on an
// s-subset, over the blocks as loaded.
void PrintSubsetLambdas(const RunSettings& rs, const DesignParams& p, const PointSetList& loaded);

// Writes the certificate as one line where the run sends them.
void EmitCertificate(const RunSettings& rs, const Certificate& c);

// Writes one line of JSON (a certificate, the search's record, the line of
// a design not checked) where the run sends its certificates.
void EmitJsonLine(const RunSettings& rs, const std::string& line);

// What the run found, for its certificate.
struct RunFindings {
  const TestContext* ctx = nullptr; // null when the test did not run
  bool passed = false;
  bool undecided = false;
  uint64_t losing = 0;
  uint64_t redundant = 0;
  const DrawProfile* profile = nullptr;
  const CanonicalFindings* canonical = nullptr; // null without --canonical
  double seconds = 0;
  bool timedOut = false; // the test ran out of --time-limit (undecided)
};

Certificate MakeCertificate(const RunSettings& rs, const Sys& sys, const PointSetList& loaded,
                            const RunFindings& found);

} // namespace kovra
