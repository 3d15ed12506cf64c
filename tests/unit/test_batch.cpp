// The internal batch modes TestAll and CDsOnly: the order in which they visit
// the parameter sets, what each design run is given, the runs against a small
// system tree built here (designs loaded, a reduced design written next to its
// source), -S, an empty range, and ESC through the throttled poll on a
// pseudo-terminal with a clock the test moves.
#include "app/batch.hpp"
#include "app/entry.hpp"
#include "app/options.hpp"
#include "base/clock.hpp"
#include "base/console.hpp"
#include "base/keyboard.hpp"

#include "scratch_dir.hpp"
#include "stdin_guard.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <map>
#include <pty.h>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace kovra {
namespace {

namespace fs = std::filesystem;
using test::Listing;
using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

const fs::path kSource = KOVRA_SOURCE_DIR;

// One parameter set, compared in the order (k, t, m, v) of the walks.
struct Visit {
  unsigned k, t, m, v;
  bool operator==(const Visit&) const = default;
  bool operator<(const Visit& o) const {
    return std::tie(k, t, m, v) < std::tie(o.k, o.t, o.m, o.v);
  }
  bool Complete() const { return k == t && k == m; }
};

std::ostream& operator<<(std::ostream& os, const Visit& s) {
  return os << "(v=" << s.v << " k=" << s.k << " t=" << s.t << " m=" << s.m << ")";
}

// Every (k, t, m, v) with kLo <= k <= K, tLo <= t <= k, t <= m <= 7 and
// k <= v <= 54, sorted, from `from` on.
std::vector<Visit> Lattice(unsigned kLo, unsigned K, unsigned tLo, const Visit& from) {
  std::set<Visit> sets;
  for (unsigned k = 1; k <= 7; ++k)
    for (unsigned t = 1; t <= 7; ++t)
      for (unsigned m = 1; m <= 7; ++m)
        for (unsigned v = 1; v <= 54; ++v)
          if (k >= kLo && k <= K && t >= tLo && t <= k && m >= t && v >= k &&
              !(Visit{k, t, m, v} < from))
            sets.insert(Visit{k, t, m, v});
  return {sets.begin(), sets.end()};
}

std::vector<Visit> Only(const std::vector<Visit>& sets, bool complete) {
  std::vector<Visit> out;
  for (const Visit& s : sets)
    if (s.Complete() == complete) out.push_back(s);
  return out;
}

// Run settings as the option parser leaves them for an internal command line.
RunSettings Settings(const std::vector<std::string>& options) {
  std::vector<const char*> argv{"kovra", "-u7"};
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

// The test's clock: it stands still, or moves one second at every reading.
std::time_t gNow = 0;
bool gTicking = false;
int gClockReads = 0;
std::time_t FakeNow() {
  ++gClockReads;
  return gTicking ? gNow++ : gNow;
}

class Batch : public ::testing::Test {
protected:
  void SetUp() override {
    ResetPollKeyForTest();
    SetClockForTest(FakeNow);
    gNow = 1000;
    gTicking = false;
    gClockReads = 0;
  }
  void TearDown() override {
    SetClockForTest(nullptr);
    ResetPollKeyForTest();
  }
};

struct WalkLog {
  std::vector<Visit> runs;
  int polls = 0; // each poll reads the clock once; the stand-in run never does
  std::string out;
};

using BeforeRun = std::function<void(size_t runIndex)>;

// One walk with a stand-in for the design run that records the parameter set
// and checks what else the run is given.
WalkLog Walk(bool cdsOnly, const std::vector<std::string>& options,
             const BeforeRun& each = nullptr) {
  RunSettings rs = Settings(options);
  const bool toSysDir = cdsOnly || rs.fToSysDir != 0;
  WalkLog log;
  const BatchRunFn run = [&](RunSettings& r, uint32_t* removed, bool force, bool sysDir) {
    EXPECT_EQ(r.l, 1);
    EXPECT_TRUE(force);
    EXPECT_EQ(sysDir, toSysDir);
    EXPECT_EQ(r.fToSysDir != 0, toSysDir);
    EXPECT_TRUE(r.szDesignFile.empty());
    EXPECT_EQ(r.fWriteNonRedundantsToFile, 1);
    EXPECT_EQ(r.fUseL_InOldStyleFNames, 0);
    EXPECT_EQ(r.given.V + r.given.K + r.given.T + r.given.M + r.given.L, 0);
    if (cdsOnly) {
      EXPECT_EQ(r.fSkipCompleteDesigns, 0);
    }
    if (each) each(log.runs.size());
    log.runs.push_back(Visit{r.k, r.t, r.m, r.v});
    // A design run overwrites the parameters with those of the design it read.
    r.v = r.k = r.t = r.m = 1;
    *removed = 0;
    return false;
  };
  const int readsBefore = gClockReads;
  ConsoleCapture cap;
  if (cdsOnly)
    CDsOnly(rs, run);
  else
    TestAll(rs, run);
  log.polls = gClockReads - readsBefore;
  log.out = cap.out;
  return log;
}

// ---------------------------------------------------------------------------
// Visiting order.

TEST_F(Batch, TestAllFromTheDefaults) {
  StdinFromDevNull stdinGuard;
  const WalkLog log = Walk(false, {});
  const auto expected = Lattice(6, 7, 3, Visit{6, 3, 6, 49});
  EXPECT_EQ(log.runs, expected);
  EXPECT_EQ(log.runs.size(), 6u + 49u + (4 + 3 + 2) * 49u + (5 + 4 + 3 + 2 + 1) * 48u);
  EXPECT_EQ(log.polls, static_cast<int>(expected.size()));
  // Landmarks as worked out by hand: v from 49 to 54, then m = 7 from v = 6,
  // then t = 4 from m = 4; k = 7 starts at t = 3, not at 1.
  ASSERT_GT(log.runs.size(), 57u);
  EXPECT_EQ(log.runs[0], (Visit{6, 3, 6, 49}));
  EXPECT_EQ(log.runs[5], (Visit{6, 3, 6, 54}));
  EXPECT_EQ(log.runs[6], (Visit{6, 3, 7, 6}));
  EXPECT_EQ(log.runs[54], (Visit{6, 3, 7, 54}));
  EXPECT_EQ(log.runs[55], (Visit{6, 4, 4, 6}));
  const auto k7 =
      std::find_if(log.runs.begin(), log.runs.end(), [](const Visit& s) { return s.k == 7; });
  ASSERT_NE(k7, log.runs.end());
  EXPECT_EQ(*k7, (Visit{7, 3, 3, 7}));
  EXPECT_EQ(log.runs.back(), (Visit{7, 7, 7, 54}));
  EXPECT_EQ(log.out, "");
}

TEST_F(Batch, TestAllFromOneVisitsEverySetOnce) {
  StdinFromDevNull stdinGuard;
  const WalkLog log = Walk(false, {"-v1", "-k1", "-t1", "-m1"});
  EXPECT_EQ(log.runs, Lattice(1, 7, 1, Visit{1, 1, 1, 1}));
  EXPECT_EQ(std::set<Visit>(log.runs.begin(), log.runs.end()).size(), log.runs.size());
  // With K lower, k stops there.
  const WalkLog low = Walk(false, {"-v1", "-k1", "-t1", "-m1", "-K2"});
  EXPECT_EQ(low.runs, Lattice(1, 2, 1, Visit{1, 1, 1, 1}));
}

TEST_F(Batch, TestAllSkipsCompleteSetsWithoutRunningThem) {
  StdinFromDevNull stdinGuard;
  const WalkLog log = Walk(false, {"-v1", "-k1", "-t1", "-m1", "-S"});
  const auto all = Lattice(1, 7, 1, Visit{1, 1, 1, 1});
  EXPECT_EQ(log.runs, Only(all, false));
  EXPECT_EQ(log.polls, static_cast<int>(all.size())); // polled before the skip
}

TEST_F(Batch, CDsOnlyStartsAtVZeroAndRunsOnlyCompleteSets) {
  StdinFromDevNull stdinGuard;
  const WalkLog log = Walk(true, {"-v1", "-k3", "-t3", "-m3", "-S"});
  // v = 1 and 2 are handed to the run (whose parameter check refuses them);
  // every later sweep starts at v = k.
  std::vector<Visit> expected{{3, 3, 3, 1}, {3, 3, 3, 2}};
  const auto lattice = Lattice(3, 7, 3, Visit{3, 3, 3, 3});
  for (const Visit& s : Only(lattice, true)) expected.push_back(s);
  EXPECT_EQ(log.runs, expected);
  EXPECT_EQ(log.runs.size(), 54u + 51u + 50u + 49u + 48u);
  // Every set of the walk is polled, complete or not, v < k included.
  EXPECT_EQ(log.polls, static_cast<int>(lattice.size()) + 2);
}

TEST_F(Batch, TestAllFromVOneSkipsVBelowKSilently) {
  StdinFromDevNull stdinGuard;
  const WalkLog log = Walk(false, {"-v1", "-k3", "-t3", "-m3"});
  const auto expected = Lattice(3, 7, 3, Visit{3, 3, 3, 3});
  EXPECT_EQ(log.runs, expected);
  EXPECT_EQ(log.polls, static_cast<int>(expected.size()));
  EXPECT_EQ(log.out, "");
}

TEST_F(Batch, StartMarkOnlyShapesTheFirstSweep) {
  StdinFromDevNull stdinGuard;
  // m0 below t0 and v0 below k0: only the very first sweep starts there.
  const WalkLog log = Walk(false, {"-v2", "-k4", "-t4", "-m2", "-K4"});
  std::vector<Visit> expected;
  for (unsigned m = 2; m <= 7; ++m)
    for (unsigned v = 4; v <= 54; ++v) expected.push_back(Visit{4, 4, m, v});
  EXPECT_EQ(log.runs, expected);
  EXPECT_EQ(log.polls, 6 * 51); // v = 2 and 3 are skipped before the poll
  const WalkLog cds = Walk(true, {"-v2", "-k4", "-t4", "-m2", "-K4"});
  std::vector<Visit> cdsExpected;
  for (unsigned v = 4; v <= 54; ++v) cdsExpected.push_back(Visit{4, 4, 4, v});
  EXPECT_EQ(cds.runs, cdsExpected);
  // v = 2, 3 of the first sweep (m = 2) are polled, then m = 3..7 from v = 4.
  EXPECT_EQ(cds.polls, 53 + 5 * 51);
}

TEST_F(Batch, KBelowTheStartRunsNothing) {
  StdinFromDevNull stdinGuard;
  for (const bool cds : {false, true}) {
    const WalkLog log = Walk(cds, {"-k6", "-K3"});
    EXPECT_TRUE(log.runs.empty());
    EXPECT_EQ(log.polls, 0);
    EXPECT_EQ(log.out, "");
  }
}

// ---------------------------------------------------------------------------
// ESC on a pseudo-terminal.

// Standard input on a fresh pseudo-terminal for the lifetime of the object;
// what Type writes to its master side arrives as typed keys.
class TypedKeys {
public:
  TypedKeys() {
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return;
    saved_ = dup(STDIN_FILENO);
    dup2(slave_, STDIN_FILENO);
  }
  ~TypedKeys() {
    if (saved_ >= 0) {
      dup2(saved_, STDIN_FILENO);
      close(saved_);
    }
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
  }
  TypedKeys(const TypedKeys&) = delete;
  TypedKeys& operator=(const TypedKeys&) = delete;
  bool ok() const { return saved_ >= 0; }
  void Type(const std::string& keys) const {
    EXPECT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }

private:
  int master_ = -1;
  int slave_ = -1;
  int saved_ = -1;
};

TEST_F(Batch, EscStopsTheWalkAtTheFirstLookMoreThanFiveSecondsOn) {
  TypedKeys keys;
  ASSERT_TRUE(keys.ok());
  keys.Type("\x1b");
  // Each design takes two seconds: the polls read 1000 (the first, which only
  // starts the throttle), 1002, 1004, then 1006 > 1005 looks and finds ESC.
  const WalkLog log = Walk(false, {}, [](size_t) { gNow += 2; });
  EXPECT_EQ(log.runs, (std::vector<Visit>{{6, 3, 6, 49}, {6, 3, 6, 50}, {6, 3, 6, 51}}));
  EXPECT_EQ(log.out, "\nESC PRESSED\n");
}

TEST_F(Batch, OtherKeysAreReadAndIgnoredAndEscWaitsForTheNextLook) {
  TypedKeys keys;
  ASSERT_TRUE(keys.ok());
  keys.Type("a");
  // One second per design. Poll 1 at 1000 starts the throttle; poll 7 at 1006
  // looks, reads the "a" and goes on. ESC typed during run 7 waits for the
  // next look at 1012, the 13th poll.
  const WalkLog log = Walk(false, {"-v1", "-k3", "-t3", "-m3"}, [&](size_t i) {
    gNow += 1;
    if (i == 6) keys.Type("\x1b");
  });
  EXPECT_EQ(log.runs.size(), 12u);
  EXPECT_EQ(log.runs.back(), (Visit{3, 3, 3, 14}));
  EXPECT_EQ(log.out, "\nESC PRESSED\n");
}

TEST_F(Batch, CDsOnlyPollsSetsItDoesNotRun) {
  TypedKeys keys;
  ASSERT_TRUE(keys.ok());
  keys.Type("\x1b");
  gTicking = true; // one second per poll
  // Polls 1-5 at v = 50..54 (m = 3, run), poll 6 at (m = 4, v = 3) (not run),
  // poll 7 looks and finds ESC.
  const WalkLog log = Walk(true, {"-v50", "-k3", "-t3", "-m3"});
  EXPECT_EQ(log.runs,
            (std::vector<Visit>{
                {3, 3, 3, 50}, {3, 3, 3, 51}, {3, 3, 3, 52}, {3, 3, 3, 53}, {3, 3, 3, 54}}));
  EXPECT_EQ(log.polls, 7);
  EXPECT_EQ(log.out, "\nESC PRESSED\n");
}

TEST_F(Batch, TestAllDoesNotPollSetsWithVBelowK) {
  TypedKeys keys;
  ASSERT_TRUE(keys.ok());
  keys.Type("\x1b");
  gTicking = true;
  const WalkLog log = Walk(false, {"-v1", "-k3", "-t3", "-m3"});
  ASSERT_EQ(log.runs.size(), 6u);
  EXPECT_EQ(log.runs.front(), (Visit{3, 3, 3, 3}));
  EXPECT_EQ(log.runs.back(), (Visit{3, 3, 3, 8}));
  EXPECT_EQ(log.out, "\nESC PRESSED\n");
}

TEST_F(Batch, WithoutATerminalTheWalkRunsToItsEnd) {
  StdinFromDevNull stdinGuard;
  gTicking = true;
  const WalkLog log = Walk(true, {"-v1", "-k7", "-t7", "-m7"});
  EXPECT_EQ(log.runs.size(), 54u);
  EXPECT_EQ(log.out, "");
}

// ---------------------------------------------------------------------------
// The real design runs against a system tree in a scratch directory: the
// program runs in root/work, the tree lies in root/system.

std::vector<std::vector<int>> Subsets(int n, int k) {
  std::vector<std::vector<int>> all;
  std::vector<int> c(static_cast<size_t>(k));
  for (int i = 0; i < k; ++i) c[static_cast<size_t>(i)] = i + 1;
  for (;;) {
    all.push_back(c);
    int i = k - 1;
    while (i >= 0 && c[static_cast<size_t>(i)] == n - k + i + 1) --i;
    if (i < 0) return all;
    ++c[static_cast<size_t>(i)];
    for (int j = i + 1; j < k; ++j) c[static_cast<size_t>(j)] = c[static_cast<size_t>(j - 1)] + 1;
  }
}

void WriteDesign(const std::string& path, int v, int k, int t, int m,
                 const std::vector<std::vector<int>>& blocks) {
  std::ostringstream s;
  s << "ID " << v << " " << blocks.size() << " " << k << " " << v << " 0/0 " << t << "/" << m
    << " 1 2 1 0 4 2 64 1 ...\nData\n";
  for (const auto& b : blocks) {
    for (size_t i = 0; i < b.size(); ++i) s << (i ? " " : "") << b[i];
    s << "\n";
  }
  WriteFile(path, s.str());
}

struct Program {
  int status = -1;
  std::string out;
  std::vector<std::string> runs; // the output of each design run
};

const std::string kSeparator = "\r" + std::string(76, '-') + "\n";

// The whole program in-process with -A1, its output cut at the separator
// line printed before each design run.
Program RunInternal(const std::vector<std::string>& options) {
  std::vector<std::string> args{"-u7"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back("-h2");
  args.push_back("-A1");
  std::vector<const char*> argv{"kovra"};
  for (const auto& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  Program p;
  {
    ConsoleCapture cap;
    p.status = KovraMain(static_cast<int>(argv.size() - 1), argv.data());
    p.out = cap.out;
  }
  size_t pos = p.out.find(kSeparator);
  while (pos != std::string::npos) {
    const size_t start = pos + kSeparator.size();
    const size_t next = p.out.find(kSeparator, start);
    p.runs.push_back(
        p.out.substr(start, next == std::string::npos ? std::string::npos : next - start));
    pos = next;
  }
  return p;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool Has(const std::string& text, const std::string& what) {
  return text.find(what) != std::string::npos;
}

const char* const kNoFile = "\rSysLoad Err. Check file and v,k,t,m,l,base. See -h \n";

// What a run that found nothing in its class prints.
bool NoFile(const std::string& run) { return run == std::string("\r") + kNoFile; }

class BatchTree : public Batch {
protected:
  void SetUp() override {
    Batch::SetUp();
    WriteDesign("../system/K3/3a3a3/0400043a.3a3", 4, 3, 3, 3, Subsets(4, 3));
    auto withDuplicate = Subsets(5, 3);
    withDuplicate.push_back({1, 2, 3});
    WriteDesign("../system/K3/3a3a3/0500113a.3a3", 5, 3, 3, 3, withDuplicate);
    WriteDesign("../system/K3/3a3a3/0600203a.3a3", 6, 3, 3, 3, Subsets(6, 3));
    WriteDesign("../system/K3/3a4a3/0500103a.4a3", 5, 3, 3, 4, Subsets(5, 3));
  }
  // Checks the new design of 10 blocks: the ID line and all 3-subsets of 1..5.
  static void ExpectReduced(const fs::path& file) {
    const std::string text = ReadFile(file);
    EXPECT_TRUE(Has(text, "\nID       5 10 3 5 0/0 3/3 1 2 1 0 4 2 64 1 ...\n")) << text;
    EXPECT_TRUE(Has(text, "\nComments Redundant blocks removed by KOVRA\nData\n")) << text;
    std::set<std::vector<int>> blocks;
    std::istringstream lines(text.substr(text.find("Data\n") + 5));
    for (std::string line; std::getline(lines, line);) {
      std::istringstream nums(line);
      std::vector<int> b;
      for (int x; nums >> x;) b.push_back(x);
      EXPECT_TRUE(blocks.insert(b).second) << line;
    }
    const auto all = Subsets(5, 3);
    EXPECT_EQ(blocks, std::set<std::vector<int>>(all.begin(), all.end()));
  }
  ScratchDir dir_;
  StdinFromDevNull stdinGuard_;
};

TEST_F(BatchTree, CDsOnlyWritesTheReducedDesignNextToItsSource) {
  const Program p = RunInternal({"-u1", "-v1", "-k3", "-t3", "-m3", "-K3"});
  EXPECT_EQ(p.status, 0);
  ASSERT_EQ(p.runs.size(), 54u); // v = 1..54 of the one complete class
  for (int v = 1; v <= 2; ++v)
    EXPECT_EQ(p.runs[static_cast<size_t>(v - 1)],
              "Err: invalid design parameters v=" + std::to_string(v) +
                  ",k=3,t=3,m=3,l=1,b=-1,v1=-1.\n     All values must be >= 1. v or k invalid: v "
                  "must be >= k\n");
  EXPECT_TRUE(NoFile(p.runs[2]));
  EXPECT_TRUE(Has(p.runs[3], "\rSys loaded <../system/K3/3a3a3/0400043a.3a3>: "
                             "v=4,k=3,t=3,m=3,l=1,b=4\n"));
  EXPECT_TRUE(Has(p.runs[3], "TestRetCode: OK"));
  EXPECT_FALSE(Has(p.runs[3], "Created"));
  EXPECT_TRUE(Has(p.runs[4], "\rSys loaded <../system/K3/3a3a3/0500113a.3a3>: "
                             "v=5,k=3,t=3,m=3,l=1,b=11\n"));
  EXPECT_TRUE(Has(p.runs[4], "Total 1 redundant blocks detected."));
  EXPECT_TRUE(Has(p.runs[4], "TestRetCode: OK (../system/K3/3a3a3/0500103a.3a3)\n"));
  EXPECT_TRUE(Has(p.runs[4], "Created new file <../system/K3/3a3a3/0500103a.3a3>.\n"));
  EXPECT_TRUE(Has(p.runs[5], "\rSys loaded <../system/K3/3a3a3/0600203a.3a3>: "
                             "v=6,k=3,t=3,m=3,l=1,b=20\n"));
  for (size_t i = 6; i < p.runs.size(); ++i) EXPECT_TRUE(NoFile(p.runs[i])) << i;
  EXPECT_EQ(Listing("../system/K3/3a3a3"), (std::set<std::string>{"0400043a.3a3", "0500103a.3a3",
                                                                  "0500113a.3a3", "0600203a.3a3"}));
  ExpectReduced("../system/K3/3a3a3/0500103a.3a3");
  EXPECT_TRUE(Listing(".").empty());
}

TEST_F(BatchTree, TestAllVisitsTheTreeInOrder) {
  const Program p = RunInternal({"-u3", "-v1", "-k3", "-t3", "-m3", "-K3"});
  EXPECT_EQ(p.status, 0);
  // m = 3..7, each with v = 3..54; v = 1 and 2 leave no trace.
  ASSERT_EQ(p.runs.size(), 5u * 52u);
  EXPECT_FALSE(Has(p.out, "invalid design parameters"));
  const auto index = [](unsigned m, unsigned v) { return (m - 3) * 52 + (v - 3); };
  const std::map<size_t, std::string> loaded{
      {index(3, 4), "<../system/K3/3a3a3/0400043a.3a3>: v=4,k=3,t=3,m=3,l=1,b=4\n"},
      {index(3, 5), "<../system/K3/3a3a3/0500113a.3a3>: v=5,k=3,t=3,m=3,l=1,b=11\n"},
      {index(3, 6), "<../system/K3/3a3a3/0600203a.3a3>: v=6,k=3,t=3,m=3,l=1,b=20\n"},
      {index(4, 5), "<../system/K3/3a4a3/0500103a.4a3>: v=5,k=3,t=3,m=4,l=1,b=10\n"}};
  for (size_t i = 0; i < p.runs.size(); ++i) {
    const auto it = loaded.find(i);
    if (it == loaded.end())
      EXPECT_TRUE(NoFile(p.runs[i])) << i << ": " << p.runs[i];
    else
      EXPECT_TRUE(Has(p.runs[i], "\rSys loaded " + it->second)) << i << ": " << p.runs[i];
  }
  // Without the ToSysDir mode the reduced design gets its old-style name here.
  EXPECT_TRUE(Has(p.runs[index(3, 5)], "Created new file <0500103a.3a3>.\n"));
  EXPECT_EQ(Listing("."), (std::set<std::string>{"0500103a.3a3"}));
  ExpectReduced("0500103a.3a3");
}

TEST_F(BatchTree, TestAllWithToSysDirWritesIntoTheTree) {
  const Program p = RunInternal({"-u3", "-u2", "-v5", "-k3", "-t3", "-m3", "-K3"});
  ASSERT_FALSE(p.runs.empty());
  EXPECT_TRUE(Has(p.runs[0], "Created new file <../system/K3/3a3a3/0500103a.3a3>.\n"));
  ExpectReduced("../system/K3/3a3a3/0500103a.3a3");
  EXPECT_TRUE(Listing(".").empty());
}

TEST_F(BatchTree, TestAllWithSkipCompleteNeverLoadsThem) {
  const Program p = RunInternal({"-u3", "-S", "-v1", "-k3", "-t3", "-m3", "-K3"});
  ASSERT_EQ(p.runs.size(), 4u * 52u); // m = 4..7
  EXPECT_FALSE(Has(p.out, "3a3a3"));
  EXPECT_FALSE(Has(p.out, "-S given"));
  EXPECT_TRUE(Has(p.runs[2], "\rSys loaded <../system/K3/3a4a3/0500103a.4a3>: "
                             "v=5,k=3,t=3,m=4,l=1,b=10\n"));
  EXPECT_EQ(std::count_if(p.runs.begin(), p.runs.end(), NoFile), 4 * 52 - 1);
}

TEST_F(BatchTree, TestAllFromTheDefaultsFindsItsLandmarks) {
  const std::string sample = ReadFile(kSource / "samples/4901683a.616");
  WriteFile("../system/K6/3a6a6/4901683a.6a6", sample);
  WriteDesign("../system/K6/3a7a6/0700073a.7a6", 7, 6, 3, 7, Subsets(7, 6));
  WriteDesign("../system/K6/4a4a6/0700074a.4a6", 7, 6, 4, 4, Subsets(7, 6));
  WriteDesign("../system/K7/3a3a7/0800083a.3a7", 8, 7, 3, 3, Subsets(8, 7));
  const Program p = RunInternal({"-u3"});
  const auto order = Lattice(6, 7, 3, Visit{6, 3, 6, 49});
  ASSERT_EQ(p.runs.size(), order.size());
  const auto at = [&](const Visit& s) {
    return static_cast<size_t>(std::find(order.begin(), order.end(), s) - order.begin());
  };
  const std::map<size_t, std::string> loaded{
      {at({6, 3, 6, 49}), "<../system/K6/3a6a6/4901683a.6a6>: v=49,k=6,t=3,m=6,l=1,b=168\n"},
      {at({6, 3, 7, 7}), "<../system/K6/3a7a6/0700073a.7a6>: v=7,k=6,t=3,m=7,l=1,b=7\n"},
      {at({6, 4, 4, 7}), "<../system/K6/4a4a6/0700074a.4a6>: v=7,k=6,t=4,m=4,l=1,b=7\n"},
      {at({7, 3, 3, 8}), "<../system/K7/3a3a7/0800083a.3a7>: v=8,k=7,t=3,m=3,l=1,b=8\n"}};
  EXPECT_EQ(loaded.begin()->first, 0u);
  for (size_t i = 0; i < p.runs.size(); ++i) {
    const auto it = loaded.find(i);
    if (it == loaded.end())
      EXPECT_TRUE(NoFile(p.runs[i])) << i << " " << order[i];
    else
      EXPECT_TRUE(Has(p.runs[i], "\rSys loaded " + it->second)) << i << ": " << p.runs[i];
  }
}

TEST_F(BatchTree, KBelowTheStartEndsAtOnceWithStatusZero) {
  const Program p = RunInternal({"-u3", "-k6", "-K3"});
  EXPECT_EQ(p.status, 0);
  EXPECT_TRUE(p.runs.empty());
  EXPECT_TRUE(EndsWith(p.out, "\rCmdline: KOVRA -u7 -u3 -k6 -K3 -h2 -A1 \n"));
}

TEST_F(Batch, EscEndsTheProgramBetweenRealDesignRuns) {
  ScratchDir dir; // an empty system tree: every run fails at once
  TypedKeys keys;
  ASSERT_TRUE(keys.ok());
  keys.Type("\x1b");
  gTicking = true;
  const Program p = RunInternal({"-u3"});
  EXPECT_EQ(p.status, 0);
  ASSERT_EQ(p.runs.size(), 6u);
  for (size_t i = 0; i + 1 < p.runs.size(); ++i) EXPECT_TRUE(NoFile(p.runs[i]));
  EXPECT_EQ(p.runs.back(), std::string("\r") + kNoFile + "\nESC PRESSED\n");
}

} // namespace
} // namespace kovra
