// The parameter search (-z2): the order of the candidates, l raised while the
// test passes, the renumbered temporary copy and its removal on every path,
// the documented messages for bad data, compressed inputs and the reversed
// exit status. Whole searches with real design runs are in the golden
// transcripts (search_*).
#include "app/search.hpp"
#include "base/console.hpp"
#include "base/fatal.hpp"

#include "parsed_settings.hpp"
#include "scratch_dir.hpp"
#include "stdin_guard.hpp"
#include "test_driver_util.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <vector>

namespace kovra {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::ParsedSettings;
using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

const fs::path kSource = KOVRA_SOURCE_DIR;
const std::string kLotto = "C49_6_3_6_1_b163_lotto_valid.txt"; // points 0..48

// The block lines of the sample C(49,6,3,6,1,=168), without its header.
std::string SampleBlockLines() {
  const std::string text = ReadFile(kSource / "samples/4901683a.616");
  return text.substr(text.find("\nData\n") + 6);
}

// One candidate as the search hands it to a design run.
struct Call {
  unsigned v, k, t, m, l;
  bool operator==(const Call&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Call& c) {
  return os << "(v=" << c.v << " k=" << c.k << " t=" << c.t << " m=" << c.m << " l=" << c.l << ")";
}

struct Outcome {
  bool found = false;
  int fatal = -1; // the code of a fatal exit, -1 when the search returned
  std::string out;
  std::vector<Call> calls;
  std::string copyPath; // the file the runs were given
  std::string copyText; // its contents at the first run
};

using Verdict = std::function<bool(const Call&, uint32_t* removed)>;

bool Never(const Call&, uint32_t*) { return false; }

// Runs the search with a stand-in for the design run that records what it
// is given and answers with `verdict`.
Outcome Search(const std::vector<std::string>& options, const std::string& file,
               const Verdict& verdict = Never) {
  RunSettings rs = ParsedSettings(options);
  Outcome o;
  const SearchRunFn run = [&](RunSettings& r, bool force, bool toSysDir) {
    EXPECT_FALSE(force || toSysDir);
    EXPECT_EQ(r.b, 0u);
    EXPECT_EQ(r.given.v + r.given.k + r.given.t + r.given.m + r.given.l, 0);
    EXPECT_EQ(r.fWriteToNewFile + r.fWriteNonRedundantsToFile + r.fOverwrite + r.fToSysDir +
                  r.bCompressed + r.fForceTestingIfRedund,
              0);
    EXPECT_EQ(r.fDoTesting + r.fParamsGiven, 2);
    if (o.calls.empty()) {
      o.copyPath = r.szDesignFile;
      o.copyText = ReadFile(r.szDesignFile);
    }
    EXPECT_EQ(r.szDesignFile, o.copyPath);
    EXPECT_TRUE(fs::exists(r.szDesignFile));
    const Call c{r.v, r.k, r.t, r.m, r.l};
    o.calls.push_back(c);
    uint32_t removed = 0;
    const bool passed = verdict(c, &removed);
    return RunOutcome{passed, false, removed};
  };
  ConsoleCapture cap;
  try {
    o.found = FindDesignParams(rs, file, run);
  } catch (const FatalExit& e) {
    o.fatal = e.code;
  }
  o.out = cap.out;
  return o;
}

// The candidates (t, m, v') worked out without the search's loops: every
// triple with t <= min(T, k), t <= m <= M and v <= v' <= v + m - t, sorted
// by t downwards, then m upwards, then v' downwards.
std::vector<Call> ExpectedOrder(unsigned T, unsigned M, unsigned k, unsigned v, bool skipComplete) {
  std::vector<Call> all;
  for (unsigned t = 1; t <= std::min(T, k); ++t)
    for (unsigned m = t; m <= M; ++m)
      for (unsigned vc = v; vc <= v + m - t; ++vc)
        if (!(skipComplete && t == k && m == k)) all.push_back(Call{vc, k, t, m, 1});
  std::sort(all.begin(), all.end(), [](const Call& a, const Call& b) {
    return std::make_tuple(b.t, a.m, b.v) < std::make_tuple(a.t, b.m, a.v);
  });
  return all;
}

constexpr const char* kNoResult =
    "\n\nRESULT:\n\nErr: No satisfying params found, or an error happened\n";

std::string Found(unsigned v, unsigned t, unsigned m, unsigned l, unsigned b, unsigned redunds,
                  unsigned T, unsigned M, unsigned k = 6) {
  char line[512];
  std::snprintf(line, sizeof line,
                "\n\nRESULT:\n\nSatisfying params found: v=%u,k=%u,t=%u,m=%u,l=%u,b<=%u "
                "(redunds=%u)\nYou can try further fine-tuning with setting -T and -M to 7..1 "
                "\n(current: -T=%u -M=%u) and comparing the found parms with the known\nbounds "
                "from the lists... Re-run with lower values for -T -M...\n",
                v, k, t, m, l, b, redunds, T, M);
  return line;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The temporary name announced by the search ("" when none was made).
std::string AnnouncedCopy(const std::string& out) {
  return test::Find(out, "to a temporary file <([^>]*)> without ID\n\n");
}

TEST(SearchOrder, CandidatesFromTheHighestTDown) {
  ScratchDir dir;
  WriteFile("blocks.txt", SampleBlockLines()); // 168 lines over 1..49
  WriteFile("pairs.txt", "3 9\n9 4\n4 3\n");
  const struct {
    std::vector<std::string> options;
    const char* file;
    unsigned T, M, k, v;
    bool skip;
  } rows[] = {
      {{}, "blocks.txt", 7, 7, 6, 49, false},
      {{"-T3", "-M4"}, "blocks.txt", 3, 4, 6, 49, false},
      {{"-T5", "-M3"}, "blocks.txt", 5, 3, 6, 49, false},
      {{"-S"}, "blocks.txt", 7, 7, 6, 49, true},
      {{}, "pairs.txt", 7, 7, 2, 3, false}, // the first t is k when T is larger
  };
  for (const auto& r : rows) {
    const Outcome o = Search(r.options, r.file);
    SCOPED_TRACE(r.file + (r.options.empty() ? "" : " " + r.options.back()));
    EXPECT_FALSE(o.found);
    EXPECT_EQ(o.calls, ExpectedOrder(r.T, r.M, r.k, r.v, r.skip));
    EXPECT_NE(o.out.find("So far detected: k=" + std::to_string(r.k) +
                         ", v=" + std::to_string(r.v) + "\n"),
              std::string::npos);
    EXPECT_TRUE(EndsWith(o.out, kNoResult));
  }
  // The beginning as worked out by hand, (t, m, v') for the defaults.
  const Outcome o = Search({}, "blocks.txt");
  const unsigned head[][3] = {{6, 6, 49}, {6, 7, 50}, {6, 7, 49}, {5, 5, 49}, {5, 6, 50},
                              {5, 6, 49}, {5, 7, 51}, {5, 7, 50}, {5, 7, 49}, {4, 4, 49}};
  ASSERT_EQ(o.calls.size(), 83u); // 3 + 6 + 10 + 15 + 21 + 28
  for (size_t i = 0; i < std::size(head); ++i)
    EXPECT_EQ(o.calls[i], (Call{head[i][2], 6, head[i][0], head[i][1], 1}));
}

TEST(SearchRaiseL, WhileTheTestPassesUpTo255) {
  ScratchDir dir;
  WriteFile("blocks.txt", SampleBlockLines());
  // (5, 6, 49) passes up to l = 4; each passing run reports 10 * l removed blocks.
  const Outcome o = Search({}, "blocks.txt", [](const Call& c, uint32_t* removed) {
    *removed = 10 * c.l;
    return c.t == 5 && c.m == 6 && c.v == 49 && c.l <= 4;
  });
  std::vector<Call> expected = ExpectedOrder(7, 7, 6, 49, false);
  expected.resize(6);
  for (unsigned l = 2; l <= 5; ++l) expected.push_back(Call{49, 6, 5, 6, l});
  EXPECT_EQ(o.calls, expected);
  EXPECT_TRUE(EndsWith(o.out, Found(49, 5, 6, 4, 168, 40, 7, 7))) << o.out;
  // l = 2 fails at once: the result keeps l = 1 and the first run's count.
  const Outcome once = Search({"-T4", "-M5"}, "blocks.txt", [](const Call& c, uint32_t* removed) {
    *removed = 7;
    return c.t == 4 && c.m == 5 && c.v == 50 && c.l == 1;
  });
  EXPECT_EQ(once.calls, (std::vector<Call>{{49, 6, 4, 4, 1}, {50, 6, 4, 5, 1}, {50, 6, 4, 5, 2}}));
  EXPECT_TRUE(EndsWith(once.out, Found(50, 4, 5, 1, 168, 7, 4, 5))) << once.out;
  const Outcome always = Search({}, "blocks.txt", [](const Call&, uint32_t*) { return true; });
  ASSERT_EQ(always.calls.size(), 255u);
  EXPECT_EQ(always.calls.back(), (Call{49, 6, 6, 6, 255}));
  EXPECT_TRUE(EndsWith(always.out, Found(49, 6, 6, 255, 168, 0, 7, 7))) << always.out;
}

// Renumbers block lines densely from 1 in order of first appearance, written
// as the program writes block lines.
std::string DenseRenumbering(const std::string& blockLines) {
  std::map<int, int> number;
  std::string out;
  std::istringstream lines(blockLines);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream nums(line);
    const char* sep = "";
    for (int p; nums >> p; sep = " ") {
      const auto [it, added] = number.emplace(p, static_cast<int>(number.size()) + 1);
      out += it->second < 10 ? std::string(sep) + " " : sep;
      out += std::to_string(it->second);
    }
    out += "\n";
  }
  return out;
}

TEST(SearchCopy, PointsAreRenumberedFromOneInOrderOfFirstAppearance) {
  ScratchDir dir;
  const std::string text = ReadFile(kSource / "tests/data/public" / kLotto);
  WriteFile(kLotto, text);
  const Outcome o =
      Search({}, kLotto, [](const Call& c, uint32_t*) { return c.t == 3 && c.l == 1; });
  EXPECT_NE(o.out.find("So far detected: k=6, v=49\n"), std::string::npos);
  // The first block 0 5 6 16 22 45 becomes 1..6; no ID line, 163 lines.
  EXPECT_EQ(o.copyText.substr(0, 18), " 1  2  3  4  5  6\n");
  EXPECT_EQ(o.copyText, DenseRenumbering(text));
  EXPECT_TRUE(EndsWith(o.out, Found(49, 3, 3, 1, 163, 0, 7, 7))) << o.out;
  // Gaps, separators, comments and the largest value close up the same way.
  WriteFile("gaps.txt", "# points with gaps\n200 7 255\n\t7, 3 ,0\n255/0/9 ; comment\n");
  const Outcome gaps = Search({}, "gaps.txt");
  EXPECT_NE(gaps.out.find("So far detected: k=3, v=6\n"), std::string::npos) << gaps.out;
  EXPECT_EQ(gaps.copyText, " 1  2  3\n 2  4  5\n 3  5  6\n");
}

TEST(SearchCopy, RemovedOnEveryPath) {
  ScratchDir dir;
  WriteFile("blocks.txt", SampleBlockLines());
  const Outcome found = Search({}, "blocks.txt", [](const Call&, uint32_t*) { return true; });
  const Outcome notFound = Search({}, "blocks.txt");
  const Outcome fatal = Search({}, "blocks.txt", [](const Call& c, uint32_t*) -> bool {
    if (c.t == 5) ErrExit(11, "Missing blocks");
    return false;
  });
  EXPECT_EQ(fatal.fatal, 11);
  EXPECT_EQ(fatal.calls.size(), 4u);
  for (const Outcome* o : {&found, &notFound, &fatal}) {
    EXPECT_EQ(o->copyPath, AnnouncedCopy(o->out));
    EXPECT_EQ(o->copyPath.rfind(P_tmpdir, 0), 0u) << o->copyPath;
    EXPECT_FALSE(fs::exists(o->copyPath)) << o->copyPath;
  }
  // A real design run that ends the whole program: the copy numbers the
  // points from 1, so reading it with -a0 meets point 49 outside 0..48.
  WriteFile(kLotto, ReadFile(kSource / "tests/data/public" / kLotto));
  const auto ended = test::RunKovra({"-z2", "-a0", "-h2", kLotto});
  EXPECT_EQ(ended.status, 6);
  ASSERT_NE(AnnouncedCopy(ended.out), "");
  EXPECT_FALSE(fs::exists(AnnouncedCopy(ended.out)));
}

TEST(SearchBadData, DocumentedMessagesNoCopyAndNoRun) {
  const std::string six = "1 2 3 4 5 6\n7 8 9 10 11 12\n";
  std::string points55;
  for (int i = 0; i < 55; ++i) points55 += std::to_string(i) + " " + std::to_string(i + 1) + "\n";
  const std::string differ = "Err: lines have different nbr of items or k too big\n";
  const std::string range = "Err: data out of range\n";
  const std::string errors = ", but errors found!";
  const struct {
    std::string content, scanMessage, detected;
  } rows[] = {
      {six + "1 2 3\n", differ, "k=6, v=12" + errors},
      {"1 2 3 4 5 6 7 8 9 10\n", differ, "k=9, v=0" + errors},
      {"1 2 3 4 5 6 7 8 9\n2 3 4 5 6 7 8 9 10\n", "", "k=9, v=10"},
      {"1 2 3 4 5 6 7 8\n2 3 4 5 6 7 8 9\n9 8 7 6 5 4 3 2\n", "", "k=8, v=9"},
      {six + "1 2 256 4 5 6\n", range, "k=6, v=12" + errors},
      {six + "13 14 15 16 17 99999999999999999999999999\n", range, "k=6, v=17" + errors},
      {"", "", "k=0, v=0"},
      {"# nothing\n; here\n\nwords only\n", "", "k=0, v=0"},
      {points55, "", "k=2, v=56"},
      {"5 5 5\n5 5 5\n", "", "k=3, v=1"},
  };
  ScratchDir dir;
  for (const auto& r : rows) {
    WriteFile("design.txt", r.content);
    const Outcome o = Search({}, "design.txt");
    EXPECT_EQ(o.fatal, -1);
    EXPECT_TRUE(o.calls.empty());
    EXPECT_EQ(o.out, r.scanMessage + "So far detected: " + r.detected +
                         "\nErr: Invalid data, or beyond limits\n" + kNoResult);
  }
  // Files that cannot be read (a missing one is in the transcripts).
  fs::create_directory("adir");
  EXPECT_EQ(Search({}, "adir").out,
            "Err: can't open <adir> (Is a directory)\nErr: can't open file <adir>\n");
  if (geteuid() != 0) { // permissions do not stop the superuser
    chmod("design.txt", 0);
    EXPECT_EQ(Search({}, "design.txt").out, "Err: can't open <design.txt> (Permission denied)\n"
                                            "Err: can't open file <design.txt>\n");
  }
}

// Compressed files: k and v come from the ID line; the data is not scanned
// (its first line holds ten comma-separated numbers, which the scan would
// reject). The copy holds the decoded blocks {1,2} {1,3} {2,4} {3,5}.
TEST(SearchCompressed, IdLineGivesKAndV) {
  ScratchDir dir;
  for (const std::string name :
       {"example_norep.ctext", "example_rep.ctext", "example_norep.cbin", "example_rep.cbin"}) {
    WriteFile(name, ReadFile(kSource / "tests/data/compressed" / name));
    const Outcome o = Search({}, name);
    EXPECT_NE(o.out.find("So far detected: k=2, v=5\n"), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("Err"), o.out.find("Err: No satisfying")) << o.out;
    EXPECT_EQ(o.copyText, " 1  2\n 1  3\n 2  4\n 3  5\n") << name;
    EXPECT_EQ(o.calls, ExpectedOrder(7, 7, 2, 5, false)) << name;
  }
}

// The exit status of the whole program: 1 when found, 0 otherwise, the
// reverse of a design run on the same blocks.
TEST(SearchExitStatus, ReversedFromTheDesignRun) {
  ScratchDir dir;
  WriteFile("blocks.txt", SampleBlockLines());
  WriteFile("points.txt", "1\n2\n3\n");
  const auto found = test::RunKovra({"-h2", "-z2", "blocks.txt"});
  EXPECT_EQ(found.status, 1);
  EXPECT_TRUE(EndsWith(found.out, Found(49, 3, 6, 1, 168, 0, 7, 7)));
  // Valid data always passes t = m = 1 unless -S takes that candidate away.
  const std::pair<std::vector<std::string>, int> rows[] = {
      {{"-h2", "-z2", "points.txt"}, 1},
      {{"-h2", "-z2", "-S", "-M1", "points.txt"}, 0},
      {{"-h2", "-v49", "-k6", "-t3", "-m6", "blocks.txt"}, 0},
      {{"-h2", "-v49", "-k6", "-t4", "-m6", "blocks.txt"}, 1},
  };
  for (const auto& [args, status] : rows) EXPECT_EQ(test::RunKovra(args).status, status);
}

// Malformed files of every kind end in a result or a fatal exit, never in a
// crash, and leave no copy behind.
TEST(SearchFuzz, MalformedFilesNeverCrashOrLeaveACopy) {
  std::vector<std::string> pieces; // the bits random files are made of
  std::istringstream all(
      "1|2|3|5|7|0|12|49|55|255|256|-3|+4|x|ID |ID 5 4 2 5 |0/0 |2/2 |1 2 1 |#|;|"
      "Data|99999999999| | |,|/|\t|\r|\n|\n|\r\n|4,4,5,2,1^2,4,3,18,9|\0|\xe1"s);
  for (std::string piece; std::getline(all, piece, '|');) pieces.push_back(piece);
  ScratchDir dir;
  std::mt19937 rng(20261206);
  int fatal = 0, found = 0, none = 0;
  for (int i = 0; i < 400; ++i) {
    std::string s;
    if (i % 2 == 0) { // random pieces, now and then an overlong line
      for (int n = static_cast<int>(rng() % 120); n > 0; --n) s += pieces[rng() % pieces.size()];
      if (rng() % 8 == 0) s += std::string(300, '7');
    } else { // mostly well-formed lines with a fault here and there
      const unsigned k = 1 + rng() % 7, v = k + rng() % 8, b = 1 + rng() % 6;
      if (rng() % 3 == 0)
        s = "ID " + std::to_string(v) + " " + std::to_string(b) + " " + std::to_string(k) + " " +
            std::to_string(v) + " 0/0 1/1 1 2 1 " + std::to_string(rng() % 4) + " ...\n";
      for (unsigned j = 0; j < b; ++j) {
        for (unsigned p = 0; p < k; ++p) s += std::to_string(rng() % (v + 2)) + " ";
        s += (rng() % 10 == 0 ? std::to_string(rng() % 300) : "") + "\n";
      }
    }
    WriteFile("f.txt", s);
    RunSettings rs = ParsedSettings({"-T3", "-M4"});
    ConsoleCapture cap;
    StdinFromDevNull stdinGuard;
    try {
      (FindDesignParams(rs, "f.txt") ? found : none) += 1;
      EXPECT_NE(cap.out.find("\n\nRESULT:\n"), std::string::npos) << s;
    } catch (const FatalExit& e) {
      ++fatal;
      EXPECT_GT(e.code, 0);
    }
    const std::string copy = AnnouncedCopy(cap.out);
    EXPECT_TRUE(copy.empty() || !fs::exists(copy)) << s;
  }
  // The generator reaches all three outcomes.
  EXPECT_GT(fatal, 0);
  EXPECT_GT(found, 0);
  EXPECT_GT(none, 0);
}

} // namespace
} // namespace kovra
