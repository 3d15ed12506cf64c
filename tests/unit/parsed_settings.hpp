// Run settings as the option parser leaves them for a command line, for the
// tests of the run modes that start from parsed settings (batch, search).
#pragma once

#include "app/options.hpp"
#include "base/console.hpp"

#include "stdin_guard.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kovra::test {

// `options` with "-h2" appended (so no prompt can wait), parsed quietly.
inline RunSettings ParsedSettings(const std::vector<std::string>& options) {
  std::vector<const char*> argv{"kovra"};
  for (const auto& o : options) argv.push_back(o.c_str());
  argv.push_back("-h2");
  argv.push_back(nullptr);
  RunSettings rs;
  ResetCmdGiven(rs.given);
  StdinFromDevNull stdinGuard;
  ConsoleCapture cap;
  EXPECT_TRUE(ParseOptions(static_cast<int>(argv.size() - 1), argv.data(), rs));
  return rs;
}

} // namespace kovra::test
