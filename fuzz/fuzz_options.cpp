// Fuzzes the option parser: the input, split at NUL bytes, is the argument
// list. Whatever the arguments, the parse must end normally or through
// ErrExit, and the settings it leaves must keep the invariants the rest of
// the program relies on.
#include "app/options.hpp"
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "base/limits.hpp"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Require(bool ok) {
  if (!ok) std::abort();
}

void CheckInvariants(const kovra::RunSettings& rs) {
  using namespace kovra;
  Require(rs.t >= 1 && rs.t <= MAX_T);
  Require(rs.m >= 1 && rs.m <= MAX_M);
  Require(rs.l >= 1 && rs.l <= MAX_L);
  Require(rs.V >= 1 && rs.V <= MAX_V && rs.K >= 1 && rs.K <= MAX_K);
  Require(rs.T >= 1 && rs.T <= MAX_T && rs.M >= 1 && rs.M <= MAX_M);
  Require(rs.L >= 1 && rs.L <= MAX_L);
  Require(rs.bCompressed <= 3); // 3: XML, which keeps any base
  Require((rs.bCompressed != 1 && rs.bCompressed != 2) || rs.usOutBase == 1);
  Require(rs.usMskSeperatorline <= 3);
  Require(rs.ulComprAvgLineLen >= MIN_CLL && rs.ulComprAvgLineLen <= MAX_CLL);
  Require(rs.ulSkipperHigh <= 25 && rs.ulSkipperLow <= 5);
  Require(rs.usInBase <= MAX_BASE && rs.usOutBase <= MAX_BASE && rs.B <= uint32_t{MAX_B});
  Require(rs.ulMaxLosing >= 1 && rs.ulMaxLosing <= uint32_t{MAX_B});
  Require(rs.ulMaxReport >= 1 && rs.ulMaxReport <= uint32_t{MAX_B});
  Require(rs.fUseNewFNameScheme == 0 || rs.fUseL_InOldStyleFNames == 0);
  Require(rs.fInternalOptions != 0 || (rs.fCDsOnly == 0 && rs.fToSysDir == 0 && rs.fTestAll == 0));
  Require(!(rs.fUseNewFNameScheme != 0 && rs.fToSysDir != 0));
  // Parameters count as given for the design files, or for --isomorphic's.
  Require(rs.fParamsGiven == 0 || !rs.szDesignFile.empty() || !rs.isomorphicFiles.empty());
  // Every flag is 0 or 1.
  const int flags = rs.fShowSummary | rs.fDoTesting | rs.fShowDupeTSets | rs.fShowRedundants |
                    rs.fWriteNonRedundantsToFile | rs.fWriteToNewFile | rs.fBatchMode |
                    rs.fSortOutput | rs.fUseL_InOldStyleFNames | rs.fUseNewFNameScheme |
                    rs.fComprUseExp | rs.fForceTestingIfRedund | rs.fCloseGaps |
                    rs.fFindDesignParams | rs.fSkipCompleteDesigns | rs.fNoRedundTesting |
                    rs.fOverwrite | rs.fDumpToStdout | rs.fCDsOnly | rs.fToSysDir | rs.fTestAll |
                    rs.fInternalOptions | rs.fParamsGiven;
  Require((flags & ~1) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args;
  std::string cur;
  for (size_t i = 0; i < size && args.size() < 256; ++i) {
    if (data[i] == 0) {
      args.push_back(cur);
      cur.clear();
    } else {
      cur += static_cast<char>(data[i]);
    }
  }
  args.push_back(cur);
  args.push_back("-h2"); // screens must not wait for a key

  std::vector<const char*> argv{"kovra"};
  for (const auto& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);

  kovra::RunSettings rs;
  kovra::ConsoleCapture cap;
  try {
    kovra::ParseOptions(static_cast<int>(argv.size() - 1), argv.data(), rs);
    CheckInvariants(rs);
  } catch (const kovra::FatalExit& e) {
    Require(e.code == 1 || e.code == 21 || e.code == kovra::EXIT_USAGE);
  }
  return 0;
}
