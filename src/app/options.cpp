// The command line.
#include "app/options.hpp"

#include "base/console.hpp"
#include "base/fatal.hpp"
#include "base/input.hpp"
#include "base/keyboard.hpp"
#include "base/limits.hpp"
#include "base/memory.hpp"
#include "base/range.hpp"
#include "base/text.hpp"
#include "base/version.hpp"
#include "info/screens.hpp"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

namespace kovra {
namespace {

uint8_t Flag(uint64_t value) { return value != 0 ? 1 : 0; }

bool EqualsNoCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b)
    if (!SameIgnoringCase(*a, *b)) return false;
  return *a == *b;
}

// "--h" in any case stands for "-h", as does anything starting with "?".
// (--help has a screen of its own: the long options, see ShowLongHelp.)
bool IsHelpAlias(const char* arg) { return arg[0] == '?' || EqualsNoCase(arg, "--h"); }

// The long options: KOVRA's own, so that a mistyped one can be named and
// its nearest valid form suggested. `value`: takes "=VALUE" or a next argument.
struct LongOption {
  const char* name;
  bool value;
};
constexpr LongOption kLongOptions[] = {
    {"--help", false},      {"--version", false},   {"--quiet", false},      {"--profile", false},
    {"--output", true},     {"--memory", true},     {"--json", false},       {"--threads", true},
    {"--part", true},       {"--merge", false},     {"--reduce", false},     {"--prove", false},
    {"--time-limit", true}, {"--canonical", false}, {"--isomorphic", false},
};

// The edit distance of two short words (insertions, deletions, changes).
size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// An argument that starts with "--" but is no option of ours ends the run
// before anything is read: ignoring it would run with settings nobody asked
// for (--ouput=mine.txt would write under another name).
[[noreturn]] void UnknownLongOption(const char* arg) {
  const std::string_view name(arg, std::strcspn(arg, "="));
  const LongOption* nearest = &kLongOptions[0];
  for (const LongOption& o : kLongOptions)
    if (EditDistance(name, o.name) < EditDistance(name, nearest->name)) nearest = &o;
  DualPrint("Err: unknown option '%s'; did you mean %s%s?\n", arg, nearest->name,
            nearest->value ? "=..." : "");
  ErrExit(EXIT_USAGE);
}

// A long option with a value, "--name=VALUE" or "--name VALUE": the value,
// or null when `arg` is not this option. A missing value reads as "".
const char* LongOptionValue(const char* arg, const char* name, int& i, int argc,
                            const char* const* argv) {
  const size_t n = std::strlen(name);
  if (std::strncmp(arg, name, n) != 0 || (arg[n] != '\0' && arg[n] != '=')) return nullptr;
  if (arg[n] == '=') return arg + n + 1;
  if (i + 1 < argc && argv[i + 1] != nullptr) return argv[++i];
  return "";
}

// --threads=N: 1..1024 threads for the walks and scans.
void ApplyThreadsOption(RunSettings& rs, const char* value) {
  const uint64_t n = IsDigit(*value) ? LeadingDecimal(value, UINT64_MAX) : 0;
  if (n < 1 || n > 1024 || std::strspn(value, "0123456789") != std::strlen(value)) {
    DualPrint("Err: --threads needs a number of threads from 1 to 1024, not <%s>.\n", value);
    ErrExit(1);
  }
  rs.ulThreads = static_cast<uint32_t>(n);
}

// --part=I/N: share I of N of the test, 1 <= I <= N <= 1000000.
void ApplyPartOption(RunSettings& rs, const char* value) {
  unsigned long index = 0, count = 0;
  char rest = 0;
  if (std::sscanf(value, "%lu/%lu%c", &index, &count, &rest) != 2 || index < 1 || count < 1 ||
      index > count || count > 1000000 || !IsDigit(value[0])) {
    DualPrint("Err: --part needs I/N with 1 <= I <= N, as in --part=3/8, not <%s>.\n", value);
    ErrExit(1);
  }
  rs.ulPartIndex = static_cast<uint32_t>(index);
  rs.ulPartCount = static_cast<uint32_t>(count);
  rs.fJson = 1; // the share's result is its certificate
}

// --memory=SIZE: what the large arrays of one run may take.
void ApplyMemoryOption(RunSettings& rs, const char* value) {
  if (!ParseMemorySize(value, rs.ulMemoryBound)) {
    DualPrint("Err: --memory needs a size such as 512M or 4G, not <%s>.\n", value);
    ErrExit(1);
  }
}

// --time-limit=SECONDS: how long the test of a design may run (0: no limit).
void ApplyTimeLimitOption(RunSettings& rs, const char* value) {
  const uint64_t seconds = LeadingDecimal(value, UINT64_MAX);
  if (!IsDigit(value[0]) || value[std::strspn(value, "0123456789")] != '\0' ||
      seconds > UINT32_MAX) {
    DualPrint("Err: --time-limit needs a number of seconds such as 600, not <%s>.\n", value);
    ErrExit(1);
  }
  rs.ulTimeLimit = static_cast<uint32_t>(seconds);
  rs.fTimeLimitGiven = 1;
}

// Options start with '-' or '/'. On this platform an absolute path also
// starts with '/', and taking "/tmp/4901683a.616" for a -t option would end
// the run with a baffling range error; so a '/' argument that holds a second
// '/' is a path, not an option.
bool IsOptionArgument(const char* arg) {
  if (std::strcmp(arg, STDIN_NAME) == 0) return false; // "-": the design on standard input
  if (arg[0] == '-') return true;
  return arg[0] == '/' && std::strchr(arg + 1, '/') == nullptr;
}

// Everything a parse collects besides the settings themselves.
struct ParseState {
  char screens[MAX_SCREEN_REQUESTS] = {};
  int screenCount = 0;
  bool paramMarked = false; // one of -v -k -t -m -l appeared
  bool outputGiven = false; // --output appeared
};

// A name that is no option: a share's certificate under --merge, else a
// design file (each is run in turn).
void AddFileName(RunSettings& rs, const char* arg) {
  if (rs.fMerge != 0)
    rs.mergeFiles.emplace_back(arg);
  else if (rs.fIsomorphic != 0)
    rs.isomorphicFiles.emplace_back(arg);
  else
    rs.designFiles.emplace_back(arg);
}

void RequestScreen(ParseState& st, char letter, uint64_t value) {
  if (value != 0 && st.screenCount < MAX_SCREEN_REQUESTS) st.screens[st.screenCount++] = letter;
}

void PrintInvalid(const RunSettings& rs, const char* arg) {
  if (rs.fInternalOptions != 0)
    DualPrint("Invalid internal option '%s' given, ignored.\n", arg);
  else
    DualPrint("Invalid option '%s' given, ignored.\n", arg);
}

// -u: only the first argument can open the internal mode; every -u outside
// it is refused, inside it the first character of the value picks the mode.
void ApplyInternalOption(RunSettings& rs, const char* arg, const OptionValue& val, bool isFirst) {
  if (isFirst && val.full == INTERNAL_ACCESS_VALUE && rs.fInternalOptions == 0)
    rs.fInternalOptions = 1;
  if (rs.fInternalOptions == 0) {
    DualPrint("Invalid option '%s' given, ignored.\n", arg);
    return;
  }
  switch (val.first) {
  case '1': rs.fCDsOnly = 1; break;
  case '2': rs.fToSysDir = 1; break;
  case '3': rs.fTestAll = 1; break;
  default:
    if (val.first == static_cast<char>('0' + INTERNAL_ACCESS_VALUE)) break;
    DualPrint("Invalid internal option '%s' given, ignored.\n", arg);
  }
}

// A design parameter or end value as written: a number above its limit ends
// the program at once, before any file is read, with the parameter, the
// number and the limit named (its low bits would name another design:
// -v65541 is not 5).
uint32_t DesignParam(const OptionValue& val, char name, uint32_t limit) {
  if (val.full > limit) {
    DualPrint("Err: %c = %.*s is above the limit %lu.\n", name, static_cast<int>(val.digits.size()),
              val.digits.data(), static_cast<unsigned long>(limit));
    ErrExit(1);
  }
  return static_cast<uint32_t>(val.full);
}

// Any other number setting as written, within its range or the end of the
// program with CheckRange's message; never cut to the width of the setting
// (-g258 is not 2, -o4294967297 not 1).
uint32_t Ranged(const OptionValue& val, int64_t low, int64_t high, const char* label) {
  CheckRange(static_cast<int64_t>(std::min<uint64_t>(val.full, INT64_MAX)), low, high, label);
  return static_cast<uint32_t>(val.full);
}

// Applies one option. `arg` is the argument as given (for the messages),
// `option` the text parsed (differs for the help aliases).
void ApplyOption(RunSettings& rs, ParseState& st, const char* arg, const char* option,
                 bool isFirst) {
  const char letter = option[1];
  if (letter == '\0') {
    PrintInvalid(rs, arg);
    return;
  }
  const OptionValue val = ScanOptionValue(option + 2);
  // The number as written: compared and stored whole, never its low bits.
  const uint64_t n = val.full;
  CmdGiven& given = rs.given;
  switch (letter) {
  case 'v':
    rs.v = given.v = static_cast<uint16_t>(DesignParam(val, 'v', MAX_V));
    st.paramMarked = true;
    break;
  case 'k':
    rs.k = given.k = static_cast<uint16_t>(DesignParam(val, 'k', MAX_K));
    st.paramMarked = true;
    break;
  case 't':
    rs.t = given.t = static_cast<uint16_t>(DesignParam(val, 't', MAX_T));
    st.paramMarked = true;
    CheckRange(rs.t, 1, MAX_T, "-t");
    break;
  case 'm':
    rs.m = given.m = static_cast<uint16_t>(DesignParam(val, 'm', MAX_M));
    st.paramMarked = true;
    CheckRange(rs.m, 1, MAX_M, "-m");
    break;
  case 'l':
    rs.l = given.l = static_cast<uint16_t>(DesignParam(val, 'l', MAX_L));
    st.paramMarked = true;
    CheckRange(rs.l, 1, MAX_L, "-l");
    break;
  case 'V': rs.V = static_cast<uint16_t>(DesignParam(val, 'V', MAX_V)); break;
  case 'K': rs.K = static_cast<uint16_t>(DesignParam(val, 'K', MAX_K)); break;
  case 'T': rs.T = static_cast<uint16_t>(DesignParam(val, 'T', MAX_T)); break;
  case 'M': rs.M = static_cast<uint16_t>(DesignParam(val, 'M', MAX_M)); break;
  case 'L': rs.L = static_cast<uint16_t>(DesignParam(val, 'L', MAX_L)); break;
  case 'B': rs.B = DesignParam(val, 'B', MAX_B); break;
  case 'a':
    rs.usInBase = static_cast<uint16_t>(Ranged(val, 0, MAX_BASE, "-a (inBase)"));
    rs.fInBaseGiven = 1;
    break;
  case 'p': rs.usOutBase = static_cast<uint16_t>(Ranged(val, 0, MAX_BASE, "-p (outBase)")); break;
  case 'o': rs.ulMaxLosing = Ranged(val, 1, MAX_B, "-o (MaxLosing)"); break;
  case 'r': rs.ulMaxReport = Ranged(val, 1, MAX_B, "-r (MaxReport)"); break;
  case 's': rs.fShowSummary = Flag(n); break;
  case 'x': rs.fShowDupeTSets = Flag(n); break;
  case 'd': rs.fShowRedundants = Flag(n); break;
  case 'c': rs.fWriteNonRedundantsToFile = Flag(n); break;
  case 'e': rs.fWriteToNewFile = Flag(n); break;
  case 'w': rs.fSortOutput = Flag(n); break;
  case 'D': rs.fDumpToStdout = Flag(n); break;
  case 'O': rs.fOverwrite = Flag(n); break;
  case 'N': rs.fComprUseExp = Flag(n); break;
  case 'S': rs.fSkipCompleteDesigns = Flag(n); break;
  case 'A':
    rs.usMskSeperatorline = static_cast<uint16_t>(Ranged(val, 0, 3, "-A (mskSeperatorline)"));
    break;
  case 'G': rs.ulComprAvgLineLen = Ranged(val, MIN_CLL, MAX_CLL, "-G (ComprLineLen)"); break;
  case 'g': rs.bCompressed = static_cast<uint8_t>(Ranged(val, 0, 3, "-g (bCompressed)")); break;
  case 'Q':
    rs.ulSkipperHigh = Ranged(val, 0, 25, "-Q (skipperHigh)");
    rs.fSkipperHighGiven = 1;
    break;
  case 'q': rs.ulSkipperLow = Ranged(val, 0, 5, "-q (skipperLow)"); break;
  // The overloaded letters: their special values set a flag of their own
  // that no later value of the same letter clears.
  case 'f':
    if (n == 2)
      rs.fUseNewFNameScheme = 1;
    else
      rs.fUseL_InOldStyleFNames = Flag(n);
    break;
  case 'y':
    if (n == 3)
      rs.fNoRedundTesting = 1;
    else if (n == 2)
      rs.fForceTestingIfRedund = 1;
    else
      rs.fDoTesting = Flag(n);
    break;
  case 'z':
    if (n == 2)
      rs.fFindDesignParams = 1;
    else
      rs.fCloseGaps = Flag(n);
    break;
  case 'h':
    if (n == 2)
      rs.fBatchMode = 1;
    else
      RequestScreen(st, letter, n);
    break;
  case '?':
  case 'H':
  case 'i':
  case 'j':
  case 'n': RequestScreen(st, letter, n); break;
  case 'u': ApplyInternalOption(rs, arg, val, isFirst); break;
  default: PrintInvalid(rs, arg);
  }
}

// End values left at 0 keep the classic ranges: the batch modes walk the
// system tree, which holds classic designs, and the parameter search would
// otherwise try m up to 20, walks far beyond what a bare block list deserves
// by default. (A value above its limit was refused like a parameter's.)
void FixEndValues(RunSettings& rs) {
  const auto fix = [](uint16_t& value, uint16_t unset) {
    if (value == 0) value = unset;
  };
  fix(rs.V, CLASSIC_MAX_V);
  fix(rs.K, CLASSIC_MAX_K);
  fix(rs.T, CLASSIC_MAX_T);
  fix(rs.M, CLASSIC_MAX_M);
  fix(rs.L, MAX_L);
}

// Combinations that make no sense together: only the output base is
// corrected, the others are left for the user to reconsider.
void WarnInconsistent(RunSettings& rs) {
  if (rs.fWriteToNewFile != 0 && rs.fDoTesting == 0)
    DualPrint("Warning: Option -e always needs also -y \n");
  if (rs.fShowSummary != 0 && rs.fShowDupeTSets == 0)
    DualPrint("Warning: Option -s always needs also -x \n");
  if ((rs.bCompressed == 1 || rs.bCompressed == 2) && rs.usOutBase != 1) {
    DualPrint("Warning: for compressed output -p can have the value 1 only.\n");
    rs.usOutBase = 1;
  }
  if (rs.fNoRedundTesting != 0 &&
      (rs.fForceTestingIfRedund != 0 || rs.fWriteNonRedundantsToFile != 0))
    DualPrint("Warn: arg mismatch: -y3 disables -y2 and -c ...\n");
}

// --output names the one file of -e or -c: without either it would silently
// do nothing, and an empty name names no file.
void CheckOutputOption(const RunSettings& rs) {
  if (rs.szOutputFile.empty()) {
    DualPrint("Err: --output needs a file name, as in --output=FILE.\n");
    ErrExit(1);
  }
  if (rs.fWriteToNewFile == 0 && rs.fWriteNonRedundantsToFile == 0) {
    DualPrint("Err: --output names the file that -e or -c writes; give -e or -c.\n");
    ErrExit(1);
  }
  if (rs.fTestAll != 0 || rs.fCDsOnly != 0) {
    DualPrint("Err: --output names one file; the batch modes write one per design.\n");
    ErrExit(1);
  }
}

// A share is a share of the complete pass of one design: the sampled
// passes and the modes that run many designs have none, and what needs the
// whole test (a file that passed, a reduction, the redundant blocks, the
// t-subsets above l, the draw profile, a test at all) is not a share's.
void CheckPartOption(const RunSettings& rs) {
  const struct {
    bool asked;
    const char* option;
  } wholeOnly[] = {{rs.fWriteToNewFile != 0, "-e"}, {rs.fWriteNonRedundantsToFile != 0, "-c"},
                   {rs.fReduce != 0, "--reduce"},   {rs.fProfile != 0, "--profile"},
                   {rs.fShowRedundants != 0, "-d"}, {rs.fShowDupeTSets != 0, "-x"},
                   {rs.fDoTesting == 0, "-y-"}};
  for (const auto& w : wholeOnly)
    if (w.asked) {
      DualPrint("Err: --part tests one share of the design; %s needs the whole test.\n", w.option);
      ErrExit(1);
    }
  if (rs.ulSkipperLow != 0) {
    DualPrint("Err: --part shares the complete pass; it takes no -q%lu.\n",
              static_cast<unsigned long>(rs.ulSkipperLow));
    ErrExit(1);
  }
  if (rs.fFindDesignParams != 0 || rs.fTestAll != 0 || rs.fCDsOnly != 0 || rs.fMerge != 0 ||
      rs.fProve != 0) {
    DualPrint(
        "Err: --part shares the test of one design; it goes with no -z2, batch mode or --merge.\n");
    ErrExit(1);
  }
}

// Standard output carries one thing: the certificates of --json (or of a
// share), or a design (--output=-, the dump of -D), never both mixed.
void CheckStandardOutput(const RunSettings& rs) {
  if (rs.fJson == 0 || !rs.szJsonFile.empty()) return;
  if (rs.szOutputFile == STDIN_NAME) {
    DualPrint("Err: --json and --output=- both write to standard output; give one of them a "
              "file (--json=FILE or --output=FILE).\n");
    ErrExit(1);
  }
  if (rs.fDumpToStdout != 0) {
    DualPrint("Err: --json writes to standard output, where -D would dump the design; give "
              "--json=FILE.\n");
    ErrExit(1);
  }
}

// Several design files are run one after another with the same options;
// what belongs to one design alone cannot be asked for all of them.
void CheckSeveralDesigns(const RunSettings& rs) {
  if (rs.fFindDesignParams != 0) {
    DualPrint("Err: -z2 searches the parameters of one design file; give one.\n");
    ErrExit(EXIT_USAGE);
  }
  if (!rs.szOutputFile.empty()) {
    DualPrint("Err: --output names the file of one design; give one design file, or leave "
              "--output out to name each new file by its parameters.\n");
    ErrExit(EXIT_USAGE);
  }
  if (rs.ulPartCount != 0) {
    DualPrint("Err: --part shares the test of one design; give one design file.\n");
    ErrExit(EXIT_USAGE);
  }
}

void ShowScreen(char letter, const RunSettings& rs) {
  switch (letter) {
  case '?':
  case 'H':
  case 'h': ShowHelp(rs); break;
  case 'i': ShowTechInfo(rs); break;
  case 'j': ShowHistory(rs); break;
  case 'n': ShowDefinitions(rs); break;
  default: break;
  }
}

} // namespace

OptionValue ScanOptionValue(const char* afterLetter) {
  const char* p = afterLetter;
  while (*p != '\0' && !IsDigit(*p) && *p != '-' && *p != '+' && *p != ' ') ++p;
  if (*p == '-') return {'0', 0, "0"};
  if (!IsDigit(*p)) return {'1', 1, "1"}; // end of the argument, a blank or '+'
  const char* digits = p;
  while (IsDigit(*p)) ++p;
  return {*digits, LeadingDecimal(digits, UINT64_MAX),
          std::string_view(digits, static_cast<size_t>(p - digits))};
}

void EchoCmdline(int argc, const char* const* argv) {
  DualPrint("\rCmdline: %s ", PROGRAM_NAME);
  for (int i = 1; i < argc; ++i) DualPrint("%s ", argv[i]);
  DualPrint("\n");
}

EarlyRequests ScanEarlyRequests(int argc, const char* const* argv) {
  EarlyRequests early;
  bool jsonFile = false, part = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i] != nullptr ? argv[i] : "";
    if (std::strcmp(arg, END_OF_OPTIONS) == 0) break; // file names follow
    if (std::strcmp(arg, "--version") == 0) early.version = true;
    if (EqualsNoCase(arg, "--help")) early.help = true;
    if (std::strcmp(arg, "--quiet") == 0) early.quiet = true;
    if (const char* value = LongOptionValue(arg, "--output", i, argc, argv))
      early.designToStdout = std::strcmp(value, STDIN_NAME) == 0;
    if (std::strcmp(arg, "--json") == 0 || std::strcmp(arg, "--json=-") == 0)
      early.certificatesToStdout = true;
    if (std::strncmp(arg, "--json=", 7) == 0 && std::strcmp(arg, "--json=-") != 0) jsonFile = true;
    if (std::strncmp(arg, "--part", 6) == 0) part = true;
  }
  // A share writes its certificate; without a file named, to standard output.
  if (part && !jsonFile) early.certificatesToStdout = true;
  return early;
}

bool ParseOptions(int argc, const char* const* argv, RunSettings& rs) {
  EchoCmdline(argc, argv);
  rs.szCommand = "kovra";
  for (int i = 1; i < argc; ++i) rs.szCommand.append(" ").append(argv[i] != nullptr ? argv[i] : "");
  rs.szDesignFile.clear();
  ParseState st;

  if (argc <= 1) {
    RequestScreen(st, 'h', 1);
  } else {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
      const char* arg = argv[i] != nullptr ? argv[i] : "";
      // After "--" every argument is a file name, even one that starts
      // with '-' or '/'.
      if (!optionsEnded && std::strcmp(arg, END_OF_OPTIONS) == 0) {
        optionsEnded = true;
        continue;
      }
      if (optionsEnded) {
        AddFileName(rs, arg);
        continue;
      }
      if (std::strcmp(arg, "--version") == 0 || std::strcmp(arg, "--quiet") == 0) continue;
      if (std::strcmp(arg, "--profile") == 0) {
        rs.fProfile = 1;
        continue;
      }
      // --json alone (no next argument is taken: a design file may follow).
      if (std::strcmp(arg, "--json") == 0 || std::strncmp(arg, "--json=", 7) == 0) {
        rs.fJson = 1;
        rs.szJsonFile = arg[6] == '=' && std::strcmp(arg + 7, STDIN_NAME) != 0 ? arg + 7 : "";
        continue;
      }
      // --output: the name a new design file gets instead of one its
      // parameters make, for designs no name scheme can carry and for
      // scripts that choose their names.
      if (const char* value = LongOptionValue(arg, "--output", i, argc, argv)) {
        st.outputGiven = true;
        rs.szOutputFile = value;
        continue;
      }
      if (const char* value = LongOptionValue(arg, "--memory", i, argc, argv)) {
        ApplyMemoryOption(rs, value);
        continue;
      }
      if (const char* value = LongOptionValue(arg, "--threads", i, argc, argv)) {
        ApplyThreadsOption(rs, value);
        continue;
      }
      if (const char* value = LongOptionValue(arg, "--part", i, argc, argv)) {
        ApplyPartOption(rs, value);
        continue;
      }
      if (std::strcmp(arg, "--merge") == 0) {
        rs.fMerge = 1;
        continue;
      }
      if (std::strcmp(arg, "--reduce") == 0) {
        rs.fReduce = 1;
        continue;
      }
      if (std::strcmp(arg, "--prove") == 0) {
        rs.fProve = 1;
        continue;
      }
      if (std::strcmp(arg, "--canonical") == 0) {
        rs.fCanonical = 1;
        continue;
      }
      if (std::strcmp(arg, "--isomorphic") == 0) {
        rs.fIsomorphic = 1;
        continue;
      }
      if (const char* value = LongOptionValue(arg, "--time-limit", i, argc, argv)) {
        ApplyTimeLimitOption(rs, value);
        continue;
      }
      if (std::strncmp(arg, "--", 2) == 0 && !IsHelpAlias(arg)) UnknownLongOption(arg);
      const char* option = IsHelpAlias(arg) ? "-h" : arg;
      if (!IsOptionArgument(option)) {
        AddFileName(rs, arg);
        continue;
      }
      ApplyOption(rs, st, arg, option, i == 1);
    }
  }

  FixEndValues(rs);
  if (rs.fUseNewFNameScheme != 0) {
    rs.fUseL_InOldStyleFNames = 0;
    if (rs.fToSysDir != 0) ErrExit(21, "ToSysdir and FName3 xor...\n");
  }
  if (!rs.designFiles.empty()) rs.szDesignFile = rs.designFiles.front();
  const bool filesGiven = !rs.szDesignFile.empty() || !rs.isomorphicFiles.empty();
  rs.fParamsGiven = (filesGiven && st.paramMarked) ? 1 : 0;
  if (st.outputGiven) CheckOutputOption(rs);
  CheckStandardOutput(rs);
  if (rs.designFiles.size() > 1) CheckSeveralDesigns(rs);
  if (rs.ulPartCount != 0) CheckPartOption(rs);
  WarnInconsistent(rs);

  if (st.screenCount == 0) return true;
  for (int i = 0; i < st.screenCount; ++i) ShowScreen(st.screens[i], rs);
  WaitKey(rs.fBatchMode != 0);
  ShowNotice(rs);
  return false;
}

} // namespace kovra
