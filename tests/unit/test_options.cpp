// The command line: value scanning, every option letter, range checks, the
// end-value fix-ups, the -f2/ToSysDir conflict, warnings, screen requests and
// the internal mode; and the entry's exit status around them.
#include "app/entry.hpp"
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
  std::string err;
};

std::vector<const char*> Argv(const std::vector<std::string>& args) {
  std::vector<const char*> argv{"kovra"};
  for (const auto& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  return argv;
}

Parsed Parse(const std::vector<std::string>& args) {
  const auto argv = Argv(args);
  Parsed p;
  StdinFromDevNull stdinGuard;
  ConsoleCapture cap;
  try {
    p.goOn = ParseOptions(static_cast<int>(argv.size() - 1), argv.data(), p.rs);
  } catch (const FatalExit& e) {
    p.exitCode = e.code;
  }
  p.out = cap.out;
  p.err = cap.err;
  return p;
}

struct Ran {
  int status = -1;
  std::string out;
  std::string err;
};

Ran RunMain(const std::vector<std::string>& args) {
  const auto argv = Argv(args);
  Ran r;
  StdinFromDevNull stdinGuard;
  ConsoleCapture cap;
  r.status = KovraMain(static_cast<int>(argv.size() - 1), argv.data());
  r.out = cap.out;
  r.err = cap.err;
  return r;
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

std::string RangeError(const std::string& value, const std::string& label, long lo, long hi) {
  return "Error: Wrong value (" + value + ") for " + label + " !\n       It should be between " +
         std::to_string(lo) + " and " + std::to_string(hi) +
         ". Confer the internal limits (-j).\n\nErrExit: 1\n";
}

// A 300-digit number and its low bits, computed independently.
const std::string kSevens(300, '7');
constexpr uint32_t kSevensLow32 = 1908874353u;
constexpr uint16_t kSevensLow16 = 7281;
constexpr uint8_t kSevensLow8 = 113;

TEST(OptionValue, ScansPastNoiseToTheNumber) {
  struct Row {
    const char* text;
    uint32_t value;
    char first;
  };
  const Row rows[] = {
      {"49", 49, '4'},
      {"=49", 49, '4'},
      {":49", 49, '4'},
      {"x49", 49, '4'},
      {"", 1, '1'},
      {"+", 1, '1'},
      {"-", 0, '0'},
      {"=+", 1, '1'},
      {"=-7", 0, '0'},
      {"+5", 1, '1'},
      {" 5", 1, '1'},
      {"abc", 1, '1'},
      {"2x3", 2, '2'},
      {"007", 7, '0'},
      {"4294967297", 1, '4'},
      {"18446744073709551617", 1, '1'},
      {"\xff\x80"
       "12",
       12, '1'},
  };
  for (const auto& r : rows) {
    const OptionValue v = ScanOptionValue(r.text);
    EXPECT_EQ(v.value, r.value) << '"' << r.text << '"';
    EXPECT_EQ(v.first, r.first) << '"' << r.text << '"';
  }
  EXPECT_EQ(ScanOptionValue(kSevens.c_str()).value, kSevensLow32);
}

TEST(Options, ValueFormsOfV) {
  for (const char* arg : {"-v=49", "-v:49", "-v49", "-vx49", "/v49"}) {
    const Parsed p = Parse({"-v5", arg});
    EXPECT_EQ(p.rs.v, 49) << arg;
    EXPECT_EQ(p.rs.given.V, 49) << arg;
    EXPECT_TRUE(p.goOn);
  }
  EXPECT_EQ(Parse({"-v"}).rs.v, 1);
  EXPECT_EQ(Parse({"-v+"}).rs.v, 1);
  EXPECT_EQ(Parse({"-v-"}).rs.v, 0); // left for the design run to reject
  const Parsed p = Parse({"-v9", "-k3"});
  EXPECT_EQ(p.out, EchoOf({"-v9", "-k3"}));
  EXPECT_EQ(p.rs.k, 3);
  EXPECT_EQ(p.rs.given.K, 3);
}

TEST(Options, DefaultsWithoutOptions) {
  const Parsed p = Parse({"file.txt"});
  const RunSettings d;
  EXPECT_TRUE(p.goOn);
  EXPECT_EQ(p.rs.szDesignFile, "file.txt");
  EXPECT_EQ(p.rs.v, d.v);
  EXPECT_EQ(p.rs.ulMaxReport, 15u);
  EXPECT_EQ(p.rs.ulSkipperHigh, 7u);
  EXPECT_EQ(p.rs.fUseL_InOldStyleFNames, 1);
  EXPECT_EQ(p.rs.fParamsGiven, 0);
  EXPECT_EQ(p.rs.given.V, 0);
  EXPECT_EQ(p.rs.given.usFileBase, 1);
  // End values fixed up even when nothing set them.
  EXPECT_EQ(p.rs.V, 54);
  EXPECT_EQ(p.rs.K, 7);
  EXPECT_EQ(p.rs.T, 7);
  EXPECT_EQ(p.rs.M, 7);
  EXPECT_EQ(p.rs.L, 255);
  EXPECT_EQ(p.rs.B, 0u);
}

TEST(Options, EveryPlainLetterReachesItsSetting) {
  const Parsed p = Parse({"-a0", "-p3", "-o9", "-r4", "-s", "-x1", "-d", "-c", "-e", "-w", "-D",
                          "-O", "-N-", "-S", "-A2", "-G100", "-Q25", "-q5", "-B70000"});
  const RunSettings& rs = p.rs;
  EXPECT_EQ(rs.usInBase, 0);
  EXPECT_EQ(rs.usOutBase, 3);
  EXPECT_EQ(rs.ulMaxLosing, 9u);
  EXPECT_EQ(rs.ulMaxReport, 4u);
  EXPECT_EQ(rs.fShowSummary, 1);
  EXPECT_EQ(rs.fShowDupeTSets, 1);
  EXPECT_EQ(rs.fShowRedundants, 1);
  EXPECT_EQ(rs.fWriteNonRedundantsToFile, 1);
  EXPECT_EQ(rs.fWriteToNewFile, 1);
  EXPECT_EQ(rs.fSortOutput, 1);
  EXPECT_EQ(rs.fDumpToStdout, 1);
  EXPECT_EQ(rs.fOverwrite, 1);
  EXPECT_EQ(rs.fComprUseExp, 0);
  EXPECT_EQ(rs.fSkipCompleteDesigns, 1);
  EXPECT_EQ(rs.usMskSeperatorline, 2);
  EXPECT_EQ(rs.ulComprAvgLineLen, 100u);
  EXPECT_EQ(rs.ulSkipperHigh, 25u);
  EXPECT_EQ(rs.ulSkipperLow, 5u);
  EXPECT_EQ(rs.given.bSkipperLowGiven, 5);
  EXPECT_EQ(rs.B, 70000u);
  EXPECT_EQ(p.out, EchoOf({"-a0", "-p3", "-o9", "-r4", "-s", "-x1", "-d", "-c", "-e", "-w", "-D",
                           "-O", "-N-", "-S", "-A2", "-G100", "-Q25", "-q5", "-B70000"}));
  // A flag is 1 for any nonzero value, also one whose low byte is 0.
  EXPECT_EQ(Parse({"-s256"}).rs.fShowSummary, 1);
}

TEST(Options, RangeErrorsEndAtOnce) {
  struct Row {
    std::string arg, value, label;
    long lo, hi;
  };
  const Row rows[] = {
      {"-t9", "9", "t", 1, 7},
      {"-t0", "0", "t", 1, 7},
      {"-m8", "8", "m", 1, 7},
      {"-l0", "0", "l", 1, 255},
      {"-l256", "256", "l", 1, 255},
      {"-A4", "4", "mskSeperatorline", 0, 3},
      {"-G300", "300", "ComprLineLen", 32, 224},
      {"-G31", "31", "ComprLineLen", 32, 224},
      {"-g3", "3", "bCompressed", 0, 2},
      {"-Q26", "26", "-Q skipperHigh", 0, 25},
      {"-q6", "6", "-q skipperLow", 0, 5},
      // Compared as signed 32-bit numbers.
      {"-G4294967295", "-1", "ComprLineLen", 32, 224},
      {"-t" + kSevens, std::to_string(kSevensLow16), "t", 1, 7},
      {"-g" + kSevens, std::to_string(kSevensLow8), "bCompressed", 0, 2},
  };
  for (const auto& r : rows) {
    // Later arguments are not looked at: no invalid-option message, no screen.
    const Parsed p = Parse({r.arg, "-b5", "-v3", "-h"});
    EXPECT_EQ(p.exitCode, 1) << r.arg;
    EXPECT_EQ(p.out, EchoOf({r.arg, "-b5", "-v3", "-h"}) + RangeError(r.value, r.label, r.lo, r.hi))
        << r.arg;
    EXPECT_EQ(p.rs.v, 49) << r.arg;
  }
}

TEST(Options, ValuesKeepTheLowBitsOfTheirWidth) {
  // 65539 = 65536 + 3: the 16-bit t is 3 and passes its check.
  const Parsed t = Parse({"-t65539"});
  EXPECT_EQ(t.exitCode, -1);
  EXPECT_EQ(t.rs.t, 3);
  // -g258 is 2 in its byte, while -G300 (32 bits) fails.
  const Parsed g = Parse({"-g258"});
  EXPECT_EQ(g.exitCode, -1);
  EXPECT_EQ(g.rs.bCompressed, 2);
  EXPECT_EQ(Parse({"-G300"}).exitCode, 1);
  const Parsed big = Parse({"-v" + kSevens, "-B" + kSevens, "-o" + kSevens, "-V" + kSevens});
  EXPECT_EQ(big.rs.v, kSevensLow16);
  EXPECT_EQ(big.rs.given.V, kSevensLow16);
  EXPECT_EQ(big.rs.B, kSevensLow32);
  EXPECT_EQ(big.rs.ulMaxLosing, kSevensLow32);
  EXPECT_EQ(big.rs.V, 54); // 7281 > 54 is fixed up
  // The -q byte keeps its low 8 bits, stored before the check fails.
  const Parsed q = Parse({"-q300"});
  EXPECT_EQ(q.exitCode, 1);
  EXPECT_EQ(q.rs.given.bSkipperLowGiven, 300 % 256);
}

TEST(Options, EndValuesAreFixedUp) {
  const Parsed a = Parse({"-K0", "-T9", "-M5", "-V55", "-L256"});
  EXPECT_EQ(a.rs.K, 7);
  EXPECT_EQ(a.rs.T, 7);
  EXPECT_EQ(a.rs.M, 5);
  EXPECT_EQ(a.rs.V, 54);
  EXPECT_EQ(a.rs.L, 255);
  const Parsed b = Parse({"-K9", "-V54", "-L65536", "-T1"});
  EXPECT_EQ(b.rs.K, 7);
  EXPECT_EQ(b.rs.V, 54);
  EXPECT_EQ(b.rs.L, 255); // 65536 is 0 in 16 bits
  EXPECT_EQ(b.rs.T, 1);
  EXPECT_EQ(b.rs.given.V, 0); // end values do not count as given parameters
}

TEST(Options, OverloadedValuesCannotBeSwitchedBack) {
  const Parsed f12 = Parse({"-f1", "-f2"});
  EXPECT_EQ(f12.rs.fUseNewFNameScheme, 1);
  EXPECT_EQ(f12.rs.fUseL_InOldStyleFNames, 0);
  const Parsed f20 = Parse({"-f2", "-f0"});
  EXPECT_EQ(f20.rs.fUseNewFNameScheme, 1);
  EXPECT_EQ(f20.rs.fUseL_InOldStyleFNames, 0);
  const Parsed f21 = Parse({"-f2", "-f1"});
  EXPECT_EQ(f21.rs.fUseL_InOldStyleFNames, 0); // cleared after the last argument
  const Parsed f0 = Parse({"-f0"});
  EXPECT_EQ(f0.rs.fUseNewFNameScheme, 0);
  EXPECT_EQ(f0.rs.fUseL_InOldStyleFNames, 0);
  EXPECT_EQ(Parse({"-f-", "-f"}).rs.fUseL_InOldStyleFNames, 1);

  const Parsed y = Parse({"-y2", "-y3", "-y0"});
  EXPECT_EQ(y.rs.fForceTestingIfRedund, 1);
  EXPECT_EQ(y.rs.fNoRedundTesting, 1);
  EXPECT_EQ(y.rs.fDoTesting, 0);
  const Parsed y1 = Parse({"-y-", "-y5"});
  EXPECT_EQ(y1.rs.fDoTesting, 1);
  EXPECT_EQ(y1.rs.fForceTestingIfRedund, 0);

  const Parsed z = Parse({"-z2", "-z0"});
  EXPECT_EQ(z.rs.fFindDesignParams, 1);
  EXPECT_EQ(z.rs.fCloseGaps, 0);
  EXPECT_EQ(Parse({"-z"}).rs.fCloseGaps, 1);
  EXPECT_EQ(Parse({"-z"}).rs.fFindDesignParams, 0);

  const Parsed h = Parse({"-h2", "-h0", "-h-"});
  EXPECT_EQ(h.rs.fBatchMode, 1);
  EXPECT_TRUE(h.goOn); // -h0 and -h- request nothing
  EXPECT_EQ(h.out, EchoOf({"-h2", "-h0", "-h-"}));
}

TEST(Options, ToSysDirWithNewFileNamesEndsWithCode21) {
  const Parsed p = Parse({"-u7", "-u2", "-f2", "-h"});
  EXPECT_EQ(p.exitCode, 21);
  EXPECT_EQ(p.out,
            EchoOf({"-u7", "-u2", "-f2", "-h"}) + "\nErrExit: 21 <ToSysdir and FName3 xor...\n>\n");
  // Either order, since the check follows the last argument.
  EXPECT_EQ(Parse({"-u7", "-f2", "-u2"}).exitCode, 21);
  // Without ToSysDir, -f2 is fine.
  EXPECT_EQ(Parse({"-u7", "-u1", "-f2"}).exitCode, -1);
}

TEST(Options, ParamsGivenNeedsAFileAndAParameter) {
  EXPECT_EQ(Parse({"file", "-t3"}).rs.fParamsGiven, 1);
  EXPECT_EQ(Parse({"-l2", "file"}).rs.fParamsGiven, 1);
  EXPECT_EQ(Parse({"file"}).rs.fParamsGiven, 0);
  EXPECT_EQ(Parse({"-t3"}).rs.fParamsGiven, 0);
  EXPECT_EQ(Parse({"file", "-V5", "-K3", "-a0"}).rs.fParamsGiven, 0);
  // A later file name replaces an earlier one.
  EXPECT_EQ(Parse({"one", "two"}).rs.szDesignFile, "two");
}

TEST(Options, WarningsInOrder) {
  const Parsed all = Parse({"-c", "-y3", "-p0", "-g1", "-s", "-y-", "-e"});
  EXPECT_TRUE(all.goOn);
  EXPECT_EQ(all.out, EchoOf({"-c", "-y3", "-p0", "-g1", "-s", "-y-", "-e"}) +
                         "Warning: Option -e always needs also -y \n"
                         "Warning: Option -s always needs also -x \n"
                         "Warning: for compressed output -p can have the value 1 only.\n"
                         "Warn: arg mismatch: -y3 disables -y2 and -c ...\n");
  EXPECT_EQ(all.rs.usOutBase, 1);
  EXPECT_EQ(all.rs.fWriteNonRedundantsToFile, 1); // only the base is corrected

  // Each condition alone, and the combinations that are fine.
  EXPECT_EQ(Parse({"-e", "-y-"}).out,
            EchoOf({"-e", "-y-"}) + "Warning: Option -e always needs also -y \n");
  EXPECT_EQ(Parse({"-e"}).out, EchoOf({"-e"}));
  EXPECT_EQ(Parse({"-s", "-x"}).out, EchoOf({"-s", "-x"}));
  EXPECT_EQ(Parse({"-g2", "-p1"}).out, EchoOf({"-g2", "-p1"}));
  EXPECT_EQ(Parse({"-g0", "-p0"}).rs.usOutBase, 0);
  EXPECT_EQ(Parse({"-y3", "-y2"}).out,
            EchoOf({"-y3", "-y2"}) + "Warn: arg mismatch: -y3 disables -y2 and -c ...\n");
  EXPECT_EQ(Parse({"-y2", "-c"}).out, EchoOf({"-y2", "-c"}));
}

TEST(Options, InvalidOptionsAreIgnored) {
  const Parsed p = Parse({"-b5", "-v7", "-", "-\xff", "-#"});
  EXPECT_TRUE(p.goOn);
  EXPECT_EQ(p.rs.v, 7);
  EXPECT_EQ(p.out, EchoOf({"-b5", "-v7", "-", "-\xff", "-#"}) +
                       "Invalid option '-b5' given, ignored.\n"
                       "Invalid option '-' given, ignored.\n"
                       "Invalid option '-\xff' given, ignored.\n"
                       "Invalid option '-#' given, ignored.\n");
  // Letters are case-sensitive: -Y is no -y.
  EXPECT_EQ(Parse({"-Y-"}).rs.fDoTesting, 1);
}

TEST(Options, InternalModeOnlyFromTheFirstArgument) {
  // Outside the internal mode every -u is refused and selects nothing.
  const Parsed outside = Parse({"-u1", "-u3", "-u2"});
  EXPECT_EQ(outside.rs.fInternalOptions, 0);
  EXPECT_EQ(outside.rs.fCDsOnly + outside.rs.fTestAll + outside.rs.fToSysDir, 0);
  EXPECT_EQ(outside.out, EchoOf({"-u1", "-u3", "-u2"}) + "Invalid option '-u1' given, ignored.\n"
                                                         "Invalid option '-u3' given, ignored.\n"
                                                         "Invalid option '-u2' given, ignored.\n");
  // The access value anywhere but first does not open it.
  const Parsed late = Parse({"-v5", "-u7", "-u1"});
  EXPECT_EQ(late.rs.fInternalOptions, 0);
  EXPECT_EQ(late.rs.fCDsOnly, 0);
  EXPECT_EQ(Count(late.out, "Invalid option '-u"), 2u);
  EXPECT_EQ(Parse({"-u8"}).rs.fInternalOptions, 0);

  // Inside: the first character of the value picks the mode.
  const Parsed in = Parse({"-u7", "-u1", "-u2", "-u3", "-u7", "-u9", "-u-", "-b5"});
  EXPECT_EQ(in.rs.fInternalOptions, 1);
  EXPECT_EQ(in.rs.fCDsOnly, 1);
  EXPECT_EQ(in.rs.fToSysDir, 1);
  EXPECT_EQ(in.rs.fTestAll, 1);
  EXPECT_EQ(in.out, EchoOf({"-u7", "-u1", "-u2", "-u3", "-u7", "-u9", "-u-", "-b5"}) +
                        "Invalid internal option '-u9' given, ignored.\n"
                        "Invalid internal option '-u-' given, ignored.\n"
                        "Invalid internal option '-b5' given, ignored.\n");
  // The bare -u means value 1, so it picks CDsOnly.
  EXPECT_EQ(Parse({"-u7", "-u"}).rs.fCDsOnly, 1);
  EXPECT_EQ(Parse({"-u=7"}).rs.fInternalOptions, 1);
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

TEST(Options, ScreensInRequestOrderThenPromptAndNotice) {
  const Parsed p = Parse({"-h2", "-i", "-j"});
  EXPECT_FALSE(p.goOn);
  const size_t i = p.out.find("KOVRA Technical Information (-i):");
  const size_t j = p.out.find("KOVRA Version History (-j):");
  const size_t notice = p.out.find("KOVRA Notice:");
  ASSERT_NE(i, std::string::npos);
  ASSERT_NE(j, std::string::npos);
  ASSERT_NE(notice, std::string::npos);
  EXPECT_LT(i, j);
  EXPECT_LT(j, notice);
  EXPECT_EQ(p.out.find("Help (-h):"), std::string::npos);
  EXPECT_EQ(p.out.find("Definitions (-n):"), std::string::npos);
  // The notice follows the key prompt's line end after the last screen.
  EXPECT_NE(p.out.find("\nSee also -h, -i, -n \n\n\nKOVRA Notice:"), std::string::npos);

  const Parsed rev = Parse({"-h2", "-n", "-h", "-n"});
  EXPECT_EQ(Count(rev.out, "Mathematical Definitions (-n):"), 2u);
  EXPECT_LT(rev.out.find("Definitions (-n):"), rev.out.find("Help (-h):"));
  EXPECT_LT(rev.out.find("Help (-h):"), rev.out.rfind("Definitions (-n):"));
  EXPECT_EQ(Count(rev.out, "KOVRA Notice:"), 1u);
  EXPECT_TRUE(rev.err.empty()); // batch mode: no prompt

  // -i0 and -n- request nothing.
  EXPECT_TRUE(Parse({"-i0", "-n-", "-j0"}).goOn);
}

TEST(Options, AtMost32ScreenRequests) {
  std::vector<std::string> args{"-h2"};
  for (int i = 0; i < 40; ++i) args.push_back("-n");
  const Parsed p = Parse(args);
  EXPECT_EQ(Count(p.out, "Mathematical Definitions (-n):"), 32u);
}

TEST(Options, ScreensShowTheWholeCommandLinesSettings) {
  // The screens run after the last argument: -h2 and -f0 after -h still count.
  const Parsed p = Parse({"-h", "-v12", "-f0", "-h2"});
  EXPECT_NE(p.out.find("  -v  total numbers in the design (1..54=12)\n"), std::string::npos);
  EXPECT_NE(p.out.find("(uses 'a' for compatibility) (=1)\n"), std::string::npos);
  EXPECT_NE(p.out.find("  -h2 batch mode (no keyboard requests)  (=1)\n"), std::string::npos);
  EXPECT_TRUE(p.err.empty());
}

TEST(Options, KeyPromptWithoutBatchModeDoesNotWaitWithoutATerminal) {
  const Parsed p = Parse({"-i"});
  EXPECT_FALSE(p.goOn);
  // One pause inside -i and one before the notice, each prompt erased again.
  EXPECT_EQ(p.err, "\rPress a key...\r               \r"
                   "\rPress a key...\r               \r");
}

TEST(Options, NoArgumentsShowsHelp) {
  const Parsed p = Parse({});
  EXPECT_FALSE(p.goOn);
  EXPECT_EQ(p.out.rfind("\rCmdline: KOVRA \n\nKOVRA Help (-h):\n", 0), 0u);
  EXPECT_NE(p.out.find("KOVRA Notice:"), std::string::npos);
  EXPECT_EQ(Count(p.err, "Press a key..."), 2u);
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
  EXPECT_EQ(Count(odd.out, "Invalid option"), 2u);
}

TEST(Options, EchoUsesTheProgramNameAlways) {
  const char* argv[] = {"/usr/local/bin/some-name", "4901683a.616", "-t3", nullptr};
  ConsoleCapture cap;
  EchoCmdline(3, argv);
  EXPECT_EQ(cap.out, "\rCmdline: KOVRA 4901683a.616 -t3 \n");
}

// The entry around the parser.
TEST(Entry, AllScreensEndWithStatusZero) {
  const Ran r = RunMain({"-h2", "-h", "-i", "-j", "-n"});
  EXPECT_EQ(r.status, 0);
  size_t at = 0;
  for (const char* title :
       {"KOVRA v1.23beta/32 961209Mo   -   FAST! Wheel, Covering, and t-Design Checker\n",
        "\rCmdline: KOVRA -h2 -h -i -j -n \n", "\nKOVRA Help (-h):\n",
        "\nKOVRA Technical Information (-i):\n", "\nKOVRA Version History (-j):\n",
        "\nKOVRA Mathematical Definitions (-n):\n", "\nKOVRA Notice:\n"}) {
    const size_t pos = r.out.find(title, at);
    ASSERT_NE(pos, std::string::npos) << title;
    at = pos;
  }
  EXPECT_TRUE(r.err.empty());
}

TEST(Entry, RangeErrorEndsWithItsCodeBeforeAnyRun) {
  const Ran r = RunMain({"4901683a.616", "-G10"});
  EXPECT_EQ(r.status, 1);
  const std::string tail = RangeError("10", "ComprLineLen", 32, 224);
  ASSERT_GE(r.out.size(), tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
  EXPECT_EQ(RunMain({"-u7", "-u2", "-f2", "file"}).status, 21);
}

TEST(Entry, SeparatorLinesFrameTheDesignRun) {
  const std::string line = "\r" + std::string(76, '-') + "\n";
  const Ran both = RunMain({"-A3", "-h2", "no-such-file.616"});
  const size_t echo = both.out.find("\rCmdline:");
  ASSERT_NE(echo, std::string::npos);
  const size_t first = both.out.find(line, echo);
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(both.out.find('\n', echo) + 1, first); // right after the echo
  EXPECT_EQ(both.out.size() - line.size(), both.out.rfind(line));
  EXPECT_EQ(Count(both.out, line), 2u);
  EXPECT_EQ(both.status, 1); // the file does not exist

  EXPECT_EQ(Count(RunMain({"-A0", "-h2", "no-such-file.616"}).out, line), 0u);
  const Ran before = RunMain({"-A1", "-h2", "no-such-file.616"});
  EXPECT_EQ(Count(before.out, line), 1u);
  EXPECT_NE(before.out.rfind(line), before.out.size() - line.size());
  const Ran after = RunMain({"-A2", "-h2", "no-such-file.616"});
  EXPECT_EQ(Count(after.out, line), 1u);
  EXPECT_EQ(after.out.rfind(line), after.out.size() - line.size());
}

} // namespace
} // namespace kovra
