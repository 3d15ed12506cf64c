// The worked examples of docs/C_DECODE.TXT against what the program writes
// for the same design (v = 5, k = 2, t = m = 2, l = 1, blocks {1,2}, {1,3},
// {2,4}, {3,5}): the plain header, the ctext ID and item lines and the cbin
// bytes, with and without repeats, and the cbin statistics lines. They are
// read out of the document itself, so the two cannot drift apart.
#include "scratch_dir.hpp"
#include "test_driver_util.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace kovra::test {
namespace {

// The lines of a text without the blanks around them.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string s; std::getline(in, s);) {
    const auto a = s.find_first_not_of(' ');
    lines.push_back(a == std::string::npos ? "" : s.substr(a, s.find_last_not_of(' ') - a + 1));
  }
  return lines;
}

class DecodeDoc : public ::testing::Test {
protected:
  // The first line at or after `from` that holds `marker`.
  size_t Find(const std::string& marker, size_t from = 0) {
    while (from < doc_.size() && doc_[from].find(marker) == std::string::npos) ++from;
    return from;
  }

  // The first `n` non-empty lines after that line.
  std::vector<std::string> LinesAfter(const std::string& marker, size_t n, size_t from = 0) {
    std::vector<std::string> out;
    for (size_t i = Find(marker, from) + 1; i < doc_.size() && out.size() < n; ++i)
      if (!doc_[i].empty()) out.push_back(doc_[i]);
    EXPECT_EQ(out.size(), n) << marker;
    return out;
  }

  // The bytes of the first line after the marker that holds only hex pairs.
  std::string HexAfter(const std::string& marker) {
    const std::regex hexLine("^ *([0-9A-F]{2} )+[0-9A-F]{2} *$");
    for (const std::string& line : LinesAfter(marker, 12)) {
      if (!std::regex_match(line, hexLine)) continue;
      std::string bytes;
      std::istringstream in(line);
      for (std::string pair; in >> pair;) bytes += static_cast<char>(std::stoi(pair, nullptr, 16));
      return bytes;
    }
    ADD_FAILURE() << "no hex line after \"" << marker << "\"";
    return "";
  }

  // Writes the example and returns the new file's content (and the run). It
  // is no covering for t = m = 2 (the pair {1,4} lies in no block), so -e,
  // which writes only a verified design, cannot write it; with the last block
  // repeated, -c writes the reduced design although the test fails.
  std::string Write(std::vector<std::string> args, Ran* ran = nullptr) {
    WriteText("example.txt", "ID 5 5 2 5 0/0 2/2 1 2 1 0 4 2 64 1 ...\n1 2\n1 3\n2 4\n3 5\n3 5\n");
    args.insert(args.begin(), {"example.txt", "-c"});
    const Ran r = RunKovra(args);
    EXPECT_EQ(r.status, 1) << r.out;
    if (ran != nullptr) *ran = r;
    EXPECT_NE(r.out.find("Created new file <0500042a.212>."), std::string::npos) << r.out;
    const std::string text = ReadText("0500042a.212");
    std::filesystem::remove("0500042a.212");
    return text;
  }

  ScratchDir dir_;
  std::vector<std::string> doc_ =
      Lines(ReadText(std::string(KOVRA_SOURCE_DIR) + "/docs/C_DECODE.TXT"));
};

TEST_F(DecodeDoc, ExamplesAreWhatTheProgramWrites) {
  const std::vector<std::string> rep = LinesAfter("Example, written with repeats", 2);
  const std::vector<std::string> noRep = LinesAfter("and without repeats", 2);
  ASSERT_EQ(rep.size() + noRep.size(), 4u);
  EXPECT_EQ(rep[1], "4,4,5,2,1^2,4,3,18,9"); // the document shows the worked numbers
  const std::string cbinRep = HexAfter("in hexadecimal:");
  const std::string cbinNoRep = HexAfter("Example without repeats");
  // The plain file from the column line on: six header lines and the blocks.
  const std::vector<std::string> plain =
      LinesAfter("line:", 10, Find("A plain file written by KOVRA has this header"));
  ASSERT_EQ(plain[0].rfind("#ID", 0), 0u);
  // A cbin ID line has no padding, Base 1, bCmpr 2, CLL 64 and CfExp 1
  // whatever -N says.
  const std::string cbinId = "ID 5 4 2 5 0/0 2/2 1 2 1 2 4 2 64 1 ...\n";
  EXPECT_EQ(Write({"-g1"}), rep[0] + "\n" + rep[1] + "\n");
  EXPECT_EQ(Write({"-g1", "-N-"}), noRep[0] + "\n" + noRep[1] + "\n");
  EXPECT_EQ(Write({"-g2", "-N-"}), cbinId + cbinNoRep);
  Ran run;
  EXPECT_EQ(Write({"-g2"}, &run), cbinId + cbinRep);
  // The statistics lines as the document prints them (it drops the trailing
  // blank of each line).
  const std::vector<std::string> stats = LinesAfter("When KOVRA writes or reads cbin", 2);
  EXPECT_NE(run.out.find(stats[0] + " \n" + stats[1] + " \n"), std::string::npos) << run.out;
  // The document shows what -e writes; -c has its own comment.
  const std::vector<std::string> written = Lines(Write({"-g0"}));
  ASSERT_EQ(written.size(), plain.size());
  for (size_t i = 0; i < written.size(); ++i) {
    const std::string& line = written[i];
    if (line.rfind("Date ", 0) == 0)
      EXPECT_EQ(plain[i].substr(0, 9), written[i].substr(0, 9)); // "Date" and its padding
    else if (line.rfind("Comments ", 0) == 0)
      EXPECT_EQ(line + " / " + plain[i],
                "Comments Redundant blocks removed by KOVRA / Comments Converted by KOVRA");
    else
      EXPECT_EQ(line, plain[i]) << "line " << i + 1;
  }
}

} // namespace
} // namespace kovra::test
