// The parameter search (-z2): the order of the candidates, l raised while the
// test passes, the renumbered temporary copy and its removal on every path,
// the documented messages for bad data, compressed inputs and the reversed
// exit status.
#include "app/entry.hpp"
#include "app/options.hpp"
#include "app/search.hpp"
#include "base/console.hpp"
#include "base/fatal.hpp"

#include "scratch_dir.hpp"
#include "stdin_guard.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace kovra {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

const fs::path kSource = KOVRA_SOURCE_DIR;

// The block lines of the sample C(49,6,3,6,1,=168), without its header.
std::string SampleBlockLines() {
  const std::string text = ReadFile(kSource / "samples/4901683a.616");
  const auto data = text.find("\nData\n");
  EXPECT_NE(data, std::string::npos);
  return text.substr(data + 6);
}

// Run settings as the option parser leaves them for this command line.
RunSettings Settings(const std::vector<std::string>& options) {
  std::vector<const char*> argv{"kovra"};
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
  bool copyExistedDuringRuns = true;
};

using Verdict = std::function<bool(const Call&, uint32_t* removed)>;

// Runs the search with a stand-in for the design run that records what it
// is given and answers with `verdict`.
Outcome Search(const std::vector<std::string>& options, const std::string& file,
               const Verdict& verdict) {
  RunSettings rs = Settings(options);
  Outcome o;
  const SearchRunFn run = [&](RunSettings& r, uint32_t* removed, bool force, bool toSysDir) {
    EXPECT_FALSE(force);
    EXPECT_FALSE(toSysDir);
    EXPECT_EQ(r.b, 0u);
    EXPECT_EQ(r.given.V + r.given.K + r.given.T + r.given.M + r.given.L, 0);
    EXPECT_EQ(r.fWriteToNewFile + r.fWriteNonRedundantsToFile + r.fOverwrite + r.fToSysDir +
                  r.bCompressed + r.fForceTestingIfRedund,
              0);
    EXPECT_EQ(r.fDoTesting, 1);
    EXPECT_EQ(r.fParamsGiven, 1);
    if (o.calls.empty()) {
      o.copyPath = r.szDesignFile;
      o.copyText = ReadFile(r.szDesignFile);
    }
    EXPECT_EQ(r.szDesignFile, o.copyPath);
    o.copyExistedDuringRuns = o.copyExistedDuringRuns && fs::exists(r.szDesignFile);
    const Call c{r.v, r.k, r.t, r.m, r.l};
    o.calls.push_back(c);
    *removed = 0;
    return verdict(c, removed);
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

bool Never(const Call&, uint32_t*) { return false; }

// The candidates (t, m, v') worked out without the search's loops: every
// triple with t <= min(T, k), t <= m <= M and v <= v' <= v + m - t, sorted
// by t downwards, then m upwards, then v' downwards.
std::vector<Call> ExpectedOrder(unsigned T, unsigned M, unsigned k, unsigned v, bool skipComplete) {
  std::vector<Call> all;
  for (unsigned t = 1; t <= 7; ++t)
    for (unsigned m = 1; m <= 7; ++m)
      for (unsigned vc = v; vc <= v + 7; ++vc)
        if (t <= std::min(T, k) && t <= m && m <= M && vc <= v + m - t &&
            !(skipComplete && t == k && m == k))
          all.push_back(Call{vc, k, t, m, 1});
  std::sort(all.begin(), all.end(), [](const Call& a, const Call& b) {
    return std::make_tuple(-static_cast<int>(a.t), a.m, -static_cast<int>(a.v)) <
           std::make_tuple(-static_cast<int>(b.t), b.m, -static_cast<int>(b.v));
  });
  return all;
}

std::vector<Call> Tmv(const std::vector<std::array<unsigned, 3>>& list, unsigned k) {
  std::vector<Call> calls;
  for (const auto& [t, m, v] : list) calls.push_back(Call{v, k, t, m, 1});
  return calls;
}

constexpr const char* kNoResult =
    "\n\nRESULT:\n\nErr: No satisfying params found, or an error happened\n";

std::string Found(unsigned v, unsigned k, unsigned t, unsigned m, unsigned l, unsigned b,
                  unsigned redunds, unsigned T, unsigned M) {
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
  static const std::regex re("to a temporary file <([^>]*)> without ID\n\n");
  std::smatch m;
  return std::regex_search(out, m, re) ? m[1].str() : "";
}

// ---------------------------------------------------------------------------
// The order of the candidates, for the 168 block lines of the sample (k = 6,
// points 1..49).

class SearchOrder : public ::testing::Test {
protected:
  void SetUp() override { WriteFile("blocks.txt", SampleBlockLines()); }
  ScratchDir dir_;
};

TEST_F(SearchOrder, DefaultsGoFromTheHighestTDown) {
  const Outcome o = Search({}, "blocks.txt", Never);
  EXPECT_FALSE(o.found);
  EXPECT_EQ(o.calls, ExpectedOrder(7, 7, 6, 49, false));
  EXPECT_EQ(o.calls.size(), 83u); // 3 + 6 + 10 + 15 + 21 + 28
  // The beginning as worked out by hand.
  const auto head = Tmv({{6, 6, 49},
                         {6, 7, 50},
                         {6, 7, 49},
                         {5, 5, 49},
                         {5, 6, 50},
                         {5, 6, 49},
                         {5, 7, 51},
                         {5, 7, 50},
                         {5, 7, 49},
                         {4, 4, 49}},
                        6);
  ASSERT_GE(o.calls.size(), head.size());
  EXPECT_TRUE(std::equal(head.begin(), head.end(), o.calls.begin()));
  EXPECT_EQ(o.calls.back(), (Call{49, 6, 1, 7, 1}));
  EXPECT_TRUE(o.out.find("So far detected: k=6, v=49\n") != std::string::npos);
  EXPECT_TRUE(EndsWith(o.out, kNoResult)) << o.out;
}

TEST_F(SearchOrder, MinusTAndMBoundTheCandidates) {
  const Outcome o = Search({"-T3", "-M4"}, "blocks.txt", Never);
  const auto expected = Tmv({{3, 3, 49},
                             {3, 4, 50},
                             {3, 4, 49},
                             {2, 2, 49},
                             {2, 3, 50},
                             {2, 3, 49},
                             {2, 4, 51},
                             {2, 4, 50},
                             {2, 4, 49},
                             {1, 1, 49},
                             {1, 2, 50},
                             {1, 2, 49},
                             {1, 3, 51},
                             {1, 3, 50},
                             {1, 3, 49},
                             {1, 4, 52},
                             {1, 4, 51},
                             {1, 4, 50},
                             {1, 4, 49}},
                            6);
  EXPECT_EQ(o.calls, expected);
  EXPECT_EQ(o.calls, ExpectedOrder(3, 4, 6, 49, false));
}

TEST_F(SearchOrder, TAboveMLeavesTheHighTsWithoutCandidates) {
  const Outcome o = Search({"-T5", "-M3"}, "blocks.txt", Never);
  const auto expected = Tmv({{3, 3, 49},
                             {2, 2, 49},
                             {2, 3, 50},
                             {2, 3, 49},
                             {1, 1, 49},
                             {1, 2, 50},
                             {1, 2, 49},
                             {1, 3, 51},
                             {1, 3, 50},
                             {1, 3, 49}},
                            6);
  EXPECT_EQ(o.calls, expected);
  EXPECT_EQ(o.calls, ExpectedOrder(5, 3, 6, 49, false));
}

TEST_F(SearchOrder, SkipCompleteLeavesOutTEqualsMEqualsK) {
  const Outcome o = Search({"-S"}, "blocks.txt", Never);
  EXPECT_EQ(o.calls, ExpectedOrder(7, 7, 6, 49, true));
  ASSERT_FALSE(o.calls.empty());
  EXPECT_EQ(o.calls.front(), (Call{50, 6, 6, 7, 1}));
  EXPECT_EQ(std::count(o.calls.begin(), o.calls.end(), Call{49, 6, 6, 6, 1}), 0);
  EXPECT_EQ(o.calls.size(), 82u);
}

TEST(SearchOrderSmallK, FirstTIsKWhenTIsLarger) {
  ScratchDir dir;
  WriteFile("pairs.txt", "3 9\n9 4\n4 3\n");
  const Outcome o = Search({}, "pairs.txt", Never);
  EXPECT_EQ(o.calls, ExpectedOrder(7, 7, 2, 3, false));
  EXPECT_EQ(o.calls.front(), (Call{3, 2, 2, 2, 1}));
  const Outcome bounded = Search({"-T1", "-M2"}, "pairs.txt", Never);
  EXPECT_EQ(bounded.calls, Tmv({{1, 1, 3}, {1, 2, 4}, {1, 2, 3}}, 2));
}

// The real design runs on the sample's blocks: the "Sys loaded" lines follow
// the order up to the first candidate that passes, then l goes up from 2
// until a run fails, and the result names the last passing l.
struct RealCase {
  const char* name;
  std::vector<std::string> options;
  unsigned T, M;
  bool skip;
  Call found; // with the l found
  unsigned redunds;
};

class SearchRealRuns : public ::testing::TestWithParam<RealCase> {};

TEST_P(SearchRealRuns, FollowTheOrderUntilTheFirstPass) {
  const RealCase& rc = GetParam();
  ScratchDir dir;
  WriteFile("blocks.txt", SampleBlockLines());
  RunSettings rs = Settings(rc.options);
  ConsoleCapture cap;
  StdinFromDevNull stdinGuard;
  EXPECT_TRUE(FindDesignParams(rs, "blocks.txt"));
  const std::string copy = AnnouncedCopy(cap.out);
  ASSERT_FALSE(copy.empty());
  EXPECT_FALSE(fs::exists(copy));

  static const std::regex loaded(
      "Sys loaded <([^>]*)>: v=(\\d+),k=(\\d+),t=(\\d+),m=(\\d+),l=(\\d+),"
      "b=168\n");
  static const std::regex verdict("TestRetCode: (OK|FAIL!) \\(([^)]*)\\)\n");
  std::vector<Call> seen;
  for (std::sregex_iterator it(cap.out.begin(), cap.out.end(), loaded), end; it != end; ++it) {
    EXPECT_EQ((*it)[1].str(), copy);
    seen.push_back(Call{
        static_cast<unsigned>(std::stoul((*it)[2])), static_cast<unsigned>(std::stoul((*it)[3])),
        static_cast<unsigned>(std::stoul((*it)[4])), static_cast<unsigned>(std::stoul((*it)[5])),
        static_cast<unsigned>(std::stoul((*it)[6]))});
  }
  std::vector<std::string> verdicts;
  for (std::sregex_iterator it(cap.out.begin(), cap.out.end(), verdict), end; it != end; ++it)
    verdicts.push_back((*it)[1]);
  ASSERT_EQ(verdicts.size(), seen.size());

  // Candidates up to the pass, then the same candidate with l = 2, 3, ...
  std::vector<Call> expected;
  for (const Call& c : ExpectedOrder(rc.T, rc.M, 6, 49, rc.skip)) {
    expected.push_back(c);
    if (c.t == rc.found.t && c.m == rc.found.m && c.v == rc.found.v) break;
  }
  const size_t passIndex = expected.size() - 1;
  for (unsigned l = 2; l <= rc.found.l + 1; ++l)
    expected.push_back(Call{rc.found.v, 6, rc.found.t, rc.found.m, l});
  EXPECT_EQ(seen, expected);
  for (size_t i = 0; i < verdicts.size(); ++i) {
    const bool passing = i >= passIndex && i + 1 < verdicts.size();
    EXPECT_EQ(verdicts[i], passing ? "OK" : "FAIL!") << "run " << i << " " << seen[i];
  }
  EXPECT_TRUE(EndsWith(cap.out, Found(rc.found.v, 6, rc.found.t, rc.found.m, rc.found.l, 168,
                                      rc.redunds, rc.T, rc.M)))
      << cap.out.substr(cap.out.size() > 600 ? cap.out.size() - 600 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sample, SearchRealRuns,
    ::testing::Values(RealCase{"Defaults", {}, 7, 7, false, Call{49, 6, 3, 6, 1}, 0},
                      RealCase{"T3M4", {"-T3", "-M4"}, 3, 4, false, Call{49, 6, 2, 3, 2}, 33},
                      RealCase{"T5M3", {"-T5", "-M3"}, 5, 3, false, Call{49, 6, 2, 3, 2}, 33},
                      RealCase{"SkipComplete", {"-S"}, 7, 7, true, Call{49, 6, 3, 6, 1}, 0}),
    [](const ::testing::TestParamInfo<RealCase>& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------
// Raising l.

class SearchRaiseL : public ::testing::Test {
protected:
  void SetUp() override { WriteFile("blocks.txt", SampleBlockLines()); }
  ScratchDir dir_;
};

TEST_F(SearchRaiseL, WhileTheTestPassesAndNoFurther) {
  // (5, 6, 49) passes up to l = 4; each passing run reports 10 * l removed blocks.
  const Outcome o = Search({}, "blocks.txt", [](const Call& c, uint32_t* removed) {
    if (c.t != 5 || c.m != 6 || c.v != 49 || c.l > 4) return false;
    *removed = 10 * c.l;
    return true;
  });
  EXPECT_TRUE(o.found);
  const auto order = ExpectedOrder(7, 7, 6, 49, false);
  std::vector<Call> expected(order.begin(), order.begin() + 6);
  ASSERT_EQ(expected.back(), (Call{49, 6, 5, 6, 1}));
  for (unsigned l = 2; l <= 5; ++l) expected.push_back(Call{49, 6, 5, 6, l});
  EXPECT_EQ(o.calls, expected);
  EXPECT_TRUE(EndsWith(o.out, Found(49, 6, 5, 6, 4, 168, 40, 7, 7))) << o.out;
}

TEST_F(SearchRaiseL, RedundsComeFromTheLastPassingRun) {
  // l = 2 fails at once: the result keeps l = 1 and the first run's count.
  const Outcome o = Search({"-T4", "-M5"}, "blocks.txt", [](const Call& c, uint32_t* removed) {
    *removed = 7;
    return c.t == 4 && c.m == 5 && c.v == 50 && c.l == 1;
  });
  EXPECT_EQ(o.calls, (std::vector<Call>{{49, 6, 4, 4, 1}, {50, 6, 4, 5, 1}, {50, 6, 4, 5, 2}}));
  EXPECT_TRUE(EndsWith(o.out, Found(50, 6, 4, 5, 1, 168, 7, 4, 5))) << o.out;
}

TEST_F(SearchRaiseL, StopsAt255) {
  const Outcome o = Search({}, "blocks.txt", [](const Call&, uint32_t*) { return true; });
  ASSERT_EQ(o.calls.size(), 255u);
  for (unsigned l = 1; l <= 255; ++l) EXPECT_EQ(o.calls[l - 1], (Call{49, 6, 6, 6, l}));
  EXPECT_TRUE(EndsWith(o.out, Found(49, 6, 6, 6, 255, 168, 0, 7, 7))) << o.out;
}

// ---------------------------------------------------------------------------
// The temporary copy.

// Renumbers block lines densely from 1 in order of first appearance, written
// as the program writes block lines.
std::string DenseRenumbering(const std::string& blockLines) {
  std::map<int, int> number;
  std::string out;
  std::istringstream lines(blockLines);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream nums(line);
    bool first = true;
    for (int p; nums >> p; first = false) {
      if (number.count(p) == 0) {
        const int next = static_cast<int>(number.size()) + 1;
        number[p] = next;
      }
      char buf[16];
      std::snprintf(buf, sizeof buf, first ? "%2d" : " %2d", number[p]);
      out += buf;
    }
    out += "\n";
  }
  return out;
}

TEST(SearchCopy, PointsZeroTo48AreRenumberedInOrderOfFirstAppearance) {
  ScratchDir dir;
  const std::string name = "C49_6_3_6_1_b163_lotto_valid.txt";
  const std::string text = ReadFile(kSource / "tests/data/public" / name);
  WriteFile(name, text);
  const Outcome o = Search({}, name, [](const Call& c, uint32_t*) { return c.t == 3 && c.l == 1; });
  EXPECT_TRUE(o.found);
  EXPECT_TRUE(o.out.find("So far detected: k=6, v=49\n") != std::string::npos);
  EXPECT_TRUE(o.out.find("\nWriting <" + name + "> to a temporary file <" + o.copyPath +
                         "> without ID\n\n") != std::string::npos)
      << o.out;
  const std::string expected = DenseRenumbering(text);
  EXPECT_EQ(o.copyText, expected);
  // The first block 0 5 6 16 22 45 becomes 1..6; no ID line, 163 lines.
  EXPECT_EQ(o.copyText.substr(0, 18), " 1  2  3  4  5  6\n");
  EXPECT_EQ(std::count(o.copyText.begin(), o.copyText.end(), '\n'), 163);
  EXPECT_EQ(o.copyText.find("ID"), std::string::npos);
  EXPECT_TRUE(EndsWith(o.out, Found(49, 6, 3, 3, 1, 163, 0, 7, 7))) << o.out;
}

TEST(SearchCopy, GapsAndLargeValuesCloseUp) {
  ScratchDir dir;
  WriteFile("gaps.txt", "# points with gaps\n200 7 255\n\t7, 3 ,0\n255/0/9 ; comment\n");
  const Outcome o = Search({}, "gaps.txt", Never);
  EXPECT_TRUE(o.out.find("So far detected: k=3, v=6\n") != std::string::npos) << o.out;
  EXPECT_EQ(o.copyText, " 1  2  3\n 2  4  5\n 3  5  6\n");
  EXPECT_EQ(o.calls, ExpectedOrder(7, 7, 3, 6, false));
}

TEST(SearchCopy, RemovedOnEveryPath) {
  ScratchDir dir;
  WriteFile("blocks.txt", SampleBlockLines());
  const Outcome found = Search({}, "blocks.txt", [](const Call&, uint32_t*) { return true; });
  const Outcome notFound = Search({}, "blocks.txt", Never);
  const Outcome fatal = Search({}, "blocks.txt", [](const Call& c, uint32_t*) -> bool {
    if (c.t == 5) ErrExit(11, "Missing blocks");
    return false;
  });
  EXPECT_EQ(fatal.fatal, 11);
  EXPECT_EQ(fatal.calls.size(), 4u);
  for (const Outcome* o : {&found, &notFound, &fatal}) {
    ASSERT_FALSE(o->copyPath.empty());
    EXPECT_EQ(o->copyPath, AnnouncedCopy(o->out));
    EXPECT_EQ(o->copyPath.rfind(P_tmpdir, 0), 0u) << o->copyPath;
    EXPECT_TRUE(o->copyExistedDuringRuns);
    EXPECT_FALSE(fs::exists(o->copyPath)) << o->copyPath;
  }
  // Data the scan rejects is never copied.
  WriteFile("bad.txt", "1 2 3\n1 2\n");
  const Outcome bad = Search({}, "bad.txt", Never);
  EXPECT_TRUE(bad.calls.empty());
  EXPECT_EQ(AnnouncedCopy(bad.out), "");
}

// A real design run that ends the program: the copy numbers the points from
// 1, so reading it with -a0 stops at the first point 49 with the range error.
TEST(SearchCopy, RemovedWhenARealRunEndsTheProgram) {
  ScratchDir dir;
  const std::string name = "C49_6_3_6_1_b163_lotto_valid.txt";
  WriteFile(name, ReadFile(kSource / "tests/data/public" / name));
  RunSettings rs = Settings({"-a0"});
  ConsoleCapture cap;
  int code = -1;
  try {
    FindDesignParams(rs, name);
  } catch (const FatalExit& e) {
    code = e.code;
  }
  EXPECT_EQ(code, 6);
  const std::string copy = AnnouncedCopy(cap.out);
  ASSERT_FALSE(copy.empty());
  EXPECT_FALSE(fs::exists(copy));
  EXPECT_TRUE(EndsWith(cap.out, "\nErrExit: 6 <Range Err; check Base and try the \"CloseGaps\" "
                                "option>\n"));
}

struct ProcessResult {
  int status = -1;
  std::string out;
};

// The built program in the current directory, standard output in a file.
ProcessResult RunProgram(const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open("/dev/null", O_WRONLY);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> argv;
    std::string prog = KOVRA_BINARY;
    argv.push_back(prog.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(prog.c_str(), argv.data());
    _exit(127);
  }
  ProcessResult r;
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadFile("stdout.txt");
  return r;
}

TEST(SearchCopy, TheProgramEndedByAFatalErrorLeavesNoCopy) {
  ScratchDir dir;
  const std::string name = "C49_6_3_6_1_b163_lotto_valid.txt";
  WriteFile(name, ReadFile(kSource / "tests/data/public" / name));
  const ProcessResult r = RunProgram({"-z2", "-a0", "-h2", name});
  EXPECT_EQ(r.status, 6);
  const std::string copy = AnnouncedCopy(r.out);
  ASSERT_FALSE(copy.empty()) << r.out;
  EXPECT_FALSE(fs::exists(copy));
  const ProcessResult ok = RunProgram({"-z2", "-h2", name});
  EXPECT_EQ(ok.status, 1);
  const std::string copy2 = AnnouncedCopy(ok.out);
  ASSERT_FALSE(copy2.empty());
  EXPECT_FALSE(fs::exists(copy2));
}

// ---------------------------------------------------------------------------
// Bad data: the documented messages, no copy and no run.

struct BadCase {
  const char* name;
  std::string content;
  std::string expected; // everything the search prints
};

std::string Rejected(const std::string& scanMessage, const std::string& detected) {
  return scanMessage + "So far detected: " + detected + "\nErr: Invalid data, or beyond limits\n" +
         kNoResult;
}

const char* const kDiffer = "Err: lines have different nbr of items or k too big\n";
const char* const kRange = "Err: data out of range\n";

std::vector<BadCase> BadCases() {
  const std::string six = "1 2 3 4 5 6\n7 8 9 10 11 12\n";
  return {
      {"LineOfSevenAmongSixes", six + "1 2 3 4 5 6 7\n" + six,
       Rejected(kDiffer, "k=6, v=12, but errors found!")},
      {"ShorterLine", six + "1 2 3\n", Rejected(kDiffer, "k=6, v=12, but errors found!")},
      {"TenNumbers", "1 2 3 4 5 6 7 8 9 10\n", Rejected(kDiffer, "k=9, v=0, but errors found!")},
      {"TenNumbersLater", six + "1 2 3 4 5 6 7 8 9 10\n",
       Rejected(kDiffer, "k=6, v=12, but errors found!")},
      {"NineNumbersEach", "1 2 3 4 5 6 7 8 9\n2 3 4 5 6 7 8 9 10\n", Rejected("", "k=9, v=10")},
      {"EightNumbersEach", "1 2 3 4 5 6 7 8\n2 3 4 5 6 7 8 9\n9 8 7 6 5 4 3 2\n",
       Rejected("", "k=8, v=9")},
      {"Above255", six + "1 2 256 4 5 6\n", Rejected(kRange, "k=6, v=12, but errors found!")},
      {"ManyDigits", six + "13 14 15 16 17 99999999999999999999999999\n",
       Rejected(kRange, "k=6, v=17, but errors found!")},
      {"Empty", "", Rejected("", "k=0, v=0")},
      {"OnlyComments", "# nothing\n; here\n\nwords only\n", Rejected("", "k=0, v=0")},
      {"MoreThan54Points",
       [] {
         std::string s;
         for (int i = 0; i < 55; ++i) s += std::to_string(i) + " " + std::to_string(i + 1) + "\n";
         return s;
       }(),
       Rejected("", "k=2, v=56")},
      {"RepeatedPointsVBelowK", "5 5 5\n5 5 5\n", Rejected("", "k=3, v=1")},
  };
}

class SearchBadData : public ::testing::TestWithParam<BadCase> {};

TEST_P(SearchBadData, DocumentedMessagesAndNoResult) {
  ScratchDir dir;
  WriteFile("design.txt", GetParam().content);
  const Outcome o = Search({}, "design.txt", Never);
  EXPECT_EQ(o.fatal, -1);
  EXPECT_FALSE(o.found);
  EXPECT_TRUE(o.calls.empty());
  EXPECT_EQ(o.out, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Files, SearchBadData, ::testing::ValuesIn(BadCases()),
                         [](const ::testing::TestParamInfo<BadCase>& p) { return p.param.name; });

TEST(SearchBadData, UnopenableFile) {
  ScratchDir dir;
  const Outcome missing = Search({}, "no such file.txt", Never);
  EXPECT_FALSE(missing.found);
  EXPECT_EQ(missing.out, "Err: can't open file <no such file.txt>\n");
  fs::create_directory("adir");
  const Outcome directory = Search({}, "adir", Never);
  EXPECT_EQ(directory.out, "Err: can't open file <adir>\n");
  EXPECT_TRUE(directory.calls.empty());
  if (geteuid() != 0) { // permissions do not stop the superuser
    WriteFile("locked.txt", "1 2 3\n");
    chmod("locked.txt", 0);
    const Outcome locked = Search({}, "locked.txt", Never);
    EXPECT_EQ(locked.out, "Err: can't open file <locked.txt>\n");
  }
}

// ---------------------------------------------------------------------------
// Compressed files: k and v come from the ID line; the data is not scanned
// (its first line holds ten comma-separated numbers, which the scan would
// reject). The copy holds the decoded blocks {1,2} {1,3} {2,4} {3,5}.

class SearchCompressed : public ::testing::TestWithParam<const char*> {};

TEST_P(SearchCompressed, IdLineGivesKAndV) {
  ScratchDir dir;
  const std::string name = GetParam();
  WriteFile(name, ReadFile(kSource / "tests/data/compressed" / name));
  const Outcome o = Search({}, name, Never);
  EXPECT_TRUE(o.out.find("So far detected: k=2, v=5\n") != std::string::npos) << o.out;
  EXPECT_EQ(o.out.find("Err"), o.out.find("Err: No satisfying")) << o.out;
  EXPECT_EQ(o.copyText, " 1  2\n 1  3\n 2  4\n 3  5\n");
  EXPECT_EQ(o.calls, ExpectedOrder(7, 7, 2, 5, false));
}

INSTANTIATE_TEST_SUITE_P(Formats, SearchCompressed,
                         ::testing::Values("example_norep.ctext", "example_rep.ctext",
                                           "example_norep.cbin", "example_rep.cbin"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                           std::string n = p.param;
                           std::replace(n.begin(), n.end(), '.', '_');
                           return n;
                         });

// ---------------------------------------------------------------------------
// The exit status of the whole program: 1 when found, 0 otherwise, the
// reverse of a design run.

int RunMain(const std::vector<std::string>& args, std::string* out = nullptr) {
  std::vector<const char*> argv{"kovra"};
  for (const auto& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  StdinFromDevNull stdinGuard;
  ConsoleCapture cap;
  const int status = KovraMain(static_cast<int>(argv.size() - 1), argv.data());
  if (out != nullptr) *out = cap.out;
  return status;
}

TEST(SearchExitStatus, ReversedFromTheDesignRun) {
  ScratchDir dir;
  WriteFile("blocks.txt", SampleBlockLines());
  WriteFile("bad.txt", "1 2 3\n1 2 3 4\n");
  std::string out;
  EXPECT_EQ(RunMain({"-h2", "-z2", "blocks.txt"}, &out), 1);
  EXPECT_TRUE(EndsWith(out, Found(49, 6, 3, 6, 1, 168, 0, 7, 7)));
  // Valid data always passes t = m = 1 unless -S takes that candidate away.
  WriteFile("points.txt", "1\n2\n3\n");
  EXPECT_EQ(RunMain({"-h2", "-z2", "points.txt"}), 1);
  EXPECT_EQ(RunMain({"-h2", "-z2", "-S", "-M1", "points.txt"}, &out), 0);
  EXPECT_TRUE(EndsWith(out, kNoResult));
  EXPECT_EQ(RunMain({"-h2", "-z2", "bad.txt"}), 0);
  EXPECT_EQ(RunMain({"-h2", "-z2", "missing.txt"}), 0);
  // The design run on the same blocks: 0 on a pass, 1 on a failure.
  EXPECT_EQ(RunMain({"-h2", "-v49", "-k6", "-t3", "-m6", "blocks.txt"}), 0);
  EXPECT_EQ(RunMain({"-h2", "-v49", "-k6", "-t4", "-m6", "blocks.txt"}), 1);
}

// ---------------------------------------------------------------------------
// Malformed files of every kind end in a result or a fatal exit, never in a
// crash, and leave no copy behind.

std::string RandomFile(std::mt19937& rng) {
  static const std::vector<std::string> kPieces = {"1",
                                                   "2",
                                                   "3",
                                                   "4",
                                                   "5",
                                                   "6",
                                                   "7",
                                                   "0",
                                                   "9",
                                                   "12",
                                                   "49",
                                                   "54",
                                                   "55",
                                                   "200",
                                                   "255",
                                                   "256",
                                                   "-3",
                                                   "+4",
                                                   "x",
                                                   "ID ",
                                                   "id ",
                                                   "ID 5 4 2 5 ",
                                                   "0/0 ",
                                                   "2/2 ",
                                                   "1 2 1 ",
                                                   "1 ",
                                                   "2 ",
                                                   "#",
                                                   ";",
                                                   "Data",
                                                   "load ",
                                                   "base",
                                                   "99999999999",
                                                   " ",
                                                   " ",
                                                   " ",
                                                   ",",
                                                   "/",
                                                   "-",
                                                   "\t",
                                                   "\r",
                                                   "\n",
                                                   "\n",
                                                   "\n",
                                                   "\r\n",
                                                   "4,4,5,2,1^2,4,3,18,9",
                                                   std::string(1, '\0'),
                                                   "\x8d",
                                                   "\xe1"};
  std::uniform_int_distribution<size_t> piece(0, kPieces.size() - 1);
  std::uniform_int_distribution<int> length(0, 120);
  std::string s;
  const int n = length(rng);
  for (int i = 0; i < n; ++i) s += kPieces[piece(rng)];
  if (rng() % 8 == 0) s += std::string(300, '7'); // an overlong line
  return s;
}

// Mostly well-formed lines with one fault somewhere.
std::string NearlyValidFile(std::mt19937& rng) {
  const int k = 1 + static_cast<int>(rng() % 7);
  const int v = k + static_cast<int>(rng() % 8);
  const int b = 1 + static_cast<int>(rng() % 6);
  std::string s;
  if (rng() % 3 == 0)
    s += "ID " + std::to_string(v) + " " + std::to_string(b) + " " + std::to_string(k) + " " +
         std::to_string(v) + " 0/0 1/1 1 2 1 " + std::to_string(rng() % 4) + " ...\n";
  for (int i = 0; i < b; ++i) {
    for (int j = 0; j < k; ++j) s += std::to_string(rng() % static_cast<unsigned>(v + 2)) + " ";
    if (rng() % 10 == 0) s += std::to_string(rng() % 300);
    s += "\n";
  }
  return s;
}

TEST(SearchFuzz, MalformedFilesNeverCrashOrLeaveACopy) {
  ScratchDir dir;
  std::mt19937 rng(20261206);
  int fatal = 0, found = 0, none = 0;
  for (int i = 0; i < 400; ++i) {
    const std::string content = i % 2 == 0 ? RandomFile(rng) : NearlyValidFile(rng);
    WriteFile("f.txt", content);
    RunSettings rs = Settings({"-T3", "-M4"});
    ConsoleCapture cap;
    StdinFromDevNull stdinGuard;
    try {
      if (FindDesignParams(rs, "f.txt"))
        ++found;
      else
        ++none;
      EXPECT_TRUE(cap.out.find("\n\nRESULT:\n") != std::string::npos) << "file " << i;
    } catch (const FatalExit& e) {
      ++fatal;
      EXPECT_GT(e.code, 0);
      EXPECT_TRUE(cap.out.find("\nErrExit: ") != std::string::npos);
    }
    const std::string copy = AnnouncedCopy(cap.out);
    if (!copy.empty()) {
      EXPECT_FALSE(fs::exists(copy)) << "file " << i;
    }
  }
  RecordProperty("fatal_exits", fatal);
  RecordProperty("found", found);
  RecordProperty("not_found", none);
  // The generator reaches all three outcomes.
  EXPECT_GT(fatal, 0);
  EXPECT_GT(found, 0);
  EXPECT_GT(none, 0);
}

} // namespace
} // namespace kovra
