// The worked examples of docs/C_DECODE.TXT against what the program writes
// for the same design (v = 5, k = 2, t = m = 2, l = 1, blocks {1,2}, {1,3},
// {2,4}, {3,5}): the plain header, the ctext ID and item lines and the cbin
// bytes, with and without repeats, and the cbin statistics lines. The
// examples are read out of the document itself, so the two cannot drift
// apart.
#include "scratch_dir.hpp"
#include "test_driver_util.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace kovra::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Trim(const std::string& s) {
  const auto a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

class DecodeDoc : public ::testing::Test {
protected:
  void SetUp() override {
    doc_ = Lines(ReadText(std::string(KOVRA_SOURCE_DIR) + "/docs/C_DECODE.TXT"));
    ASSERT_GT(doc_.size(), 100u);
  }

  // The index of the first line at or after `from` that contains `marker`.
  size_t After(const std::string& marker, size_t from = 0) const {
    for (size_t i = from; i < doc_.size(); ++i)
      if (doc_[i].find(marker) != std::string::npos) return i;
    ADD_FAILURE() << "C_DECODE.TXT has no line with \"" << marker << "\"";
    return doc_.size();
  }

  // The first `n` non-empty lines after the marker line, trimmed.
  std::vector<std::string> LinesAfter(const std::string& marker, size_t n, size_t from = 0) const {
    std::vector<std::string> out;
    for (size_t i = After(marker, from) + 1; i < doc_.size() && out.size() < n; ++i)
      if (!Trim(doc_[i]).empty()) out.push_back(Trim(doc_[i]));
    return out;
  }

  // The bytes of the first line after the marker that holds only hex pairs.
  std::string HexAfter(const std::string& marker) const {
    const std::regex hexLine("^ *([0-9A-F]{2} )+[0-9A-F]{2} *$");
    for (size_t i = After(marker) + 1; i < doc_.size(); ++i) {
      if (!std::regex_match(doc_[i], hexLine)) continue;
      std::string bytes;
      std::istringstream in(doc_[i]);
      for (std::string pair; in >> pair;) bytes += static_cast<char>(std::stoi(pair, nullptr, 16));
      return bytes;
    }
    ADD_FAILURE() << "no hex line after \"" << marker << "\"";
    return "";
  }

  // Writes the example and returns the run and the new file's content. The
  // example is no covering for t = m = 2 (the pair {1,4} lies in no block),
  // so -e, which writes only a verified design, cannot write it with those
  // parameters. Two routes reach the document's files:
  //  - kReduced: the file repeats the last block and -c writes the reduced
  //    design (the four blocks, t = m = 2) although the test fails;
  //  - kVerified: -e -t1 -m1, which the four blocks satisfy; only the t/m
  //    column of the ID line reads 1/1 instead of 2/2.
  enum Route { kReduced, kVerified };
  std::pair<Ran, std::string> Write(Route route, const std::vector<std::string>& options) {
    const std::string blocks = "1 2\n1 3\n2 4\n3 5\n";
    std::vector<std::string> args{"example.txt"};
    if (route == kReduced) {
      WriteText("example.txt", "ID 5 5 2 5 0/0 2/2 1 2 1 0 4 2 64 1 ...\n" + blocks + "3 5\n");
      args.push_back("-c");
    } else {
      WriteText("example.txt", "ID 5 4 2 5 0/0 2/2 1 2 1 0 4 2 64 1 ...\n" + blocks);
      args.insert(args.end(), {"-e", "-t1", "-m1"});
    }
    args.insert(args.end(), options.begin(), options.end());
    const Ran r = RunKovra(args);
    EXPECT_EQ(r.status, route == kReduced ? 1 : 0) << r.out;
    // The old-style name of C(5,2,t,m,1) with 4 blocks.
    const std::string name = route == kReduced ? "0500042a.212" : "0500041a.112";
    EXPECT_NE(r.out.find("Created new file <" + name + ">."), std::string::npos) << r.out;
    const std::string text = ReadText(name);
    fs::remove(name);
    return {r, text};
  }

  // The document's ID line as the verified route writes it.
  static std::string WithT1M1(std::string idLine) {
    const auto at = idLine.find(" 2/2 ");
    EXPECT_NE(at, std::string::npos) << idLine;
    if (at != std::string::npos) idLine.replace(at, 5, " 1/1 ");
    return idLine;
  }

  ScratchDir dir_;
  std::vector<std::string> doc_;
};

TEST_F(DecodeDoc, CTextExamplesAreWhatTheProgramWrites) {
  const std::vector<std::string> withRepeats = LinesAfter("Example, written with repeats", 2);
  const std::vector<std::string> noRepeats = LinesAfter("and without repeats", 2);
  ASSERT_EQ(withRepeats.size(), 2u);
  ASSERT_EQ(noRepeats.size(), 2u);
  EXPECT_EQ(withRepeats[1], "4,4,5,2,1^2,4,3,18,9"); // the document shows the worked numbers
  EXPECT_EQ(Write(kReduced, {"-g1"}).second, withRepeats[0] + "\n" + withRepeats[1] + "\n");
  EXPECT_EQ(Write(kReduced, {"-g1", "-N-"}).second, noRepeats[0] + "\n" + noRepeats[1] + "\n");
  EXPECT_EQ(Write(kVerified, {"-g1"}).second,
            WithT1M1(withRepeats[0]) + "\n" + withRepeats[1] + "\n");
  EXPECT_EQ(Write(kVerified, {"-g1", "-N-"}).second,
            WithT1M1(noRepeats[0]) + "\n" + noRepeats[1] + "\n");
}

TEST_F(DecodeDoc, CBinExamplesAreWhatTheProgramWrites) {
  const std::string withRepeats = HexAfter("in hexadecimal:");
  const std::string noRepeats = HexAfter("Example without repeats");
  ASSERT_EQ(withRepeats.size(), 19u);
  ASSERT_EQ(noRepeats.size(), 19u);
  // The ID line of a cbin file: no padding, Base 1, bCmpr 2, CLL 64 and
  // CfExp 1 whatever -N says.
  const std::string idLine = "ID 5 4 2 5 0/0 2/2 1 2 1 2 4 2 64 1 ...";
  const auto [run, file] = Write(kReduced, {"-g2"});
  EXPECT_EQ(file, idLine + "\n" + withRepeats);
  EXPECT_EQ(Write(kReduced, {"-g2", "-N-"}).second, idLine + "\n" + noRepeats);
  EXPECT_EQ(Write(kVerified, {"-g2"}).second, WithT1M1(idLine) + "\n" + withRepeats);
  EXPECT_EQ(Write(kVerified, {"-g2", "-N-"}).second, WithT1M1(idLine) + "\n" + noRepeats);

  // The statistics lines as the document prints them (it drops the
  // trailing blank of each line).
  const std::vector<std::string> stats = LinesAfter("When KOVRA writes or reads cbin", 2);
  ASSERT_EQ(stats.size(), 2u);
  EXPECT_NE(run.out.find(stats[0] + " \n" + stats[1] + " \n"), std::string::npos) << run.out;
}

// The document's plain file says "Converted by KOVRA", which is what -e
// writes; the reduced route writes its own comment and the real t/m.
TEST_F(DecodeDoc, PlainHeaderExampleIsWhatTheProgramWrites) {
  // From the column line on: six header lines and the four blocks.
  const size_t from = After("A plain file written by KOVRA has this header");
  const std::vector<std::string> example = LinesAfter("line:", 10, from);
  ASSERT_EQ(example.size(), 10u);
  EXPECT_EQ(example[0].rfind("#ID", 0), 0u);
  for (const Route route : {kReduced, kVerified}) {
    SCOPED_TRACE(route == kReduced ? "reduced" : "verified");
    const std::vector<std::string> written = Lines(Write(route, {"-g0"}).second);
    ASSERT_EQ(written.size(), 10u);
    for (size_t i = 0; i < written.size(); ++i) {
      const std::string line = Trim(written[i]);
      if (line.rfind("Date ", 0) == 0)
        EXPECT_EQ(example[i].substr(0, 9), written[i].substr(0, 9)); // "Date" and its padding
      else if (route == kReduced && line.rfind("Comments ", 0) == 0)
        EXPECT_EQ(line, "Comments Redundant blocks removed by KOVRA");
      else if (route == kVerified && line.rfind("ID ", 0) == 0)
        EXPECT_EQ(WithT1M1(example[i]), line);
      else
        EXPECT_EQ(example[i], line) << "line " << i + 1;
    }
  }
}

TEST_F(DecodeDoc, BothCompressedExamplesLoadBackToTheFourBlocks) {
  const std::vector<PointSet> blocks = {0b110, 0b1010, 0b10100, 0b101000}; // 12 13 24 35
  const std::vector<std::string> ctext = LinesAfter("Example, written with repeats", 2);
  ASSERT_EQ(ctext.size(), 2u);
  WriteText("doc.ctext", ctext[0] + "\n" + ctext[1] + "\n");
  WriteText("doc.cbin", "ID 5 4 2 5 0/0 2/2 1 2 1 2 4 2 64 1 ...\n" + HexAfter("in hexadecimal:"));
  WriteText("doc_norep.cbin",
            "ID 5 4 2 5 0/0 2/2 1 2 1 2 4 2 64 1 ...\n" + HexAfter("Example without repeats"));
  for (const char* name : {"doc.ctext", "doc.cbin", "doc_norep.cbin"}) {
    SCOPED_TRACE(name);
    // Converted with the parameters the four blocks satisfy.
    const Ran r = RunKovra({name, "-e", "-g0", "-t1", "-m1"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(PlainBlocks(ReadText("0500041a.112")), blocks);
    fs::remove("0500041a.112");
  }
}

} // namespace
} // namespace kovra::test
