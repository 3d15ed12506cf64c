// The draw profile and the certificate of a design run: what a wheel buyer
// and a referee's script read beside the log.
#pragma once

#include "base/deadline.hpp"
#include "base/settings.hpp"
#include "design/sys.hpp"
#include "report/certificate.hpp"
#include "verify/engine.hpp"
#include "verify/pointset.hpp"
#include "verify/profile.hpp"

#include <vector>

namespace kovra {

// The blocks of a design in base 1 as point sets, all of them as loaded.
std::vector<PointSet> LoadedBlocks(const Sys& sys);

// Computes the draw profile of the blocks for the design's parameters and
// prints its table. False (with a line saying why) when the walk over every
// m-set is beyond reach.
bool RunDrawProfile(const DesignParams& p, const std::vector<PointSet>& loaded, unsigned threads,
                    DrawProfile& profile);

// Writes the certificate as one line where the run sends them.
void EmitCertificate(const RunSettings& rs, const Certificate& c);

// What the run found, for its certificate.
struct RunFindings {
  const TestContext* ctx = nullptr; // null when the test did not run
  bool passed = false;
  bool undecided = false;
  uint64_t losing = 0;
  uint64_t redundant = 0;
  const DrawProfile* profile = nullptr;
  double seconds = 0;
  bool timedOut = false; // the test ran out of --time-limit (undecided)
  Deadline deadline;     // the run's: the t-subset summary gives up there too
};

Certificate MakeCertificate(const RunSettings& rs, const Sys& sys,
                            const std::vector<PointSet>& loaded, const RunFindings& found);

} // namespace kovra
