// The information screens.
#include "info/screens.hpp"

#include "base/console.hpp"

namespace kovra {

// Placeholder screens until the texts are written.
void ShowHelp(const RunSettings&) { DualPrint("\nKOVRA Help (-h):\n----------------\n"); }
void ShowTechInfo(const RunSettings&) {}
void ShowHistory(const RunSettings&) {}
void ShowDefinitions(const RunSettings&) {}
void ShowNotice(const RunSettings&) {}

} // namespace kovra
