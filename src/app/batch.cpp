// The internal batch modes: design runs over ranges of parameters, each design
// taken from the system tree.
#include "app/batch.hpp"

#include "base/console.hpp"
#include "base/keyboard.hpp"

namespace kovra {
namespace {

// Visits k from k0 to K, t from t0 to k, m from t to 7 and v from k to 54;
// the first (m, v) sweep starts at the command line's m0 and v0 instead.
// CDsOnly looks at every v (so v < k reaches the run's parameter check) but
// runs only the complete designs; TestAll skips v < k.
// False when some run's requested file was not written.
bool Walk(RunSettings& rs, bool cdsOnly, const BatchRunFn& run) {
  const unsigned v0 = rs.v, k0 = rs.k, t0 = rs.t, m0 = rs.m;
  ResetCmdGiven(rs.given);
  bool startMark = true;
  bool allWritten = true;
  for (unsigned k = k0; k <= rs.K; ++k) {
    for (unsigned t = t0; t <= k; ++t) {
      for (unsigned m = startMark ? m0 : t; m <= 7; ++m) {
        for (unsigned v = startMark ? v0 : k; v <= 54; ++v) {
          startMark = false;
          if (!cdsOnly && v < k) continue;
          if (PollKey() == KEY_ESC) {
            DualPrint("\nESC PRESSED\n");
            return allWritten;
          }
          const bool complete = k == t && k == m;
          if (cdsOnly ? !complete : (rs.fSkipCompleteDesigns != 0 && complete)) continue;
          rs.v = static_cast<uint16_t>(v);
          rs.k = static_cast<uint16_t>(k);
          rs.t = static_cast<uint16_t>(t);
          rs.m = static_cast<uint16_t>(m);
          rs.l = 1;
          if (run(rs, true, rs.fToSysDir != 0).outputMissing) allWritten = false;
        }
      }
    }
  }
  return allWritten;
}

void BatchSettings(RunSettings& rs) {
  rs.fWriteNonRedundantsToFile = 1;
  rs.szDesignFile.clear();
  rs.fUseL_InOldStyleFNames = 0; // names in the system tree carry the letter a
}

} // namespace

bool TestAll(RunSettings& rs) { return TestAll(rs, RunOne); }

bool CDsOnly(RunSettings& rs) { return CDsOnly(rs, RunOne); }

bool TestAll(RunSettings& rs, const BatchRunFn& run) {
  BatchSettings(rs);
  return Walk(rs, false, run);
}

bool CDsOnly(RunSettings& rs, const BatchRunFn& run) {
  BatchSettings(rs);
  rs.fToSysDir = 1;
  rs.fSkipCompleteDesigns = 0;
  return Walk(rs, true, run);
}

} // namespace kovra
