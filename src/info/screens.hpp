// The information screens: help, technical information, history, definitions, notice.
#pragma once

#include "base/settings.hpp"

namespace kovra {

// Each prints its screen through DualPrint, filling in the current settings;
// the screens that pause call WaitKey with the run's batch mode.
void ShowHelp(const RunSettings& rs);
void ShowTechInfo(const RunSettings& rs);
void ShowHistory(const RunSettings& rs);
void ShowDefinitions(const RunSettings& rs);
void ShowNotice(const RunSettings& rs);

// --help: the usage, every long option on one line, and where the rest is
// described. Never waits for a key.
void ShowLongHelp();

} // namespace kovra
