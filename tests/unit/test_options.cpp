// The command line: value scanning, every option letter, range checks, the
// end-value fix-ups, the overloaded values, the -f2/ToSysDir conflict,
// warnings, screen requests and the internal mode. Whole command lines with
// their screens, warnings and exit statuses are also in the golden
// transcripts (options_warnings, range_error, g258_G300, tosysdir_f2, ...).
#include "app/options.hpp"
#include "base/console.hpp"
#include "base/fatal.hpp"

#include "stdin_guard.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kovra {
namespace {

struct Parsed {
  RunSettings rs;
  bool goOn = false;
  int exitCode = -1; // -1: ParseOptions returned
  std::string out;
};

Parsed Parse(const std::vector<std::string>& args) {
  std::vector<const char*> argv{"kovra"};
  for (const auto& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  Parsed p;
  StdinFromDevNull stdinGuard;
  ConsoleCapture cap;
  try {
    p.goOn = ParseOptions(static_cast<int>(argv.size() - 1), argv.data(), p.rs);
  } catch (const FatalExit& e) {
    p.exitCode = e.code;
  }
  p.out = cap.out;
  return p;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

// What the parser prints for a command line without screens: the echo only.
std::string EchoOf(const std::vector<std::string>& args) {
  std::string s = "\rCmdline: KOVRA ";
  for (const auto& a : args) s += a + " ";
  return s + "\n";
}

// A 300-digit number and its low bits, computed independently.
const std::string kSevens(300, '7');
constexpr uint32_t kSevensLow32 = 1908874353u;
constexpr uint16_t kSevensLow16 = 7281;
constexpr uint8_t kSevensLow8 = 113;

// Settings of different widths, as one list to compare.
template <class... T>
std::vector<uint64_t> Nums(T... values) {
  return {static_cast<uint64_t>(values)...};
}

TEST(OptionValue, ScansPastNoiseToTheNumber) {
  const struct {
    const char* text;
    uint32_t value;
    char first;
  } rows[] = {{"49", 49, '4'}, {"=49", 49, '4'},       {":49", 49, '4'},       {"x49", 49, '4'},
              {"", 1, '1'},    {"+", 1, '1'},          {"-", 0, '0'},          {"=+", 1, '1'},
              {"=-7", 0, '0'}, {" 5", 1, '1'},         {"abc", 1, '1'},        {"2x3", 2, '2'},
              {"007", 7, '0'}, {"4294967297", 1, '4'}, {"\377\20012", 12, '1'}};
  for (const auto& r : rows) {
    const OptionValue v = ScanOptionValue(r.text);
    EXPECT_EQ(v.value, r.value) << '"' << r.text << '"';
    EXPECT_EQ(v.first, r.first) << '"' << r.text << '"';
  }
  EXPECT_EQ(ScanOptionValue(kSevens.c_str()).value, kSevensLow32);
}

TEST(Options, EveryPlainLetterReachesItsSetting) {
  const std::vector<std::string> args{"-a0", "-p3",   "-o9",  "-r4", "-s",      "-x1", "-d",
                                      "-c",  "-e",    "-w",   "-D",  "-O",      "-N-", "-S",
                                      "-A2", "-G100", "-Q25", "-q5", "-B70000", "-k3"};
  const Parsed p = Parse(args);
  const RunSettings& rs = p.rs;
  // In the order of the arguments.
  EXPECT_EQ(Nums(rs.usInBase, rs.usOutBase, rs.ulMaxLosing, rs.ulMaxReport, rs.fShowSummary,
                 rs.fShowDupeTSets, rs.fShowRedundants, rs.fWriteNonRedundantsToFile,
                 rs.fWriteToNewFile, rs.fSortOutput, rs.fDumpToStdout, rs.fOverwrite,
                 rs.fComprUseExp, rs.fSkipCompleteDesigns, rs.usMskSeperatorline,
                 rs.ulComprAvgLineLen, rs.ulSkipperHigh, rs.ulSkipperLow, rs.B, rs.k, rs.given.k),
            Nums(0, 3, 9, 4, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1, 2, 100, 25, 5, 70000, 3, 3));
  EXPECT_EQ(p.out, EchoOf(args));
  // A flag is 1 for any nonzero value, also one whose low byte is 0.
  EXPECT_EQ(Parse({"-s256"}).rs.fShowSummary, 1);
}

TEST(Options, RangeErrorsEndAtOnce) {
  const struct {
    std::string arg, value, label;
    long lo, hi;
  } rows[] = {
      {"-t0", "0", "t", 1, 7},
      {"-m8", "8", "m", 1, 7},
      {"-l0", "0", "l", 1, 255},
      {"-l256", "256", "l", 1, 255},
      {"-A4", "4", "mskSeperatorline", 0, 3},
      {"-G31", "31", "ComprLineLen", 32, 224},
      {"-g3", "3", "bCompressed", 0, 2},
      {"-Q26", "26", "-Q skipperHigh", 0, 25},
      {"-q6", "6", "-q skipperLow", 0, 5},
      // Compared as signed 32-bit numbers, after keeping the setting's width.
      {"-G4294967295", "-1", "ComprLineLen", 32, 224},
      {"-t" + kSevens, std::to_string(kSevensLow16), "t", 1, 7},
      {"-g" + kSevens, std::to_string(kSevensLow8), "bCompressed", 0, 2},
  };
  for (const auto& r : rows) {
    // Later arguments are not looked at: no invalid-option message, no screen.
    const Parsed p = Parse({r.arg, "-b5", "-v3", "-h"});
    EXPECT_EQ(p.exitCode, 1) << r.arg;
    EXPECT_EQ(p.out, EchoOf({r.arg, "-b5", "-v3", "-h"}) + "Error: Wrong value (" + r.value +
                         ") for " + r.label + " !\n       It should be between " +
                         std::to_string(r.lo) + " and " + std::to_string(r.hi) +
                         ". Confer the internal limits (-j).\n\nErrExit: 1\n")
        << r.arg;
    EXPECT_EQ(p.rs.v, 49) << r.arg;
  }
}

TEST(Options, ValuesKeepTheLowBitsOfTheirWidth) {
  // 65539 = 65536 + 3: the 16-bit t is 3 and passes its check.
  const Parsed t = Parse({"-t65539"});
  EXPECT_EQ(t.exitCode, -1);
  EXPECT_EQ(t.rs.t, 3);
  const Parsed big = Parse({"-v" + kSevens, "-B" + kSevens, "-o" + kSevens, "-V" + kSevens});
  EXPECT_EQ(big.rs.v, kSevensLow16);
  EXPECT_EQ(big.rs.given.v, kSevensLow16);
  EXPECT_EQ(big.rs.B, kSevensLow32);
  EXPECT_EQ(big.rs.ulMaxLosing, kSevensLow32);
  EXPECT_EQ(big.rs.V, 54); // 7281 > 54 is fixed up
}

TEST(Options, EndValuesAreFixedUp) {
  const std::pair<std::vector<std::string>, std::vector<uint64_t>> rows[] = {
      {{"-K0", "-T9", "-M5", "-V55", "-L256"}, Nums(7, 7, 5, 54, 255)},
      {{"-K9", "-T1", "-M0", "-V54", "-L65536"}, Nums(7, 1, 7, 54, 255)}, // 65536 is 0 in 16 bits
      {{"file"}, Nums(7, 7, 7, 54, 255)}};
  for (const auto& [args, ends] : rows) {
    const RunSettings rs = Parse(args).rs;
    EXPECT_EQ(Nums(rs.K, rs.T, rs.M, rs.V, rs.L), ends) << EchoOf(args);
    EXPECT_EQ(rs.given.v + rs.given.k + rs.given.t + rs.given.m + rs.given.l, 0);
  }
}

// The settings behind the overloaded letters -f, -y, -z and -h.
std::string Overloaded(const RunSettings& rs) {
  return "f2=" + std::to_string(rs.fUseNewFNameScheme) +
         " f=" + std::to_string(rs.fUseL_InOldStyleFNames) +
         " y3=" + std::to_string(rs.fNoRedundTesting) +
         " y2=" + std::to_string(rs.fForceTestingIfRedund) + " y=" + std::to_string(rs.fDoTesting) +
         " z2=" + std::to_string(rs.fFindDesignParams) + " z=" + std::to_string(rs.fCloseGaps) +
         " h2=" + std::to_string(rs.fBatchMode);
}

TEST(Options, OverloadedValuesCannotBeSwitchedBack) {
  const std::pair<std::vector<std::string>, const char*> rows[] = {
      {{"-f1", "-f2"}, "f2=1 f=0 y3=0 y2=0 y=1 z2=0 z=0 h2=0"},
      {{"-f2", "-f0"}, "f2=1 f=0 y3=0 y2=0 y=1 z2=0 z=0 h2=0"},
      {{"-f2", "-f1"}, "f2=1 f=0 y3=0 y2=0 y=1 z2=0 z=0 h2=0"}, // cleared after the last argument
      {{"-f0"}, "f2=0 f=0 y3=0 y2=0 y=1 z2=0 z=0 h2=0"},
      {{"-f-", "-f"}, "f2=0 f=1 y3=0 y2=0 y=1 z2=0 z=0 h2=0"},
      {{"-y2", "-y3", "-y0"}, "f2=0 f=1 y3=1 y2=1 y=0 z2=0 z=0 h2=0"},
      {{"-y-", "-y5"}, "f2=0 f=1 y3=0 y2=0 y=1 z2=0 z=0 h2=0"},
      {{"-z2", "-z0"}, "f2=0 f=1 y3=0 y2=0 y=1 z2=1 z=0 h2=0"},
      {{"-z"}, "f2=0 f=1 y3=0 y2=0 y=1 z2=0 z=1 h2=0"},
      {{"-h2", "-h0", "-h-"}, "f2=0 f=1 y3=0 y2=0 y=1 z2=0 z=0 h2=1"},
  };
  for (const auto& [args, expected] : rows) {
    const Parsed p = Parse(args);
    EXPECT_EQ(Overloaded(p.rs), expected) << EchoOf(args);
    EXPECT_TRUE(p.goOn); // -h0 and -h- request nothing
  }
}

TEST(Options, ToSysDirWithNewFileNamesEndsWithCode21InEitherOrder) {
  EXPECT_EQ(Parse({"-u7", "-f2", "-u2"}).exitCode, 21);
  EXPECT_EQ(Parse({"-u7", "-u2", "-f2"}).exitCode, 21);
  EXPECT_EQ(Parse({"-u7", "-u1", "-f2"}).exitCode, -1);
}

TEST(Options, ParamsGivenNeedsAFileAndAParameter) {
  const std::pair<std::vector<std::string>, int> rows[] = {
      {{"file", "-t3"}, 1},
      {{"-l2", "file"}, 1},
      {{"file"}, 0},
      {{"-t3"}, 0},
      {{"file", "-V5", "-K3", "-a0"}, 0},
  };
  for (const auto& [args, given] : rows) EXPECT_EQ(Parse(args).rs.fParamsGiven, given);
  // A later file name replaces an earlier one.
  EXPECT_EQ(Parse({"one", "two"}).rs.szDesignFile, "two");
}

TEST(Options, EachWarningOnlyForItsCombination) {
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{"-e", "-y-"}, "Warning: Option -e always needs also -y \n"},
      {{"-s"}, "Warning: Option -s always needs also -x \n"},
      {{"-p0", "-g2"}, "Warning: for compressed output -p can have the value 1 only.\n"},
      {{"-y3", "-y2"}, "Warn: arg mismatch: -y3 disables -y2 and -c ...\n"},
      {{"-c", "-y3"}, "Warn: arg mismatch: -y3 disables -y2 and -c ...\n"},
      {{"-e"}, ""},
      {{"-s", "-x"}, ""},
      {{"-g2", "-p1"}, ""},
      {{"-g0", "-p0"}, ""},
      {{"-y2", "-c"}, ""},
  };
  for (const auto& [args, warning] : rows) EXPECT_EQ(Parse(args).out, EchoOf(args) + warning);
  EXPECT_EQ(Parse({"-p0", "-g2"}).rs.usOutBase, 1);
  EXPECT_EQ(Parse({"-p0", "-g0"}).rs.usOutBase, 0);
}

TEST(Options, InvalidOptionsAreIgnored) {
  const Parsed p = Parse({"-v7", "-", "-\xff", "-#"});
  EXPECT_TRUE(p.goOn);
  EXPECT_EQ(p.rs.v, 7);
  EXPECT_EQ(p.rs.szDesignFile, "-"); // standard input
  EXPECT_EQ(p.out, EchoOf({"-v7", "-", "-\xff", "-#"}) + "Invalid option '-\xff' given, ignored.\n"
                                                         "Invalid option '-#' given, ignored.\n");
  // Letters are case-sensitive: -Y is no -y.
  EXPECT_EQ(Parse({"-Y-"}).rs.fDoTesting, 1);
}

TEST(Options, InternalModeOnlyFromTheFirstArgument) {
  // Outside the internal mode every -u is refused and selects nothing; the
  // access value anywhere but first does not open it.
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-u1", "-u3", "-u2"},
                                               {"-v5", "-u7", "-u1", "-u2", "-u3"},
                                               {"-u8", "-u1", "-u2", "-u3"}}) {
    const Parsed p = Parse(args);
    EXPECT_EQ(p.rs.fInternalOptions + p.rs.fCDsOnly + p.rs.fTestAll + p.rs.fToSysDir, 0);
    EXPECT_EQ(Count(p.out, "Invalid option '-u"), Count(EchoOf(args), " -u")) << p.out;
  }
  // Inside: the first character of the value picks the mode.
  const Parsed in = Parse({"-u7", "-u1", "-u2", "-u3", "-u7", "-u9", "-u-", "-b5"});
  EXPECT_EQ(in.rs.fInternalOptions + in.rs.fCDsOnly + in.rs.fToSysDir + in.rs.fTestAll, 4);
  EXPECT_EQ(in.out, EchoOf({"-u7", "-u1", "-u2", "-u3", "-u7", "-u9", "-u-", "-b5"}) +
                        "Invalid internal option '-u9' given, ignored.\n"
                        "Invalid internal option '-u-' given, ignored.\n"
                        "Invalid internal option '-b5' given, ignored.\n");
  const Parsed bare = Parse({"-u=7", "-u"}); // the bare -u means 1: CDsOnly
  EXPECT_EQ(bare.rs.fCDsOnly + bare.rs.fToSysDir + bare.rs.fTestAll, 1);
  EXPECT_EQ(bare.rs.fCDsOnly, 1);
}

TEST(Options, HelpAliasesRequestTheHelpScreen) {
  for (const char* arg : {"-h", "-H", "-?", "?", "?x", "--h", "--H", "/h", "-h1"}) {
    const Parsed p = Parse({"-h2", arg});
    EXPECT_FALSE(p.goOn) << arg;
    EXPECT_EQ(Count(p.out, "\nKOVRA Help (-h):\n"), 1u) << arg;
    EXPECT_EQ(p.out.find("Invalid"), std::string::npos) << arg;
    EXPECT_EQ(p.out.rfind(EchoOf({"-h2", arg}), 0), 0u) << arg; // echoed as given
  }
  // Only "--h" itself is an alias.
  const Parsed p = Parse({"--hx"});
  EXPECT_TRUE(p.goOn);
  EXPECT_EQ(p.out, EchoOf({"--hx"}) + "Invalid option '--hx' given, ignored.\n");
}

TEST(Options, ScreensAsOftenAsRequestedUpTo32ThenOneNotice) {
  const Parsed rev = Parse({"-h2", "-n", "-h", "-n"});
  EXPECT_EQ(Count(rev.out, "Mathematical Definitions (-n):"), 2u);
  EXPECT_LT(rev.out.find("Definitions (-n):"), rev.out.find("Help (-h):"));
  EXPECT_LT(rev.out.find("Help (-h):"), rev.out.rfind("Definitions (-n):"));
  EXPECT_EQ(Count(rev.out, "KOVRA Notice:"), 1u);
  std::vector<std::string> many{"-h2"};
  for (int i = 0; i < 40; ++i) many.push_back("-n");
  EXPECT_EQ(Count(Parse(many).out, "Mathematical Definitions (-n):"), 32u);
  // -i0, -n- and -j0 request nothing.
  EXPECT_TRUE(Parse({"-i0", "-n-", "-j0"}).goOn);
}

TEST(Options, PathsAndOddArguments) {
  // An absolute path is a file name, not a '/' option.
  const Parsed abs = Parse({"/tmp/dir/4901683a.616", "/t4"});
  EXPECT_EQ(abs.rs.szDesignFile, "/tmp/dir/4901683a.616");
  EXPECT_EQ(abs.rs.t, 4);
  EXPECT_EQ(abs.rs.fParamsGiven, 1);
  // A very long argument, bytes above 127, a lone slash: no crash, sane results.
  const std::string longArg = "-x" + std::string(200000, '=') + "1";
  const std::string longName(100000, 'n');
  const Parsed odd = Parse({longArg, "\xff\xfe", "/", longName, "-\x01\x02"});
  EXPECT_EQ(odd.exitCode, -1);
  EXPECT_EQ(odd.rs.fShowDupeTSets, 1);
  EXPECT_EQ(odd.rs.szDesignFile, longName);
  EXPECT_EQ(odd.out, EchoOf({longArg, "\xff\xfe", "/", longName, "-\x01\x02"}) +
                         "Invalid option '/' given, ignored.\n"
                         "Warning: file name <" +
                         longName +
                         "> replaces <\xff\xfe>\n"
                         "Invalid option '-\x01\x02' given, ignored.\n");
}

} // namespace
} // namespace kovra
