// The run settings filled from the command line, and the parameters it gave.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kovra {

// The parameters of a covering design C(v,k,t,m,l), always in this order.
// Every record that carries them (the run settings, the parameters given on
// the command line, a design, the loader's values, the engine's context)
// holds them as this one value, its first base, so they pass from one record
// to another in one assignment.
struct DesignParams {
  uint16_t v = 0; // points
  uint16_t k = 0; // points per block
  uint16_t t = 0; // points a block must share with an m-subset
  uint16_t m = 0; // size of the subsets to cover
  uint16_t l = 0; // blocks each m-subset must meet (lambda)
};

// The parameters part of a record, for copying them as one value:
// ParamsOf(sys) = ParamsOf(rs).
inline DesignParams& ParamsOf(DesignParams& r) { return r; }
inline const DesignParams& ParamsOf(const DesignParams& r) { return r; }

// The design parameters given on the command line (0 = not given). Every
// design run copies it into its Sys before loading.
struct CmdGiven : DesignParams {
  uint16_t usFileBase = 1; // base the file was found in (set by the reader)
};

// Clears every field but the file base, which becomes 1.
inline void ResetCmdGiven(CmdGiven& g) { g = CmdGiven{}; }

// One record for the whole process; the option parser fills it, and only the
// entry, the design run, the analysis setup, the batch modes and the parameter
// search change it afterwards. Field names are the ones the -i screen prints.
//
// The parameters, within the limits of base/limits.hpp: -v points, >= k
// (checked by the run), default 49; -k block size, 6; -t match size, 3; -m
// covered subset size, 6; -l lambda, 1..255, 1.
struct RunSettings : DesignParams {
  RunSettings() : DesignParams{49, 6, 3, 6, 1} {}
  uint32_t b = 0;                             // blocks of the design last loaded
  uint16_t V = 0, K = 0, T = 0, M = 0, L = 0; // end values (-V -K -T -M -L), fixed up after parsing
  uint32_t B = 0;                             // -B end value of b; shown by -i only
  uint16_t usInBase = 1;                      // -a first point number of input files, 0..201
  uint8_t fInBaseGiven = 0;                   // -a appeared
  uint16_t usOutBase = 1;                     // -p first point number of written files, 0..201
  uint8_t fShowSummary = 0;                   // -s coverage summary (needs -x)
  uint32_t ulMaxReport = 15;                  // -r progress lines per pass, 1..2147483647
  uint32_t ulMaxLosing = 1;                   // -o stop after this many losing combinations
  uint8_t fDoTesting = 1;                     // -y run the coverage test
  uint8_t fShowDupeTSets = 0;                 // -x list t-subsets covered more than l times
  uint8_t fShowRedundants = 0;                // -d print each redundant block
  uint8_t fWriteNonRedundantsToFile = 0;      // -c write the reduced design
  uint8_t fWriteToNewFile = 0;                // -e write a verified copy
  uint8_t fBatchMode = 0;                     // -h2 no key prompts
  uint8_t fSortOutput = 0;                    // -w sort blocks before writing plain text
  uint8_t fUseL_InOldStyleFNames = 1;         // -f1/-f0 old-style names carry the digit of l
  uint8_t fUseNewFNameScheme = 0;             // -f2 base-36 names
  uint8_t bCompressed = 0;                    // -g 0 plain, 1 ctext, 2 cbin, 3 XML (written only)
  uint8_t fComprUseExp = 1;                   // -N repeat sign in compressed output
  uint32_t ulComprAvgLineLen = 64;            // -G ctext line length, 32..224
  uint8_t fDoIdCreate = 1;                    // no option; shown by -i
  uint16_t usMskSeperatorline = 0;            // -A bit 0 line before, bit 1 line after a design
  uint8_t fForceTestingIfRedund = 0;          // -y2 test under -y- when redundant blocks were found
  uint8_t fCloseGaps = 0;                     // -z renumber points densely while loading
  uint8_t fFindDesignParams = 0;              // -z2 parameter search
  uint8_t fSkipCompleteDesigns = 0;           // -S skip designs with t = m = k
  uint32_t ulSkipperHigh = 7;                 // -Q first skipper pass, 0..25
  uint8_t fSkipperHighGiven = 0; // -Q appeared (wide designs default to the -q pass alone)
  uint32_t ulSkipperLow = 0;     // -q last skipper pass, 0..5; 0 tests every combination
  uint8_t fNoRedundTesting = 0;  // -y3 accept every block
  uint8_t fOverwrite = 0;        // -O a new file may replace an existing one
  uint8_t fDumpToStdout = 0;     // -D dump to standard output when no file can be made
  uint8_t fCDsOnly = 0;          // -u1 internal: CDsOnly batch mode
  uint8_t fToSysDir = 0;         // -u2 internal: write into the system tree
  uint8_t fTestAll = 0;          // -u3 internal: TestAll batch mode
  uint8_t fInternalOptions = 0;  // internal mode switched on by the first argument
  std::string szDesignFile;      // the design file of the run; empty = none
  std::string szDisplayName;     // the name the run's messages give it, when not its own
  std::string szOutputFile;      // --output: the file -e or -c writes; empty = named by the scheme
  uint64_t ulMemoryBound = 0;    // --memory: bytes the large arrays may take; 0 = a quarter of RAM
  uint8_t fCountAllLosing = 1;   // count every losing m-set (the search needs the verdict only)
  uint8_t fJson = 0;             // --json[=FILE]: a certificate per design
  std::string szJsonFile; // its file; empty = standard output (the log then goes to standard error)
  uint8_t fProfile = 0;   // --profile: the draw profile
  uint32_t ulThreads = 0; // --threads: 1..1024; 0 = every processor this process may use
  uint32_t ulPartIndex = 0; // --part=I/N: the run does share I of N of the test
  uint32_t ulPartCount = 0; // 0: the whole test
  uint8_t fMerge = 0;       // --merge: the file names are certificates of parts
  uint8_t fReduce = 0;      // --reduce: leave out every block the design does not need
  std::vector<std::string> mergeFiles;
  // Every design file given, in order: each is run in turn.
  std::vector<std::string> designFiles;
  uint8_t fProve = 0;          // --prove: the proof search decides, whatever a walk would take
  uint32_t ulTimeLimit = 600;  // --time-limit: seconds the test of a design may take, 0 = none
  uint8_t fTimeLimitGiven = 0; // --time-limit appeared (a share has no limit without it)
  uint8_t fCanonical = 0;  // --canonical: the canonical form's hash, the automorphisms, the orbits
  uint8_t fIsomorphic = 0; // --isomorphic: the file names are two designs to compare
  std::vector<std::string> isomorphicFiles;
  uint32_t ulDesignIndex = 0;        // which design of a file that holds several (XML), from 0
  std::string szCommand;             // the command line as given, for the certificate
  std::FILE* certificates = nullptr; // where the certificates go (not owned; set by the entry)
  uint8_t fParamsGiven = 0;          // a file name and one of -v -k -t -m -l were given
  uint8_t fCandidates = 0;           // the runs are candidates of the parameter search
  uint8_t fRunNewFNameScheme = 0;    // per-run copy of -f2 read by the file-name check
  CmdGiven given;                    // the parameters given on the command line
};

} // namespace kovra
