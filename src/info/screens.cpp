// The information screens: help, technical information, version history,
// mathematical definitions and the closing notice.
#include "info/screens.hpp"

#include "base/console.hpp"
#include "base/keyboard.hpp"
#include "base/limits.hpp"
#include "base/version.hpp"

#include <cstdint>

namespace kovra {
namespace {

// The screens print their numbers with %hu and %lu; these make every
// argument exactly the type its conversion expects.
unsigned short Hu(unsigned value) { return static_cast<unsigned short>(value); }
unsigned long Lu(uint32_t value) { return value; }

// clang-format off
// Every text below is printed as it stands; keeping each on one line lets a
// grep for a message find it.

// How this program is built and what it runs on (the -i screen).
constexpr const char* kImplementationLines =
    "  Written in C++20 with the JSON for Modern C++ headers, OpenSSL's\n"
    "  libcrypto (the certificate's SHA-256) and the CaDiCaL SAT solver (the\n"
    "  proof search); a console program whose walks and scans run on every\n"
    "  processor it may use (--threads), with the same output on any number,\n"
    "  built and tested on Linux/x86-64 with g++ 12 and clang 14.\n"
    "  Designs with v <= 54 and k, t, m <= 7 are verified on one\n"
    "  byte counter per t-subset of the points, allocated at once: at most\n"
    "  C(54,7) = 177100560 bytes. Larger designs, up to v = 1024, k = 32, t = 8\n"
    "  and m = 20, get a bit or a byte per t-subset as long as these fit the\n"
    "  memory bound (--memory=SIZE, a quarter of the physical memory by\n"
    "  default), and are counted one range of t-subsets at a time beyond it.\n"
    "  An m-set counts as covered when l blocks meet it in t or more points;\n"
    "  where l > 1 or the design is large, the m-sets are walked on the\n"
    "  blocks themselves, and a walk estimated to take more than 10 seconds\n"
    "  is announced with its estimate; beyond a minute a proof search looks\n"
    "  for one losing m-set instead (--prove, --time-limit).\n";

// The speed paragraph of the -i screen: whole runs measured with the release
// build (means of 50 runs; the engine benchmark gives the C(54,7,3,7) pass).
// A last pass above 0 skips combinations and so cannot prove a covering.
constexpr const char* kSpeedText =
    "Speed:\n"
    "  Whole runs of 4901683a.616 (load, analysis and test) with the release\n"
    "  build of this version on a 2-core x86-64 Linux machine:\n"
    "    default passes 7..0, the last one complete        about 10 ms\n"
    "    complete pass alone, all 13983816 6-sets (-Q0)    about 6 ms\n"
    "    sampled passes 7..3 only (-q3), not conclusive    about 3 ms\n"
    "  On the same machine a complete test of a C(54,7,3,7) design, all\n"
    "  177100560 7-sets, takes about 40 ms, and the Steiner system S(48,6,5)\n"
    "  (285384 blocks, m = t = 5) about 0.13 s, nearly all of it loading.\n"
    "  Designs with m = t always test faster than designs with m > t: for\n"
    "  m = t the test only scans one counter per t-subset, for m > t it walks\n"
    "  the m-subsets of the points.\n";

// The compression example of the -i screen, measured on the S(48,6,5) that
// tools/make_s5648 builds.
constexpr const char* kCompressionExample =
    "  Example: the Steiner system S(48,6,5) with 285384 blocks:\n"
    "    plain text                               5137160 bytes\n"
    "    compressed text (-g1)                     861457 bytes\n"
    "    compressed binary (-g2)                   289157 bytes, 8.1 bits/block\n"
    "    general-purpose archivers at their best   991999 and 595944 bytes\n"
    "  Neither file-name scheme can name it (b > 46655), so to get it back as\n"
    "  plain text give the name yourself:\n"
    "    KOVRA <file> -e --output=S4865.TXT\n";

// The release table and the notes of the -j screen, before its key prompt.
constexpr const char* kReleaseTable =
    "961209MoKD  1.23 r  First release of KOVRA: verifies covering designs\n"
    "                    C(v,k,t,m,l,=b) with v <= 54 and k,t,m <= 7, detects\n"
    "                    and removes redundant blocks, converts between plain\n"
    "                    text, compressed text (-g1) and compressed binary (-g2),\n"
    "                    names new files by their parameters (-f0, -f1, -f2) and\n"
    "                    finds the parameters a bare block list satisfies (-z2).\n"
    "\nKnown faults and limitations:\n"
    "  - v <= 1024, k <= 32, t <= 8, m <= 20 and l <= 255 are compiled in.\n"
    "  - The compressed formats hold ranks in 32 bits: designs with C(v,k)\n"
    "    of 2^32 or more are written and read as plain text only; compressed\n"
    "    binary holds v <= 255.\n"
    "  - Old-style file names exist only for v <= 99, b <= 9999 and one-digit\n"
    "    k, t, m, l; new-style names only for b <= 46655 (see -i).\n"
    "  - A running test cannot be interrupted except by ending the program.\n"
    "\nPlanned:\n"
    "  - Stopping a long test with ESC.\n"
    "\nComments, bug reports and suggestions are welcome: please file them in\n"
    "the issue tracker of the KOVRA project.\n";

// The files of the distribution (the -j screen, after its key prompt).
constexpr const char* kDistributionFiles =
    "Files of the distribution:\n"
    "  README.md             what KOVRA is, how to build it and how to use it\n"
    "  kovra                 the program\n"
    "  kovra.1               the manual page\n"
    "  C_DECODE.TXT          the ID line and the compressed formats explained\n"
    "  samples/4901683a.616  the sample covering C(49,6,3,6,1,=168)\n"
    "  samples/4901683a.6a6  the same covering, compressed\n";

// The literature note of the -n screen, after its key prompt.
constexpr const char* kLiterature =
    "Literature:\n"
    "  - Handbooks of combinatorial designs: definitions, existence results\n"
    "    and tables of t-designs, Steiner systems and coverings.\n"
    "  - Survey papers on covering numbers and their lower and upper bounds.\n"
    "  - Papers on upper bounds and constructions of coverings (direct,\n"
    "    recursive and computer-search constructions) and on lottery wheels.\n"
    "  - Tables of the best known coverings, many of them with the designs\n"
    "    themselves; they and many of the recent papers are available online.\n";

// The --help screen: what a user of other command-line tools looks for
// first, the long options, one line each.
constexpr const char* kLongHelp =
    "Usage: kovra FILE... [options]    check, reduce or convert each design in turn\n"
    "       kovra FILE -z2 [-Tn] [-Mn]  find the strongest parameters of a block list\n"
    "       kovra --merge FILE...       one verdict from the shares of --part\n"
    "       kovra --isomorphic A B      compare two designs up to relabelling\n"
    "\n"
    "Long options:\n"
    "  --help               this list (status 0)\n"
    "  --version            the version and the copyright (status 0)\n"
    "  --quiet              print only errors, warnings and verdicts\n"
    "  --output=FILE        the file -e or -c writes (- for standard output)\n"
    "  --json[=FILE]        a JSON certificate line per design (no FILE: stdout)\n"
    "  --profile            the draw profile: the best block for every m-set\n"
    "  --reduce             leave out every block the design does not need\n"
    "  --prove              decide the test by the proof search, not a walk\n"
    "  --time-limit=SECONDS how long the test of a design may take (600; 0: none)\n"
    "  --memory=SIZE        room for the large arrays, as 512M or 4G (1/4 of RAM)\n"
    "  --threads=N          threads, 1..1024 (default: every usable processor)\n"
    "  --part=I/N           run share I of N of the complete pass as a certificate\n"
    "  --merge FILE...      check the shares 1..N of one design, print the verdict\n"
    "  --canonical          the canonical form's sha256, automorphisms, point orbits\n"
    "  --isomorphic A B     are two designs the same up to relabelling? (a point map)\n"
    "  --                   end of the options: every argument after it is a file\n"
    "\n"
    "Short options (-v49 -k6 -t3 -m6 -l1, -e, -c, -d, -z2, ...): kovra -h lists\n"
    "them with their current values. Exit status: 0 OK, 1 FAIL or a design not\n"
    "read, 4 an output not written, 5 undecided, 64 a usage error; man kovra\n"
    "describes them all.\n";

// clang-format on

} // namespace

void ShowLongHelp() { DualPrint("%s", kLongHelp); }

void ShowHelp(const RunSettings& rs) {
  // clang-format off
  DualPrint("\n%s Help (-h):\n----------------\n", PROGRAM_NAME);
  DualPrint("Usage: %s <fname>... [options]   (each design in turn; -- ends the options)\n", PROGRAM_NAME);
  DualPrint("Options are cAsE sensitive and of the format '-|/variable[[[=|:]value]|-|+]'\n");
  DualPrint("where '-' means 0 and '+' means 1, which is normally the default if not \nspecified. Some vars are 'overloaded'.\n");
  DualPrint("\nValid variables and their meanings, ranges, current values:\n");
  DualPrint("  -v  total numbers in the design (1..%hu=%hu)\n", Hu(MAX_V), Hu(rs.v));
  DualPrint("  -k  block size (1..%hu=%hu)\n", Hu(MAX_K), Hu(rs.k));
  DualPrint("  -t  min match t    (t of m) (1..%hu=%hu)\n", Hu(MAX_T), Hu(rs.t));
  DualPrint("  -m  min match of m (t of m) (1..%hu=%hu)\n", Hu(MAX_M), Hu(rs.m));
  DualPrint("  -l  lambda (min l times t of m) (1..%hu=%hu)\n", Hu(MAX_L), Hu(rs.l));
  DualPrint("  -b  nbr of blocks (>0=%lu will be filled from file)\n", Lu(rs.b));
  DualPrint("  -V,-K,-T,-M,-L,-B: end values for v,k,t,m,l,b\n");
  DualPrint("  -a  input base  (%hu..%hu=%hu)\n", Hu(0), Hu(MAX_BASE), Hu(rs.usInBase));
  DualPrint("  -p  output base (%hu..%hu=%hu)\n", Hu(0), Hu(MAX_BASE), Hu(rs.usOutBase));
  DualPrint("  -s  show summary [needs also -x] (=%hu)\n", Hu(rs.fShowSummary));
  DualPrint("  -o  max losing lines (>0=%lu)\n", Lu(rs.ulMaxLosing));
  DualPrint("  -r  max report lines (>0=%lu)\n", Lu(rs.ulMaxReport));
  DualPrint("  -x  show dupe t-sets list (=%hu)\n", Hu(rs.fShowDupeTSets));
  DualPrint("  -d  show redundancy list (=%hu)\n", Hu(rs.fShowRedundants));
  DualPrint("  -O  overwrite (cf. -c,-e), if same filename exists (=%hu)\n", Hu(rs.fOverwrite));
  DualPrint("  -D  if can't create file, dump to stdout (=%hu)\n", Hu(rs.fDumpToStdout));
  DualPrint("  --output=FILE  the file -c or -e creates, any size (cf. -O, -g)\n");
  DualPrint("  --memory=SIZE  room for the large arrays, as 512M or 4G (default: 1/4 of RAM)\n");
  DualPrint("  --help  lists every long option (--json, --reduce, --threads, --quiet, ...)\n");
  DualPrint("  -w  sort the new sysfile it's going to create [cf. -c, -e] (=%hu)\n", Hu(rs.fSortOutput));
  DualPrint("  -c  create sysfile with ID if redund. blks found (=%hu)\n", Hu(rs.fWriteNonRedundantsToFile));
  DualPrint("  -e  create sysfile with ID (ie. copy) [needs also -y]  (=%hu) \n", Hu(rs.fWriteToNewFile));
  DualPrint("  -y  verify the design (default)  [cf. -e, -c and -d]  (=%hu)\n", Hu(rs.fDoTesting));
  DualPrint("  -h2 batch mode (no keyboard requests)  (=%hu)\n", Hu(rs.fBatchMode));
  DualPrint("  -f0 oldstyle fnames for create (uses 'a' for compatibility) (=%hu)\n", Hu(rs.fUseL_InOldStyleFNames == 0 ? 1 : 0));
  DualPrint("  -f1 oldstyle fnames for create (uses val(l) instead of 'a') (=%hu)\n", Hu(rs.fUseL_InOldStyleFNames));
  DualPrint("  -f2 newstyle fnames for create (base-36 fname)              (=%hu)\n", Hu(rs.fUseNewFNameScheme));
  DualPrint("  -g  compressed i/o [0=none,1=ctext,2=cbin,3=xml] (0..3=%hu)\n", Hu(rs.bCompressed));
  DualPrint("  -N  use exp sign (^), ie. RLE, in compressed outputs (=%hu)\n", Hu(rs.fComprUseExp));
  DualPrint("  -G  set avg linelength for textcompression (-g1) (32..%hu=%lu)\n", Hu(MAX_CLL), Lu(rs.ulComprAvgLineLen));
  DualPrint("  -A  seperator line [0=none,1=top,2=bottom,3=both] (0..3=%hu)\n", Hu(rs.usMskSeperatorline));
  DualPrint("  -y2 conditional verify [overrides -y- if redundants found] (=%hu)\n", Hu(rs.fForceTestingIfRedund));
  DualPrint("  -z  close gaps (ie. nbrs have gaps between them) (=%hu)\n", Hu(rs.fCloseGaps));
  DualPrint("  -z2 find design params from scratch. -T and -M should be set too. (=%hu)\n", Hu(rs.fFindDesignParams));
  DualPrint("  -S  skip complete designs, ie. m=t=k  (=%hu) \n", Hu(rs.fSkipCompleteDesigns));
  DualPrint("  -Q  skipperHigh (0..25=%lu)\n", Lu(rs.ulSkipperHigh));
  DualPrint("  -q  skipperLow  (0...5=%lu, 0 = test every combination)\n", Lu(rs.ulSkipperLow));
  DualPrint("  -y3 no redundancy testing (=%hu)\n", Hu(rs.fNoRedundTesting));
  if (rs.fInternalOptions != 0) {
    DualPrint("  -u1 CDsOnly  (=%hu) \n", Hu(rs.fCDsOnly));
    DualPrint("  -u2 ToSysDir (=%hu) \n", Hu(rs.fToSysDir));
    DualPrint("  -u3 TestAll  (=%hu) \n", Hu(rs.fTestAll));
  }
  DualPrint("  -i  shows technical info: min, max, def settings and limits, and quits\n");
  DualPrint("  -j  shows version history, and quits\n");
  DualPrint("  -n  shows mathematical definitions and references, and quits\n");
  DualPrint("  -h,-H,-?,--h  shows this help, and quits\n");
  DualPrint("\nv,k,t,m,l should always be given if file does not have an ID line.\n");
  DualPrint("(for files with an ID line it's sufficient to give the fname only)\n");
  WaitKey(rs.fBatchMode != 0);
  DualPrint("Examples:\n");
  DualPrint("  %s file                      (tests a file with an ID line in it)\n", PROGRAM_NAME);
  DualPrint("  %s file -t3 -m4 -l1          (overrides t,m,l of a present ID line)\n", PROGRAM_NAME);
  DualPrint("  %s file -v49 -k6 -t3 -m6 -l1 -z      (tests a file with no ID line)\n", PROGRAM_NAME);
  DualPrint("  %s file -e                   (copy uncompressed)\n", PROGRAM_NAME);
  DualPrint("  %s file -e -g1               (copy compressed text)\n", PROGRAM_NAME);
  DualPrint("  %s file -e -g2               (copy compressed binary)\n", PROGRAM_NAME);
  DualPrint("  %s -h2 -h -i -j -n           (dump all info; can be redirected)\n", PROGRAM_NAME);
  if (rs.fInternalOptions != 0) {
    DualPrint("  %s -u1 -u2 -e -O -g2 -f- -h2 -v3 -k3 -t3 -m3 -K3 (CompressCD)\n", PROGRAM_NAME);
    DualPrint("  %s -u3 -v1 -k1 -t1 -m1 -h2 -c -f-                (TestAll) \n", PROGRAM_NAME);
    DualPrint("  %s -u3 -v3 -k3 -t2 -m2 -h2 -c -f- -S -y- -y2 -K0 (RedundsFind)\n", PROGRAM_NAME);
  }
  DualPrint("\nTo convert files without ID all design parameters and -e must be given:\n");
  DualPrint("  %s file -v12 -k6 -t3 -m3 -l1 -a1 -e \n", PROGRAM_NAME);
  DualPrint("  (additionally use -Q5 -q5 -c -g2 to create compressed version)\n");
  DualPrint("\nTo test all files with ID, placed in an own directory, I use the command\n");
  DualPrint("  FOR %%i IN (?\?\?\?\?\?\?a.?\?\?) DO %s -h2 -c -A1 %%i >>MY.LOG \n", PROGRAM_NAME);
  DualPrint("and analyze MY.LOG later for any of the words \"Err\", \"FAIL\", \"Warn\"...\n");
  DualPrint("\nTo quick look for redundants in all files with ID, placed in an own directory:\n");
  DualPrint("  FOR %%i IN (?\?\?\?\?\?\?a.?\?\?) DO %s -h2 -c -y- -y2 -A1 %%i >>MY.LOG \n", PROGRAM_NAME);
  DualPrint("(this does the required testing (for -c) conditionally: ie. only in case\nof redundants; therefore it's faster...)\n");
  DualPrint("\nIf not much is known of the parameters, try the following:\n");
  DualPrint("  %s file -z2 -A2 -S -T5 -M6 >MY.LOG \n", PROGRAM_NAME);
  DualPrint("(this will work downwards from 'highest' to 'lowest' T and M. But\nwill NOT write the results it finds to files; do it yourself\nthe normal way by giving the just found params...)\n");
  DualPrint("\nTo find the 'best' params for the file <1100663a.345>:\n");
  DualPrint("  %s 1100663a.345 -z2 -A2          and further finetune with:\n", PROGRAM_NAME);
  DualPrint("  %s 1100663a.345 -z2 -A2 -M4      and further finetune with:\n", PROGRAM_NAME);
  DualPrint("  %s 1100663a.345 -z2 -A2 -T3 -M3  etc...\n", PROGRAM_NAME);
  DualPrint("(As you can see there are multiple satisfying params. You have\nto compare against known or expected bounds; cf. lists...)\n");
  DualPrint("\n");
  DualPrint("o To verify files with no ID line use the third example above (for\n");
  DualPrint("  the meaning of v,k,t,m,l see the mathem. definitions under -n).\n");
  DualPrint("o Use -z2 if you want detect the best (highest) design parameters.\n  also use this if nothing is known about the parameters of the design.\n  Fine-tune with -T and -M (ie. re-run with lower -T, -M)...\n");
  DualPrint("o Use -z to close gaps (ie. convert back to a based design scheme);\n  the points are still printed by the file's numbers (the mapping is shown).\n");
  DualPrint("o Use -f0, -f1 and -f2 to create 3 different filenames for the same design.\n");
  DualPrint("o To use bases other than the default (=1) see -p and -a (but: \n  for compressed output (-g) it uses always 1)\n");
  DualPrint("o Overriding a present ID line can be done by giving the t,m,l options,\n  or in case of textfile by simply removing or commenting out the ID \n  line (not recommended!) and giving all params via cmdline.\n");
  DualPrint("o Noncompressed text files must contain blocks with k nbrs / line, \n  separated by blanks, TABs, commas, semicolons or slashes, in brackets\n  or not; JSON and GAP lists of blocks are read too.\n");
  DualPrint("o The input design does not need be sorted. The output files\n  can be sorted with the -w option (not required if -g used).\n");
  DualPrint("o Comment chars are: '#' and ';' (but ';' between two digits separates\n  them). A line among the blocks that is neither a block nor a comment\n  stops the run (status 14): nothing is ignored without a word.\n");
  DualPrint("o Redundant blocks will be detected and shown (see -d -c -i).\n");
  DualPrint("o Fastest way to detect missing combinations: -Q25 \n");
  DualPrint("o To skip full testing (for converting, compressing etc.) use -Q5 -q5 \n");
  DualPrint("o Currently, best compression is achieved with -e -g2 -N \n");
  DualPrint("o ReturnCodes: 0 OK, 1 FAIL or design not read (-z2: 1 = params found),\n  4 output not written, 5 undecided, 2 3 6-8 11-14 bad file or memory,\n  64 usage; several designs: the worst (error, 1, 5, 4, 0). See man kovra.\n");
  DualPrint("\nSee also -i, -j, -n \n");
  // clang-format on
}

void ShowTechInfo(const RunSettings& rs) {
  // clang-format off
  DualPrint("\n%s Technical Information (-i):\n---------------------------------\n", PROGRAM_NAME);
  DualPrint("%s", kImplementationLines);
  DualPrint("\nVersion: %s/32 %s %s\n", VersionText().c_str(), BuildStamp().c_str(), "(BETA RELEASE)");
  DualPrint("Date of Compile: %s %s \n", BuildDateText().c_str(), BuildTimeText().c_str());
  DualPrint("\nCompiled limits:\n");
  DualPrint("  MAX_V=%hu MAX_K=%hu MAX_T=%hu MAX_M=%hu MAX_L=%hu MAX_B=%ld\n  MAX_N=%hu Flags: %hu %hu %hu %hu \n", Hu(MAX_V), Hu(MAX_K), Hu(MAX_T), Hu(MAX_M), Hu(MAX_L), static_cast<long>(MAX_B), Hu(MAX_N), Hu(1), Hu(0), Hu(rs.fInternalOptions), Hu(1));
  DualPrint("\n");
  DualPrint("Current settings:\n");
  DualPrint("  v=%-3hu k=%-2hu t=%-2hu m=%-2hu l=%-4hu b=%lu\n", Hu(rs.v), Hu(rs.k), Hu(rs.t), Hu(rs.m), Hu(rs.l), Lu(rs.b));
  DualPrint("  V=%-3hu K=%-2hu T=%-2hu M=%-2hu L=%-4hu B=%lu\n", Hu(rs.V), Hu(rs.K), Hu(rs.T), Hu(rs.M), Hu(rs.L), Lu(rs.B));
  DualPrint("  a  usInBase=%hu\n", Hu(rs.usInBase));
  DualPrint("  p  usOutBase=%hu\n", Hu(rs.usOutBase));
  DualPrint("  s  fShowSummary=%hu\n", Hu(rs.fShowSummary));
  DualPrint("  r  ulMaxReport=%lu\n", Lu(rs.ulMaxReport));
  DualPrint("  o  ulMaxLosing=%lu\n", Lu(rs.ulMaxLosing));
  DualPrint("  y  fDoTesting=%hu\n", Hu(rs.fDoTesting));
  DualPrint("  x  fShowDupeTSets=%hu\n", Hu(rs.fShowDupeTSets));
  DualPrint("  d  fShowRedundants=%hu\n", Hu(rs.fShowRedundants));
  DualPrint("  c  fWriteNonRedundantsToFile=%hu\n", Hu(rs.fWriteNonRedundantsToFile));
  DualPrint("  e  fWriteToNewFile=%hu\n", Hu(rs.fWriteToNewFile));
  DualPrint("  h2 fBatchMode=%hu\n", Hu(rs.fBatchMode));
  DualPrint("  w  fSortOutput=%hu\n", Hu(rs.fSortOutput));
  DualPrint("  f  fUseL_InOldStyleFNames=%hu\n", Hu(rs.fUseL_InOldStyleFNames));
  DualPrint("  f2 fUseNewFNameScheme=%hu\n", Hu(rs.fUseNewFNameScheme));
  DualPrint("  g  bCompressed=%hu\n", Hu(rs.bCompressed));
  DualPrint("  N  fComprUseExp=%hu\n", Hu(rs.fComprUseExp));
  DualPrint("  G  ulComprAvgLineLen=%lu\n", Lu(rs.ulComprAvgLineLen));
  DualPrint("     fDoIdCreate=%hu\n", Hu(rs.fDoIdCreate));
  DualPrint("  A  usMskSeperatorline=%hu\n", Hu(rs.usMskSeperatorline));
  DualPrint("  y2 fForceTestingIfRedund=%hu\n", Hu(rs.fForceTestingIfRedund));
  DualPrint("  z  fCloseGaps=%hu\n", Hu(rs.fCloseGaps));
  DualPrint("  z2 fFindDesignParams=%hu\n", Hu(rs.fFindDesignParams));
  DualPrint("  S  fSkipCompleteDesigns=%hu\n", Hu(rs.fSkipCompleteDesigns));
  DualPrint("  Q  ulSkipperHigh=%lu\n", Lu(rs.ulSkipperHigh));
  DualPrint("  q  ulSkipperLow=%lu\n", Lu(rs.ulSkipperLow));
  DualPrint("  y3 fNoRedundTesting=%hu\n", Hu(rs.fNoRedundTesting));
  if (rs.fInternalOptions != 0) {
    DualPrint(" u1  fCDsOnly=%hu \n", Hu(rs.fCDsOnly));
    DualPrint(" u2  fToSysDir=%hu \n", Hu(rs.fToSysDir));
    DualPrint(" u3  fTestAll=%hu \n", Hu(rs.fTestAll));
  }
  DualPrint("\nNew algorithms:\n");
  DualPrint("  Depending on k,t,m,  internally 3 different algorithms will be used.\n");
  DualPrint("  Now with a unique output.\n");
  DualPrint("\nC(49,6,3,6,1,=168) and other enclosed sample designs; see -j for the list:\n");
  DualPrint("  The enclosed file 4901683a.616 contains this covering for testing.\n");
  DualPrint("  Since it contains an ID line, it's sufficient to use \"%s 4901683a.616\"\n", PROGRAM_NAME);
  DualPrint("  A compressed version of this can be found in the file 4901683a.6a6 \n");
  WaitKey(rs.fBatchMode != 0);
  DualPrint("%s", kSpeedText);
  DualPrint("\nID Hdr and Filename Scheme: it can read from any text file, both with or\n  without any ID Hdr in it (cf. the sample designs supplied). For automatic\n");
  DualPrint("  reading in of the design parameters from the file the \"ID\" line needs\n  to be defined at top of the file (its structure is explained in the file\n  C_DECODE.TXT; cf. also the sample design files)\n");
  DualPrint("  The old filename scheme it uses for creating new files (see -c, -e, -f) is \n  <VVBBBBTa.MLK> or <VVBBBBTa.MaK> (depending on -f) where 'a' is always \n  the letter 'a' or 'A', and the others represent v,k,t,m,l,b.\n  This scheme can and probably will change in future versions.\n");
  DualPrint("  (People wondered why it creates such 'cryptic' fnames. The reason is that\n  all parameters can be obtained without opening and scanning the file...)\n");
  DualPrint("  NEW: -f2 creates <VVKTMLLX.BBB> where all values are BASE-36 !!!\n       Limits: v=1..1295, k,t,m=1..35, l=1..1295, b=1..46655, xFlags=1..35\n");
  DualPrint("\nDual Output: even if output was redirected to file for capturing, some \n  selected info will also be shown on the screen.\n");
  DualPrint("\nLimitations:\n");
  DualPrint("  - Currently, create of new oldstyle files works only for v <= 99, k <= 9,\n    t <= 9, m <= 9, l <= 9, b <= 9999; otherwise it can be dumped to \n    stdout and redirected to a file of your own choice (option -e -c -D)\n    or use the new -f2 option for newstyle fnames described above.\n");
  DualPrint("\nCompressed Design Data in Textfiles (-g1 only):\n  Compressed data (-g1) can be sent in emails and posted to newsgroups\n  since they contain printable ascii chars only (mainly digits, comma\n  and the exp sign '^'). Line length can be set individually (see -G).\n  Consult the enclosed file C_DECODE.TXT for detailed info and source\n");
  DualPrint("  code. Most of the enclosed designs are now in compressed format.\n  Use -j to see a note on decompressing these files.\n");
  DualPrint("\nBinary Compressed Design Data in Binaryfiles (-g2):\n  So far, this option produces the shortest files. Since the data is\n  in a special binary packed format created by a new compression \n  algorithm, it must NEVER be edited or manipulated by the user or\n  other programs. Consult C_DECODE.TXT on which encoding schemes\n  currently exist (cf. -g) and how to detect which one was used.\n");
  DualPrint("%s", kCompressionExample);
  DualPrint("  The i/o routines read and write whole buffers at a time.\n");
  DualPrint("  BitsPerByte is calculated as:  \"8 * cBytes / uBytes\" where \n  uBytes for such design files is taken b*k (ie. without overhead).\n");
  DualPrint("\nSee also -h, -j, -n \n");
  // clang-format on
}

void ShowHistory(const RunSettings& rs) {
  // clang-format off
  DualPrint("\n%s Version History (-j):\n---------------------------\n", PROGRAM_NAME);
  DualPrint("EndDate     Vers r=released        Changes\n\n");
  DualPrint("%s", kReleaseTable);
  WaitKey(rs.fBatchMode != 0);
  DualPrint("%s", kDistributionFiles);
  DualPrint("\nTo decode compressed designs use the -e option, but since \n%s can handle both types, it's normally not neccessary.\n", PROGRAM_NAME);
  DualPrint("\nSee also -h, -i, -n \n");
  // clang-format on
}

void ShowDefinitions(const RunSettings& rs) {
  // clang-format off
  DualPrint("\n%s Mathematical Definitions (-n):\n------------------------------------\n", PROGRAM_NAME);
  DualPrint("A Covering Design C(v,k,t,m,l,=b) is a pair (V,B), where V is a set of\nv elements (called points) and B is a collection of b k-subsets of V \n");
  DualPrint("(called blocks), such that every m-subset of V intersects at least l \nmembers of B in at least t points. It is required that v >= k >= t and\nm >= t. The case m > k is also a valid case. B can be a multiset.\n");
  DualPrint("\nValid designs have usually v >= k >= t >= 1, m >= t, l >= 1, b >= 1\n(this implies that t never can exceed k, and that m never can be less\nthan t, and that m indeed can exceed k. Confused? :-)\n");
  DualPrint("The case t=m=k is trivial since it's the complete design.\n");
  DualPrint("\nFor coverings it's requested to optimize the value b; ie. the less\nblocks the better -> Set Covering Problem (SCP).\n");
  DualPrint("\nA t-design t-(v,k,l,=b) is an exact Covering with m = t and the least\npossible number of blocks. t-Designs do and can exist for some\nadmissable parameters only, where also some numerical neccessary\nconditions are met.\n");
  DualPrint("\nSteiner System S(v,k,t,=b) is also a t-design with usually l=1.\n");
  DualPrint("\nWheel is another name for Covering.\n");
  DualPrint("\nSo, Covering Design, as defined here, is a generalization of all the\nothers. The parameters can easily be converted back and forth...\n");
  WaitKey(rs.fBatchMode != 0);
  DualPrint("%s", kLiterature);
  DualPrint("\nSee also -h, -i, -j \n");
  // clang-format on
}

void ShowNotice(const RunSettings&) {
  // clang-format off
  DualPrint("\n%s Notice:\n-------------\n", PROGRAM_NAME);
  DualPrint("%s %s/32 %s is a beta release. It comes without any\n"
            "warranty; you use it at your own risk. Results obtained with it should\n"
            "be checked by independent means before they are published.\n",
            PROGRAM_NAME, VersionText().c_str(), BuildStamp().c_str());
  DualPrint("\nIf %s helped you to obtain results that you publish, please cite it as:\n"
            "  %s %s/32 %s, a verification and redundancy detection program\n"
            "  for covering designs.\n",
            PROGRAM_NAME, PROGRAM_NAME, VersionText().c_str(), BuildStamp().c_str());
  DualPrint("\nBug reports, questions and suggestions: the issue tracker of the %s\n"
            "project. New versions are published in the %s project's repository,\n"
            "each with its entry in the version history (-j).\n",
            PROGRAM_NAME, PROGRAM_NAME);
  // clang-format on
}

} // namespace kovra
