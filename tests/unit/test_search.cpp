// The parameter search (-z2) leaves no temporary copy behind, whether it
// finds parameters or finds none, and malformed data never crashes it.
// Whole searches are shown by the golden transcripts (search_*).
#include "app/search.hpp"
#include "scratch_dir.hpp"
#include "test_driver_util.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace kovra::test {
namespace {

using namespace std::string_literals;

// The temporary copy the search made, which the internal mode (-u7) names
// ("" when it made none).
std::string Copy(const Ran& r) { return Find(r.out, "Copy: <([^>]*)>\n"); }

TEST(Search, TheCopyIsRemovedOnEveryPath) {
  ScratchDir dir;
  WriteFile("points.txt", "1\n2\n3\n");
  const std::string lotto = "C49_6_3_6_1_b163_lotto_valid.txt"; // points 0..48
  WriteFile(lotto, ReadFile(KOVRA_SOURCE_DIR "/tests/data/public/" + lotto));
  // Found (t = m = 1 passes), nothing found (-S -M1 takes that candidate
  // away), and a file numbered from 0.
  const std::pair<std::vector<std::string>, int> rows[] = {
      {{"-u7", "-h2", "-z2", "points.txt"}, 1},
      {{"-u7", "-h2", "-z2", "-S", "-M1", "points.txt"}, 0},
      {{"-u7", "-h2", "-z2", "-a0", "-T3", "-M3", lotto}, 1},
  };
  for (const auto& [args, status] : rows) {
    const Ran r = RunKovra(args);
    EXPECT_EQ(r.status, status) << args.back();
    ASSERT_NE(Copy(r), "") << r.out;
    EXPECT_FALSE(std::filesystem::exists(Copy(r))) << Copy(r);
  }
}

// A design that passes every l: the search raises l to 255, the largest a
// counter holds, and asks for no more.
TEST(Search, RaisesLUpTo255) {
  ScratchDir dir;
  WriteFile("points.txt", "1\n2\n3\n");
  RunSettings rs;
  rs.T = rs.M = 1;
  unsigned top = 0;
  const auto passing = [&top](RunSettings& candidate, bool, bool) {
    top = std::max<unsigned>(top, candidate.l);
    return RunOutcome{};
  };
  ConsoleCapture cap;
  EXPECT_TRUE(FindDesignParams(rs, "points.txt", passing));
  EXPECT_EQ(top, 255u);
  EXPECT_NE(cap.out.find("found: v=3,k=1,t=1,m=1,l=255,"), std::string::npos) << cap.out;
}

TEST(Search, MalformedDataNeverCrashesOrLeavesACopy) {
  std::vector<std::string> pieces; // what the random files are made of
  std::istringstream all(
      "1|2|3|5|7|0|12|49|55|255|256|-3|+4|x|ID |ID 5 4 2 5 |0/0 |2/2 |1 2 1 |#|;|"
      "Data|99999999999| | |,|/|\t|\r|\n|\n|\r\n|4,4,5,2,1^2,4,3,18,9|\0|\xe1"s);
  for (std::string piece; std::getline(all, piece, '|');) pieces.push_back(piece);
  ScratchDir dir;
  std::mt19937 rng(20261206);
  std::map<int, int> statuses;
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
    const Ran r = RunKovra({"-u7", "-h2", "-z2", "-T3", "-M4", "f.txt"});
    ++statuses[r.status];
    // Status 0 or 1 is the search's answer, any other a fatal end.
    EXPECT_TRUE(r.status > 1 || r.out.find("\n\nRESULT:\n") != std::string::npos) << s;
    EXPECT_TRUE(Copy(r).empty() || !std::filesystem::exists(Copy(r))) << s;
  }
  // The generator reaches both answers and a fatal end.
  EXPECT_GT(statuses[0], 0);
  EXPECT_GT(statuses[1], 0);
  EXPECT_GT(statuses.size(), 2u);
}

} // namespace
} // namespace kovra::test
