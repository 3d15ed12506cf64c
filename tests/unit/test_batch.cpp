// The internal batch modes TestAll and CDsOnly: the order in which they visit
// the parameter sets and what each design run is given, ESC through the
// throttled poll on a pseudo-terminal with a clock the test moves, and the
// real design runs against a small system tree built here.
#include "app/batch.hpp"
#include "base/clock.hpp"
#include "base/console.hpp"
#include "base/keyboard.hpp"

#include "parsed_settings.hpp"
#include "scratch_dir.hpp"
#include "stdin_guard.hpp"
#include "test_driver_util.hpp"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace kovra {
namespace {

using test::Listing;
using test::ParsedSettings;
using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

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
  for (unsigned k = kLo; k <= K; ++k)
    for (unsigned t = tLo; t <= k; ++t)
      for (unsigned m = t; m <= 7; ++m)
        for (unsigned v = k; v <= 54; ++v)
          if (!(Visit{k, t, m, v} < from)) sets.insert(Visit{k, t, m, v});
  return {sets.begin(), sets.end()};
}

std::vector<Visit> Only(const std::vector<Visit>& sets, bool complete) {
  std::vector<Visit> out;
  for (const Visit& s : sets)
    if (s.Complete() == complete) out.push_back(s);
  return out;
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
  }
  void TearDown() override {
    SetClockForTest(nullptr);
    ResetPollKeyForTest();
  }
};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct WalkLog {
  std::vector<Visit> runs;
  int polls = 0; // each poll reads the clock once; the stand-in run never does
  std::string out;
};

// One walk with a stand-in for the design run that records the parameter set
// and checks what else the run is given; `each` runs before every run.
WalkLog Walk(bool cdsOnly, const std::vector<std::string>& options,
             const std::function<void(size_t runIndex)>& each = nullptr) {
  RunSettings rs = ParsedSettings(Join({"-u7"}, options));
  const bool toSysDir = cdsOnly || rs.fToSysDir != 0;
  WalkLog log;
  const BatchRunFn run = [&](RunSettings& r, bool force, bool sysDir) {
    EXPECT_EQ(r.l, 1);
    EXPECT_TRUE(force);
    EXPECT_EQ(sysDir, toSysDir);
    EXPECT_EQ(r.fToSysDir != 0, toSysDir);
    EXPECT_TRUE(r.szDesignFile.empty());
    EXPECT_EQ(r.fWriteNonRedundantsToFile, 1);
    EXPECT_EQ(r.fUseL_InOldStyleFNames, 0);
    EXPECT_TRUE(!cdsOnly || r.fSkipCompleteDesigns == 0); // CDsOnly ignores -S
    EXPECT_EQ(r.given.v + r.given.k + r.given.t + r.given.m + r.given.l, 0);
    if (each) each(log.runs.size());
    log.runs.push_back(Visit{r.k, r.t, r.m, r.v});
    // A design run overwrites the parameters with those of the design it read.
    r.v = r.k = r.t = r.m = 1;
    return RunOutcome{false, false, 0};
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

TEST_F(Batch, VisitingOrderAndPolls) {
  StdinFromDevNull stdinGuard; // the poll looks (the clock ticks) but finds no key
  gTicking = true;
  const std::vector<std::string> fromOne{"-v1", "-k1", "-t1", "-m1"};
  const std::vector<std::string> from3{"-v1", "-k3", "-t3", "-m3"};
  const std::vector<std::string> mark{"-v2", "-k4", "-t4", "-m2", "-K4"};
  // From the defaults: v from 49 to 54, then m = 7 from v = 6, then t = 4
  // from m = 4, and so on; k = 7 starts at t = 3, not at 1.
  const auto defaults = Lattice(6, 7, 3, Visit{6, 3, 6, 49});
  const auto all = Lattice(1, 7, 1, Visit{1, 1, 1, 1});
  const auto low = Lattice(1, 2, 1, Visit{1, 1, 1, 1});
  const auto all3 = Lattice(3, 7, 3, Visit{3, 3, 3, 3});
  // CDsOnly hands v = 1 and 2 to the run (whose parameter check refuses
  // them); every later sweep starts at v = k.
  std::vector<Visit> cds3{{3, 3, 3, 1}, {3, 3, 3, 2}};
  for (const Visit& s : Only(all3, true)) cds3.push_back(s);
  // The start mark shapes only the first sweep: m from 2 (below t), v from 2
  // (below k); TestAll skips v = 2, 3 before the poll, CDsOnly polls them.
  std::vector<Visit> markAll, markCds;
  for (unsigned m = 2; m <= 7; ++m)
    for (unsigned v = 4; v <= 54; ++v) markAll.push_back(Visit{4, 4, m, v});
  for (unsigned v = 4; v <= 54; ++v) markCds.push_back(Visit{4, 4, 4, v});
  const struct {
    bool cds;
    std::vector<std::string> options;
    std::vector<Visit> runs;
    size_t polls;
  } rows[] = {
      {false, {}, defaults, 6 + 49 + (4 + 3 + 2) * 49 + (5 + 4 + 3 + 2 + 1) * 48},
      {false, fromOne, all, all.size()},
      {false, Join(fromOne, {"-K2"}), low, low.size()}, // k stops at K
      {false, Join(fromOne, {"-S"}), Only(all, false), all.size()},
      {false, from3, all3, all3.size()},
      {true, Join(from3, {"-S"}), cds3, all3.size() + 2},
      {false, mark, markAll, 6 * 51},
      {true, mark, markCds, 53 + 5 * 51},
      {false, {"-k6", "-K3"}, {}, 0},
      {true, {"-k6", "-K3"}, {}, 0},
  };
  for (const auto& r : rows) {
    const WalkLog log = Walk(r.cds, r.options);
    SCOPED_TRACE(r.options.empty() ? "" : r.options.back());
    EXPECT_EQ(log.runs, r.runs);
    EXPECT_EQ(log.polls, static_cast<int>(r.polls));
    EXPECT_EQ(log.out, "");
  }
}

TEST_F(Batch, EscStopsTheWalkAtTheNextLookOtherKeysAreIgnored) {
  StdinFromTerminal keys;
  ASSERT_TRUE(keys.ok());
  keys.Type("a");
  // One second per design. Poll 1 at 1000 only starts the throttle; poll 7 at
  // 1006 looks, reads the "a" and goes on. ESC typed during run 7 waits for
  // the next look at 1012, the 13th poll.
  const WalkLog log = Walk(false, {"-v1", "-k3", "-t3", "-m3"}, [&](size_t i) {
    gNow += 1;
    if (i == 6) keys.Type("\x1b");
  });
  EXPECT_EQ(log.runs.size(), 12u);
  EXPECT_EQ(log.runs.back(), (Visit{3, 3, 3, 14}));
  EXPECT_EQ(log.out, "\nESC PRESSED\n");
}

// ---------------------------------------------------------------------------
// The real design runs against a system tree in a scratch directory: the
// program runs in root/work, the tree lies in root/system.

struct Stored {
  Visit cls;
  std::string path;
  unsigned b;
};

const Stored kTree[] = {
    {{3, 3, 3, 4}, "../system/K3/3a3a3/0400043a.3a3", 4},
    {{3, 3, 3, 5}, "../system/K3/3a3a3/0500113a.3a3", 11}, // one block repeated
    {{3, 3, 3, 6}, "../system/K3/3a3a3/0600203a.3a3", 20},
    {{3, 3, 4, 5}, "../system/K3/3a4a3/0500103a.4a3", 10},
};

void WriteTree() {
  for (const Stored& s : kTree) {
    test::Design d{s.cls.v, 3, s.cls.t, s.cls.m, 1, test::AllSubsets(s.cls.v, 3)};
    if (s.b == 11) d.blocks.push_back(d.blocks.front());
    WriteFile(s.path, test::PlainText(d));
  }
}

// What the design run for the parameter set `s` prints, given the tree above.
std::string ExpectedRun(const Visit& s) {
  for (const Stored& st : kTree)
    if (st.cls == s)
      return "\rSys loaded <" + st.path + ">: v=" + std::to_string(s.v) +
             ",k=3,t=3,m=" + std::to_string(s.m) + ",l=1,b=" + std::to_string(st.b) + "\n";
  if (s.v < s.k)
    return "Err: invalid design parameters v=" + std::to_string(s.v) +
           ",k=3,t=3,m=3,l=1,b=-1,v1=-1.\n     All values must be >= 1. v or k invalid: v "
           "must be >= k\n";
  return "\rSysLoad Err. Check file and v,k,t,m,l,base. See -h \n";
}

TEST_F(Batch, RealRunsFollowTheWalkAndTheReducedDesignLandsWhereItShould) {
  const std::string inTree = "../system/K3/3a3a3/0500103a.3a3";
  const auto walk = Lattice(3, 3, 3, Visit{3, 3, 3, 3});
  std::vector<Visit> cds{{3, 3, 3, 1}, {3, 3, 3, 2}};
  for (const Visit& s : Only(walk, true)) cds.push_back(s);
  const struct {
    std::vector<std::string> mode;
    std::vector<Visit> order;
    std::string created; // "" when no design is written
  } rows[] = {
      {{"-u1"}, cds, inTree},
      {{"-u3"}, walk, "0500103a.3a3"}, // without ToSysDir: the old-style name, here
      {{"-u3", "-u2"}, walk, inTree},
      {{"-u3", "-S"}, Only(walk, false), ""},
  };
  for (const auto& r : rows) {
    ScratchDir dir;
    WriteTree();
    const auto p = test::RunKovra(
        Join(Join({"-u7"}, r.mode), {"-v1", "-k3", "-t3", "-m3", "-K3", "-h2", "-A1"}));
    SCOPED_TRACE(r.mode.back());
    EXPECT_EQ(p.status, 0);
    const std::string sep = "\r" + std::string(76, '-') + "\n";
    std::vector<std::string> runs; // the output of each design run
    for (size_t at = p.out.find(sep); at != std::string::npos;) {
      const size_t next = p.out.find(sep, at + sep.size());
      runs.push_back(p.out.substr(at + sep.size(), next - at - sep.size()));
      at = next;
    }
    ASSERT_EQ(runs.size(), r.order.size());
    for (size_t i = 0; i < runs.size(); ++i)
      EXPECT_NE(runs[i].find(ExpectedRun(r.order[i])), std::string::npos) << r.order[i] << runs[i];
    if (r.created.empty()) {
      EXPECT_EQ(p.out.find("Created"), std::string::npos);
      continue;
    }
    EXPECT_NE(p.out.find("Created new file <" + r.created + ">.\n"), std::string::npos);
    const std::string text = ReadFile(r.created);
    EXPECT_NE(text.find("\nID       5 10 3 5 0/0 3/3 1 2 1 0 4 2 64 1 ...\n"), std::string::npos);
    EXPECT_NE(text.find("\nComments Redundant blocks removed by KOVRA\n"), std::string::npos);
    EXPECT_EQ(test::Sorted(test::PlainBlocks(text)), test::AllSubsets(5, 3)) << text;
    EXPECT_EQ(Listing("."),
              r.created == inTree ? std::set<std::string>{} : std::set<std::string>{r.created});
  }
}

} // namespace
} // namespace kovra
