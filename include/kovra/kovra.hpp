// KOVRA as a library: the one door to the engine.
//
// A covering design C(v,k,t,m,l) is a list of blocks of k points out of v
// such that every m-subset of the points meets at least l blocks in at least
// t points. This header lets a program make or load a design, verify it
// (prove that it covers, or list its losing m-subsets and count them), draw
// its profile, leave out the blocks it does not need, describe it up to
// relabelling, cut its test into shares and merge them, and write the
// certificate of a run: everything the command line does, which is itself
// built on these calls.
//
// Conventions, for every call:
// - A call returns a Result: its value, or an Error with the exit status and
//   the message the command line gives for the same fault ("Err: <f> line 2:
//   5.5 is not a point number", status 14). Nothing exits the program.
// - A call prints nothing unless its Log asks for it: to the console, as the
//   command line prints, or to a function of the caller's.
// - Calls keep no state between them; calls on different threads are
//   independent. A long call watches its stop flag and its time limit and
//   ends undecided soon after either (the verdict is then kUndecided).
// - Points are numbered from a base the design carries (1 unless said
//   otherwise); every point a call returns is in that numbering.
//
// A typical use:
//
//   namespace api = kovra::api;
//   api::Result<api::Design> d = api::MakeDesign(rows, {49, 6, 3, 6, 1});
//   if (!d) return fail(d.error().message);
//   api::Result<api::VerifyResult> r = api::Verify(*d);
//   if (r && r->verdict == api::Verdict::kOk) ...
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace kovra::api {

// ---- Results ---------------------------------------------------------------

// What went wrong: the exit status the command line ends with for it (1 a
// parameter or a range, 2 and 3 a header, 6 to 14 a block line or a list,
// 13 memory, 64 a usage error) and its message, as the command line prints
// it (one or more lines, without the last line end).
struct Error {
  int status = 1;
  std::string message;
};

// A value or an Error. `if (r)` tells which; *r and r-> reach the value,
// r.error() the error.
template <class T>
class Result {
public:
  Result(T value) : v_(std::move(value)) {}
  Result(Error error) : v_(std::move(error)) {}
  explicit operator bool() const { return v_.index() == 0; }
  T& operator*() { return std::get<0>(v_); }
  const T& operator*() const { return std::get<0>(v_); }
  T* operator->() { return &std::get<0>(v_); }
  const T* operator->() const { return &std::get<0>(v_); }
  const Error& error() const { return std::get<1>(v_); }

private:
  std::variant<T, Error> v_;
};

// Where the log of a call goes: the lines the command line prints for the
// same work (the analysis, the test's head and progress table, the losing
// m-subsets, the verdict line). With neither, nowhere.
struct Log {
  bool console = false; // to the console, exactly as the command line prints
  std::function<void(std::string_view text)> to; // else to this, in pieces
};

// ---- Designs ---------------------------------------------------------------

// C(v,k,t,m,l): v points, blocks of k, every m-subset to meet l blocks in
// t or more points.
struct Params {
  unsigned v = 0, k = 0, t = 0, m = 0, l = 1;
};

// A design: its parameters and its blocks, b rows of k points each, one row
// after another, in the numbering `base` says (rows need not be sorted).
struct Design {
  Params params;
  unsigned base = 1;
  std::vector<std::uint16_t> points;
  std::string name = "blocks";            // the name messages and certificates give it
  std::vector<std::uint16_t> fileNumbers; // after -z: point p (1..v) was fileNumbers[p-1]
  bool fromIdLine = false;                // the parameters came with the design

  std::size_t BlockCount() const { return params.k == 0 ? 0 : points.size() / params.k; }
};

// A design from rows of points written from `base`, checked as a design
// file's blocks are: every row k distinct points of base..base+v-1 (k = 0:
// the size of the first row), and the parameters within the limits
// (v <= 1024, k <= 32, t <= 8, t <= m <= 20, 1 <= l <= 255).
Result<Design> MakeDesign(const std::vector<std::vector<unsigned>>& rows, const Params& params,
                          unsigned base = 1, std::string name = "blocks");

// The same from b rows of k points stored one after another (a 2-D array
// read row by row), with no copy per row.
Result<Design> MakeDesign(const std::int64_t* points, std::size_t b, unsigned k,
                          const Params& params, unsigned base = 1, std::string name = "blocks");

// How a file is read: the parameters given (0: not given; a file with an ID
// line, a JSON object or an XML design names its own), the base of its
// points (the file's own header wins, with a warning when it differs from a
// base given), -z's renumbering, the memory bound, and which design of a
// file that holds several.
struct LoadOptions {
  Params given{0, 0, 0, 0, 0};
  unsigned base = 1;
  bool baseGiven = false;
  bool closeGaps = false;
  std::uint64_t memoryBound = 0; // bytes; 0: a quarter of the physical memory
  std::uint32_t designIndex = 0;
  Log log;
};

// Reads a design file in any style KOVRA reads (plain block lines with or
// without ID line, JSON, GAP lists, XML, the compressed encodings; "-" for
// standard input).
Result<Design> Load(const std::string& path, const LoadOptions& options = {});

// The designs a file holds: 1 except for XML files of several.
std::uint32_t DesignsInFile(const std::string& path, std::uint64_t memoryBound = 0);

// ---- Verifying -------------------------------------------------------------

enum class Verdict { kOk, kFail, kUndecided };

struct VerifyOptions {
  unsigned threads = 0;           // 0: every processor this process may use
  std::uint64_t memoryBound = 0;  // bytes the counters may take; 0: a quarter of RAM
  std::uint32_t maxLosing = 1;    // -o: losing m-subsets listed (all are counted)
  std::uint32_t maxReport = 15;   // -r: progress lines of a pass
  double timeLimitSeconds = 600;  // the whole test; 0: none
  bool prove = false;             // decide by the proof search, not a walk
  bool countAll = true;           // count every losing m-subset (else stop at maxLosing)
  bool redundancyAnalysis = true; // false: every block is kept (-y3)
  bool showRedundant = false;     // -d: print each redundant block
  bool listDuplicates = false;    // -x: print the t-subsets in more than l blocks
  bool summary = false;           // -s: with -x, the summary of the counts
  std::uint32_t skipperHigh = 7;  // -Q: the first sampled pass
  bool skipperHighGiven = false;  // -Q was given (else wide designs walk only the last pass)
  std::uint32_t skipperLow = 0;   // -q: the last pass; 0 walks every m-subset
  bool internal = false;          // the internal mode's extra lines
  unsigned partIndex = 0;         // --part=I/N: share I (from 1) of N; 0: the whole test
  unsigned partCount = 0;
  // About once a second in a long walk: the share of the m-subsets walked.
  std::function<void(double share)> progress;
  // Raised by another thread: the call ends undecided soon after.
  const std::atomic<bool>* stop = nullptr;
  // The certificate of this verification wants the first losing m-subsets
  // kept (a share always keeps them).
  bool keepLosing = true;
  bool candidate = false; // a try of the parameter search: its verdict line says "Candidate:"
  Log log;
};

// The piece of the complete pass a share walked: units [from, to) of `of`,
// the units being t-subsets in rank order ("t-subsets") or the walk's
// prefixes of two first points ("prefixes").
struct SharePiece {
  std::string unit;
  std::uint64_t from = 0, to = 0, of = 0;
};

struct VerifyResult {
  Verdict verdict = Verdict::kUndecided;
  bool proved = false;  // decided by the proof search, without a complete walk
  bool counted = false; // losingCount is every losing m-subset (else a lower bound)
  std::uint64_t losingCount = 0;
  std::vector<std::vector<unsigned>> firstLosing; // the first maxLosing, in the design's base
  bool timedOut = false;           // the time limit ended the test (verdict kUndecided)
  bool stopped = false;            // the stop flag ended the test (verdict kUndecided)
  bool tested = false;             // the test ran (else only the analysis)
  std::uint32_t redundant = 0;     // blocks the redundancy analysis left out
  std::vector<std::uint32_t> kept; // indices of the blocks it kept, in order
  bool sampledLastPass = false;    // the last pass sampled (-q above 0)
  SharePiece piece;                // a share's piece of the walk
};

// The test of a design, as the command line runs it: the redundancy
// analysis, the t-subset report (-x, -s), then the walk over the m-subsets
// or the proof search that stands in for a walk out of reach. With
// `testing` false only the analysis and the report run (-y-).
Result<VerifyResult> Verify(const Design& design, const VerifyOptions& options = {},
                            bool testing = true);

// The same in its three steps, for a caller that acts between them (the
// command line names a design of its system tree by the blocks the analysis
// kept): Analyse, then Report, then Test. Each step logs what it did and
// returns what is known so far; a step after one that ran out of time (or
// was stopped) does nothing and returns the same undecided result. The
// session holds the counters of the analysis; it keeps no pointer into the
// design.
class Session {
public:
  // The redundancy analysis: which blocks are kept.
  static Result<Session> Analyse(const Design& design, const VerifyOptions& options = {});
  // The counts of the analysis, the -x list, the -s summary and the
  // lambdas, and the number of m-subsets.
  Result<VerifyResult> Report();
  // The walk or the proof, under the name the verdict line gives (the
  // design's own when empty).
  Result<VerifyResult> Test(const std::string& name = std::string());
  const VerifyResult& result() const;

  Session(Session&& other) noexcept;
  Session& operator=(Session&& other) noexcept;
  ~Session();

  struct State; // the engine's side, opaque here

private:
  explicit Session(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// ---- The draw profile ------------------------------------------------------

// For every m-subset, the most points one block shares with it: best[j]
// m-subsets whose best block meets them in j points, atLeastL[j] those
// that meet at least l blocks in j or more points. A profile whose walk
// would take longer than a month is not computed (computed false, with its
// estimate in the log).
struct Profile {
  bool computed = false;
  std::vector<std::uint64_t> best, atLeastL;
};
Result<Profile> DrawProfile(const Design& design, unsigned threads = 0, const Log& log = {});

// ---- Leaving out blocks ----------------------------------------------------

// Every block the design does not need under the exact notion of covered,
// tried from the last to the first: the design that remains holds and no
// block of it can go. `removed` are indices into the design's blocks.
struct Reduction {
  bool done = false; // false: not reduced, `why` says why (the line the command line prints)
  std::string why;
  std::vector<std::uint32_t> removed;
  Design kept;
};
// Verifies first unless `holds` says the design is known to hold.
Result<Reduction> Reduce(const Design& design, const VerifyOptions& options = {},
                         bool holds = false);

// ---- Up to relabelling -----------------------------------------------------

struct Canonical {
  bool found = false;        // false: not found within the time limit
  std::string sha256;        // of the design renumbered canonically (normal form)
  std::string automorphisms; // the order of the automorphism group, in decimal
  unsigned pointOrbits = 0;
  std::vector<unsigned> label; // label[p - 1]: the canonical number of point p
  double seconds = 0;
};
Result<Canonical> CanonicalForm(const Design& design, double timeLimitSeconds = 600,
                                const Log& log = {});

// Whether b is a relabelling of a: `map[p - 1]` is the point of b that
// point p of a goes to (both counted from 1; checked by applying it before
// it is returned). Undecided (isomorphic empty) when the canonical forms
// were not found within the time limit.
struct Isomorphism {
  std::optional<bool> isomorphic;
  std::vector<unsigned> map;
};
Result<Isomorphism> Isomorphic(const Design& a, const Design& b, double timeLimitSeconds = 600);

// ---- Certificates and shares -----------------------------------------------

// What a certificate says beside the design and its verification.
struct CertificateInput {
  const VerifyResult* verified = nullptr; // null (or not tested): the test was not run
  const Profile* profile = nullptr;       // with --profile
  bool profileAsked = false;
  bool reduceAsked = false;              // with --reduce: it describes `described`
  const Design* described = nullptr;     // the design that remains; null: the design itself
  const Canonical* canonical = nullptr;  // with --canonical
  unsigned partIndex = 0, partCount = 0; // a share's
  std::uint64_t memoryBound = 0;
  double seconds = 0;
  std::string command;
};

// The certificate of a run as one line of JSON (docs/certificate.md): the
// parameters, the verdict, the count and the first losing m-subsets, the
// SHA-256 of the design's normal form, the blocks per t-subset, per point
// and per s-subset, and what the input adds. Every block as the design
// holds it counts, the redundant ones included.
std::string Certificate(const Design& design, const CertificateInput& input);

// The merge of the certificates of shares (--part) read from the files: the
// verdict of the whole test, or an Error (status 2) naming the share that
// does not fit and why. Prints, through the log, what one run over the
// whole design prints of its test.
struct Merged {
  Verdict verdict = Verdict::kUndecided;
  bool counted = false;
  std::uint64_t losingCount = 0;
  std::vector<std::vector<unsigned>> firstLosing;
};
Result<Merged> MergeShares(const std::vector<std::string>& files, std::uint32_t maxLosing = 1,
                           const Log& log = {});

} // namespace kovra::api
