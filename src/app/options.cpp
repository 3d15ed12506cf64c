// The command line.
#include "app/options.hpp"

#include "base/console.hpp"
#include "base/version.hpp"

namespace kovra {

void EchoCmdline(int argc, const char* const* argv) {
  DualPrint("\rCmdline: %s ", PROGRAM_NAME);
  for (int i = 1; i < argc; ++i) DualPrint("%s ", argv[i]);
  DualPrint("\n");
}

// Placeholder parser: only the design file name is taken.
bool ParseOptions(int argc, const char* const* argv, RunSettings& rs) {
  EchoCmdline(argc, argv);
  for (int i = 1; i < argc; ++i)
    if (argv[i][0] != '-' && argv[i][0] != '/') rs.szDesignFile = argv[i];
  return argc > 1;
}

} // namespace kovra
