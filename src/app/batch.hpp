// The internal batch modes over the system tree.
#pragma once

#include "app/driver.hpp"
#include "base/settings.hpp"

#include <cstdint>
#include <functional>

namespace kovra {

// Runs the design of one parameter set (the run settings' v, k, t, m, l); has
// the shape of RunOne, which the batch modes use.
using BatchRunFn = std::function<RunOutcome(RunSettings& rs, bool force, bool toSysDir)>;

// Every (v, k, t, m) from the run settings' start values up (k to K, t from
// the start t to k, m to 7, v to 54; the first sweep starts at the given m and
// v, later ones at t and k), l = 1, each design taken from the system tree; a
// design with redundant blocks is written reduced. -S skips t = m = k. ESC,
// polled between designs, ends the walk. False when a reduced design that a
// run set out to write was not written.
bool TestAll(RunSettings& rs);

// The same walk, running only the complete designs (t = m = k) and always in
// the ToSysDir mode, so reduced designs land in the system tree.
bool CDsOnly(RunSettings& rs);

// The walks with another run function in place of RunOne, so that the order
// of the visits can be observed.
bool TestAll(RunSettings& rs, const BatchRunFn& run);
bool CDsOnly(RunSettings& rs, const BatchRunFn& run);

} // namespace kovra
