// Shares and threads against the plain whole run, and the merge against
// shares that claim what they cannot. Every design here is above the
// thresholds where threads take over (the m = t scan, the classic masks, the
// meet walk, the analysis of a block on a team, the t-subset report, the
// exact reduction), some of them beyond 256 points.
#include "report/certificate.hpp"
#include "scratch_dir.hpp"
#include "test_driver_util.hpp"
#include "verify/shares.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <random>
#include <regex>

namespace kovra {
namespace {

using test::Ran;
using test::RunKovra;
using Args = std::vector<std::string>;

const std::string kFail462 =
    KOVRA_SOURCE_DIR "/tests/data/public/C49_6_3_6_1_b162_lotto_FAIL462.txt";
const Args kLotto = {"-v49", "-k6", "-t3", "-m6", "-a0", "-h2", "-r1"};
const std::string kTriple =
    KOVRA_SOURCE_DIR "/tests/data/wide/C553_24_2_3_1_b825_one_losing_triple.txt";
const std::string kSample = KOVRA_SOURCE_DIR "/samples/4901683a.616";

// b random k-sets of 1..v, one per line.
void WriteRandomBlocks(const std::string& path, unsigned v, unsigned k, unsigned b, unsigned seed) {
  std::mt19937 rng(seed);
  std::string text;
  std::vector<unsigned> points(v);
  for (unsigned i = 0; i < v; ++i) points[i] = i + 1;
  for (unsigned i = 0; i < b; ++i) {
    std::shuffle(points.begin(), points.end(), rng);
    std::vector<unsigned> block(points.begin(), points.begin() + k);
    std::sort(block.begin(), block.end());
    for (unsigned j = 0; j < k; ++j) text += std::to_string(block[j]) + (j + 1 < k ? " " : "\n");
  }
  test::WriteText(path, text);
}

Args Join(Args a, const Args& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// What a log says of its test: the losing lines, the count and the verdict.
std::string VerdictSection(const std::string& out) {
  static const std::regex kept("LOSING combination|^Losing combinations|^TestRetCode");
  std::string section;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);)
    if (std::regex_search(line, kept)) section += line + "\n";
  return section;
}

// The whole log less what differs from run to run: the command line,
// dates, seconds and the progress rows.
std::string Masked(const std::string& out) {
  static const std::regex date("[A-Z][a-z]{2} [A-Z][a-z]{2} [0-9]{2} [0-9:]{8} [0-9]{4}");
  static const std::regex seconds("[0-9]+ seconds");
  static const std::regex progress("[0-9]+:[0-9]{2} +-?[0-9]+ +[0-9]+:[0-9]{2} *$");
  std::string masked;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (line.find("Cmdline:") != std::string::npos || std::regex_search(line, progress)) continue;
    line = std::regex_replace(std::regex_replace(line, date, "<DATE>"), seconds, "<SECS>");
    masked += line + "\n";
  }
  return masked;
}

struct Split {
  const char* name;
  std::string file;
  Args args;
  std::vector<Args> shares; // one entry per share: its own --threads and --memory
};

TEST(Parts, MergedSharesEqualTheWholeRunWhateverThreadsAndMemoryEachUsed) {
  test::ScratchDir dir;
  WriteRandomBlocks("m5.txt", 80, 10, 2000, 11);  // m = t: 24 million 5-sets
  WriteRandomBlocks("k32.txt", 128, 32, 3000, 7); // m = t, 32-point blocks
  const std::vector<Split> splits = {
      {"m = t, 24 million t-subsets",
       "m5.txt",
       {"-v80", "-k10", "-t5", "-m5", "-h2", "-r1"},
       {{"--threads=1"}, {"--threads=2", "--memory=512K"}, {"--threads=4", "--memory=64M"}}},
      {"m = t, wide blocks",
       "k32.txt",
       {"-v128", "-k32", "-t4", "-m4", "-h2", "-r1"},
       {{"--memory=512K", "--threads=1"}, {"--threads=2"}}},
      {"classic masks", kFail462, kLotto, {{"--threads=1"}, {"--threads=2"}, {"--threads=4"}}},
      {"meet walk", kFail462, Join(kLotto, {"-l2"}), {{"--threads=2"}, {"--threads=1"}}},
      {"m < k",
       kFail462,
       {"-v49", "-k6", "-t3", "-m4", "-l2", "-a0", "-h2", "-r1"},
       {{"--threads=1"}, {"--threads=2"}}},
      {"553 points", kTriple, {"-h2", "-r1"}, {{"--threads=2"}, {"--threads=1"}, {"--threads=4"}}},
  };
  for (const Split& s : splits) {
    SCOPED_TRACE(s.name);
    // The whole run's complete pass alone (-Q0): the sampled passes would
    // list the losing m-sets they meet first, not the first in order.
    const Ran whole = RunKovra(Join(Join({s.file}, s.args), {"-o4", "-Q0"}));
    ASSERT_EQ(whole.status, 1) << whole.out;
    Args merge = {"--merge", "-o4", "-h2"};
    const auto n = static_cast<unsigned>(s.shares.size());
    for (unsigned i = 1; i <= n; ++i) {
      const std::string cert = "share" + std::to_string(i) + ".json";
      const std::string part = "--part=" + std::to_string(i) + "/" + std::to_string(n);
      const Ran share = RunKovra(
          Join(Join(Join({s.file}, s.args), s.shares[i - 1]), {"-o4", part, "--json=" + cert}));
      ASSERT_LE(share.status, 1) << share.out;
      EXPECT_NE(share.out.find("(share " + std::to_string(i) + " of " + std::to_string(n) + " of "),
                std::string::npos);
      merge.push_back(cert);
    }
    const Ran merged = RunKovra(merge);
    EXPECT_EQ(merged.status, whole.status) << merged.out;
    EXPECT_EQ(VerdictSection(merged.out), VerdictSection(whole.out));
    for (unsigned i = 1; i <= n; ++i) std::remove(("share" + std::to_string(i) + ".json").c_str());
  }
}

TEST(Parts, OneTwoAndFourThreadsPrintTheSameLog) {
  test::ScratchDir dir;
  WriteRandomBlocks("m5.txt", 80, 10, 2000, 11);
  WriteRandomBlocks("k32.txt", 128, 32, 3000, 7);
  // Blocks of 32 points on 300 (four words), the analysis of each on a team:
  // 700 random ones, then the first 100 of them again, redundant.
  WriteRandomBlocks("k32w.txt", 300, 32, 700, 5);
  {
    std::string blocks = test::ReadText("k32w.txt"), more;
    std::istringstream in(blocks);
    int n = 0;
    for (std::string line; std::getline(in, line) && n < 100; ++n) more += line + "\n";
    test::WriteText("k32w.txt", blocks + more);
  }
  const std::vector<Args> runs = {
      {"m5.txt", "-v80", "-k10", "-t5", "-m5", "-x", "-s", "-o3"}, // the scan and the report
      {"k32.txt", "-v128", "-k32", "-t4", "-m4", "-o3", "-d"},     // the analysis on a team
      {"k32w.txt", "-v300", "-k32", "-t4", "-m4", "-o3", "-d"},    // and its bits in five words
      {"k32w.txt", "-v300", "-k32", "-t4", "-m4", "-l2", "-o3"},   // and bytes
      Join({kFail462, "-o5", "--profile"}, kLotto),                // masks and the profile
      Join({kFail462, "-o5", "-l2"}, kLotto),                      // the meet walk
      Join({kSample, "--reduce", "-d"}, kLotto),                   // the reduction by walks
      {kTriple, "-m2", "--reduce", "-d", "-o3"},                   // by walks, 553 points
  };
  for (const Args& run : runs) {
    SCOPED_TRACE(run.front() + " " + run[1]);
    const Ran one = RunKovra(Join(run, {"-h2", "-r1", "--threads=1"}));
    for (const char* threads : {"--threads=2", "--threads=4"}) {
      const Ran more = RunKovra(Join(run, {"-h2", "-r1", threads}));
      EXPECT_EQ(more.status, one.status);
      EXPECT_EQ(Masked(more.out), Masked(one.out)) << threads;
    }
  }
}

// ---- The merge against edited shares ----

using Json = nlohmann::ordered_json;

// A share's line as the program writes it, with the digest made anew: what
// anyone can do after an edit.
std::string Redigested(Json j) {
  j["part"].erase("digest");
  j["part"]["digest"] = Sha256Hex(j.dump(-1, ' ', false, Json::error_handler_t::replace));
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

struct Shares {
  std::vector<Json> lines;
  // Writes the shares (edited or not) and merges them.
  Ran Merge(const std::vector<std::string>& extraFiles = {}) const {
    Args args = {"--merge", "-o5", "-h2"};
    for (size_t i = 0; i < lines.size(); ++i) {
      std::string name = "s";
      name += std::to_string(i + 1);
      name += ".json";
      test::WriteText(name, Redigested(lines[i]) + "\n");
      args.push_back(name);
    }
    return RunKovra(Join(args, extraFiles));
  }
};

// The 162-ticket wheel's 462 losing draws, tested in two shares of -o`keep`.
Shares TwoShares(unsigned keep = 3) {
  Shares s;
  for (const char* part : {"--part=1/2", "--part=2/2"}) {
    const Ran r = RunKovra(
        Join(Join({kFail462}, kLotto), {part, "--json=p.json", "-o" + std::to_string(keep)}));
    EXPECT_EQ(r.status, 1) << r.out;
    s.lines.push_back(Json::parse(test::ReadText("p.json")));
    std::remove("p.json");
  }
  return s;
}

void ExpectRefused(const Ran& r, const std::string& why) {
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_NE(r.out.find(why), std::string::npos) << r.out;
}

TEST(Parts, MergeRefusesSharesThatClaimWhatTheyCannot) {
  test::ScratchDir dir;
  const Shares genuine = TwoShares();
  {
    const Ran r = genuine.Merge();
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("Losing combinations:     462"), std::string::npos) << r.out;
  }
  const auto edited = [&](const std::function<void(Json&)>& edit) {
    Shares s = genuine;
    edit(s.lines[1]);
    return s.Merge();
  };
  ExpectRefused(edited([](Json& j) {
                  j["verdict"] = "OK";
                  j["losing"]["count"] = 0;
                }),
                "claims OK with losing m-sets");
  ExpectRefused(edited([](Json& j) { j["losing"]["count"] = 0; }), "claims FAIL with a count of 0");
  ExpectRefused(edited([](Json& j) { j["losing"]["count"] = nullptr; }),
                "claims FAIL without a count");
  ExpectRefused(edited([](Json& j) { j["losing"]["count"] = 2; }),
                "claims fewer losing m-sets than it lists");
  ExpectRefused(edited([](Json& j) { j["losing"]["count"] = UINT64_MAX; }),
                "more losing m-sets than its piece of the walk holds");
  ExpectRefused(edited([](Json& j) { j["verdict"] = "MAYBE"; }),
                "its verdict \"MAYBE\" is none of OK, FAIL and UNDECIDED");
  ExpectRefused(edited([](Json& j) { j["losing"]["first"][0][5] = 49; }),
                "a losing set that is not m distinct ascending points");
  ExpectRefused(edited([](Json& j) { j["losing"]["first"][0].push_back(48); }),
                "a losing set that is not m distinct ascending points");
  ExpectRefused(
      edited([](Json& j) { std::swap(j["losing"]["first"][0], j["losing"]["first"][1]); }),
      "out of order or outside its piece");
  ExpectRefused(edited([](Json& j) { j["part"]["cut"]["from"] = 1; }), "cut differently");
  // Other parameters: with the fingerprint left as it was, and with the one
  // they make (a share of another test altogether).
  ExpectRefused(edited([](Json& j) { j["params"]["l"] = 2; }), "of another design or other");
  ExpectRefused(edited([](Json& j) {
                  j["params"]["l"] = 2;
                  j["part"]["fingerprint"] =
                      PartFingerprint(DesignParams{49, 6, 3, 6, 2}, j["sha256"].get<std::string>());
                }),
                "of another design or other");
  {
    // Pieces that tile the walk, but not as the shares walked them.
    Shares s = genuine;
    s.lines[0]["part"]["cut"]["to"] = 0;
    s.lines[1]["part"]["cut"]["from"] = 0;
    ExpectRefused(s.Merge(), "claims more losing m-sets than its piece of the walk holds");
  }
  {
    Shares s = genuine;
    s.lines.pop_back();
    ExpectRefused(s.Merge(), "part 2 of 2 is missing");
  }
  {
    Shares s = genuine;
    s.lines[1] = s.lines[0];
    ExpectRefused(s.Merge(), "part 1 of 2 appears twice");
  }
  // A line edited without a new digest is found out as damaged.
  {
    Json j = genuine.lines[1];
    const std::string digest = j["part"]["digest"];
    j["losing"]["count"] = 300;
    j["part"]["digest"] = digest;
    test::WriteText("s1.json", Redigested(genuine.lines[0]) + "\n");
    test::WriteText("s2.json", j.dump() + "\n");
    ExpectRefused(RunKovra({"--merge", "s1.json", "s2.json"}), "its digest does not match");
  }
  // Files that hold no shares are no empty shares.
  std::filesystem::create_directory("shares.d");
  ExpectRefused(genuine.Merge({"shares.d"}), "is a directory");
  ExpectRefused(genuine.Merge({"/dev/null"}), "is not a regular file");
}

TEST(Parts, MergeRefusesATotalBeyond64Bits) {
  test::ScratchDir dir;
  // Two shares of C(128,20) draws, each claiming 2^64-1 of them: every
  // claim fits its piece, the sum does not.
  const DesignParams p{128, 32, 3, 20, 1};
  const std::string sha(64, 'a');
  const uint64_t jobs = PrefixJobs(128, 20).size();
  Shares s;
  for (unsigned i = 1; i <= 2; ++i) {
    Certificate c;
    c.file = "huge.txt";
    c.params = p;
    c.verdict = CertificateVerdict::kFail;
    c.losingCounted = true;
    c.losingCount = UINT64_MAX;
    const unsigned first = i == 1 ? 1 : 3; // prefix (1,6) and (3,8)
    std::vector<unsigned> set;
    for (unsigned q = 0; q < 20; ++q) set.push_back(first + q * 5);
    c.losingFirst = {set};
    c.sha256 = sha;
    c.partIndex = i;
    c.partCount = 2;
    c.fingerprint = PartFingerprint(p, sha);
    c.cutUnit = "prefixes";
    c.cutFrom = i == 1 ? 0 : 127;
    c.cutTo = i == 1 ? 127 : jobs;
    c.cutOf = jobs;
    s.lines.push_back(Json::parse(CertificateJson(c)));
  }
  ExpectRefused(s.Merge(), "add up to more than 2^64-1");
}

TEST(Parts, MergePrintsOnlyTheLosingSetsThatAreCertainlyTheFirst) {
  test::ScratchDir dir;
  // Share 1 kept 1 of its losing draws: those of share 2 are not the next.
  Shares s = TwoShares(1);
  const Ran r = s.Merge();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(test::LosingCombinations(r.out).size(), 1u) << r.out;
  EXPECT_NE(r.out.find("run them with -o5"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Losing combinations:     462"), std::string::npos) << r.out;
}

TEST(Parts, AShareRefusesWhatNeedsTheWholeTest) {
  test::ScratchDir dir;
  for (const char* option : {"-e", "-c", "--reduce", "--profile", "-d", "-x", "-y-"}) {
    const Ran r = RunKovra(Join(Join({kFail462}, kLotto), {"--part=1/2", "--json=x.json", option}));
    EXPECT_EQ(r.status, 1) << option;
    EXPECT_NE(r.out.find(std::string("Err: --part tests one share of the design; ") + option +
                         " needs the whole test."),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(std::filesystem::exists("x.json")) << option;
  }
}

} // namespace
} // namespace kovra
