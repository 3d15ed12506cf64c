// The design loader: both header scans, the plain block reader, its fatal
// exits, close-gaps, the "load" indirection and ReadSys/LoadSys on top.
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "compressed_samples.hpp"
#include "formats/loader.hpp"
#include "formats/textfmt.hpp"
#include "scratch_dir.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace kovra {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using Blocks = samples::BlockList;
using samples::ListOf;

struct Loaded {
  BlockArray blocks;
  LoadParams io;
  int exitCode = -1; // the ErrExit code, -1 when the loader returned
  std::string out, err;
  Blocks Points() const { return blocks ? ListOf(blocks.get(), io.b, io.k) : Blocks{}; }
};

Loaded Load(const std::string& path, bool nameGiven, LoadParams io = {}, uint8_t kind = 0,
            bool closeGaps = false, bool newScheme = true) {
  Loaded r;
  r.io = io;
  ConsoleCapture capture;
  try {
    r.blocks = SysLoad(path.c_str(), r.io, nameGiven, kind, closeGaps, newScheme);
  } catch (const FatalExit& e) {
    r.exitCode = e.code;
  }
  r.out = capture.out;
  r.err = capture.err;
  return r;
}

// Writes `text` to `name` in the scratch directory; returns the name.
std::string Write(const std::string& name, const std::string& text) {
  test::WriteFile(name, text);
  return name;
}

// Writes a plain design the way the program does.
std::string WriteDesign(const std::string& name, uint16_t v, uint16_t k, uint16_t t, uint16_t m,
                        uint16_t l, uint16_t base, const Blocks& blocks) {
  const Sys s = samples::MakeDesign(v, k, blocks, t, m, l, base);
  std::FILE* f = std::fopen(Write(name, "").c_str(), "w");
  EXPECT_NE(f, nullptr);
  IdRecord id = IdLineOf(s, s.b);
  id.Base = base;
  WriteIdHeader(f, id, "Converted by KOVRA");
  WriteBlockLines(s.blocks.get(), s.b, f);
  std::fclose(f);
  return name;
}

std::string Exit(int code, const std::string& text) {
  return "\nErrExit: " + std::to_string(code) + " <" + text + ">\n";
}

const Blocks kFano = {{1, 2, 3}, {1, 4, 5}, {1, 6, 7}, {2, 4, 6}, {2, 5, 7}, {3, 4, 7}, {3, 5, 6}};
const std::string kId7 = "ID 7 1 3 7 0/0 2/2 1 2 1 0 4 2 64 1 ...\n";
const std::string kRange = Exit(6, "Range Err; check Base and try the \"CloseGaps\" option");
const std::string kNoHeader = Exit(3, "Err in SysData or SysHdr");
const std::string kBadHeader = Exit(2, "Err in SysData or SysHdr");
const std::string kNoId = "WARNING: No ID line found. ReCheck v,k and especially t,m,l ! \n";
const LoadParams kGiven{7, 3, 2, 2, 1};

class Loader : public ::testing::Test {
protected:
  test::ScratchDir dir_;
};

TEST_F(Loader, WrittenDesignLoadsBackThroughBothScans) {
  // 500 random blocks of 7 out of 54 points numbered from 201 (the largest
  // point is 254), with l = 2.
  std::mt19937 rng(12345);
  Blocks blocks;
  std::vector<int> points(54);
  for (int p = 0; p < 54; ++p) points[p] = 201 + p;
  for (int i = 0; i < 500; ++i) {
    std::shuffle(points.begin(), points.end(), rng);
    blocks.emplace_back(points.begin(), points.begin() + 7);
  }
  WriteDesign("big.txt", 54, 7, 3, 7, 2, 201, blocks);
  for (const bool nameGiven : {false, true}) {
    const Loaded r = Load("big.txt", nameGiven, {54, 7, 1, 1, 1});
    ASSERT_EQ(r.exitCode, -1) << r.out;
    EXPECT_EQ(r.out, "");
    const LoadParams& p = r.io;
    EXPECT_EQ((std::vector<int>{p.v, p.k, p.t, p.m, p.l, p.base, static_cast<int>(p.b), p.v1,
                                static_cast<int>(BlockK(r.blocks[0]))}),
              (std::vector<int>{54, 7, 3, 7, 2, 201, 500, 54, 7}));
    EXPECT_EQ(r.Points(), blocks);
  }
  // The block counter is for a terminal only; a log gets none of it.
  WriteDesign("fano.txt", 7, 3, 2, 2, 1, 1, kFano);
  EXPECT_EQ(Load("fano.txt", false).err, "");
}

// One small file each: what the loader reads, or how it ends.
TEST_F(Loader, SmallFiles) {
  enum { kNamed = 1, kG1 = 2, kZ = 4 }; // name given, -g1, -z
  const std::string badB = "Err: invalid design parameters v=5,k=2,t=2,m=2,l=1,b=-2147483648,"
                           "v1=5.\n     All values must be >= 1. Check limits and ranges.\n" +
                           kBadHeader;
  const struct {
    std::string text;
    int code;        // the ErrExit code; -1 when the loader returns
    std::string out; // the console, exactly
    Blocks blocks;   // the blocks read; none when no array comes back
    int flags = 0;
  } cases[] = {
      // Keyword scan: "base" and other lines between the ID line and the
      // first block line, which is the first block; a "data" line; an ID
      // line further down than a first block line; "base" and a number
      // after any one separator.
      {"# c\nid 7 2 3 7 0/0 2/2 1 2 1\nBASE 0\nComments 9 x\n0 1 2\n6 5 4\n",
       -1,
       "",
       {{0, 1, 2}, {6, 5, 4}}},
      {"ID 7 1 3 7 0/0 2/2\nData\nwords\n\n4 2 7\n", -1, "", {{4, 2, 7}}},
      {"1 2 3\nID 7 1 3 7 0/0 2/2 1\n4 5 6\n", -1, "", {{4, 5, 6}}},
      {kId7 + "base=5\n5 6 7\n", -1, "", {{5, 6, 7}}},
      // Nothing decides; bad parameters; no block after the ID line.
      {"", 3, kNoHeader, {}},
      {"# only a comment\nwords\n", 3, kNoHeader, {}},
      {"ID 7 1 3 7 0/0 4/2 1\n1 2 3\n",
       2,
       "Err: invalid design parameters v=7,k=3,t=4,m=2,l=1,b=1,v1=7.\n"
       "     All values must be >= 1. t or m invalid: t must be <= m\n" +
           kBadHeader,
       {}},
      {"ID 9 1 8 9 0/0 2/2 1\n1 2 3 4 5 6 7 8\n",
       2,
       "Err: invalid design parameters v=9,k=8,t=2,m=2,l=1,b=1,v1=9.\n"
       "     All values must be >= 1. Check limits and ranges.\n"
       "k(=8) > K_MAX(=7). Adjust K_MAX...\n" +
           kBadHeader,
       {}},
      {"ID 7 1 3 7 0/0 2/2 1\nComments\n", 2, kBadHeader, {}},
      // The check reads b = -1 as "not known": 4294967295 must not pass.
      {"ID 5 4294967295 2 5 0/0 2/2 1 2 1 2\n1 2\n", 2, badB, {}},
      // No ID line: the warning, and without given parameters v = k = 0;
      // with them b is the count of block lines.
      {"1 2 3\n4 5 6\n",
       -1,
       kNoId + "Err: invalid design parameters v=0,k=0,t=0,m=0,l=0,b=2,v1=0.\n"
               "     All values must be >= 1. Check limits and ranges.\n",
       {}},
      {"A header\n\n  words 7\n1 2 3\nComment 9\n7 1 2\n3 4 5\n",
       -1,
       kNoId,
       {{1, 2, 3}, {7, 1, 2}, {3, 4, 5}},
       kNamed},
      // CR line ends, through both scans.
      {"ID 7 2 3 7 0/0 2/2\rData\r1 2 3\r4 5 6\r", -1, "", {{1, 2, 3}, {4, 5, 6}}},
      {"ID 7 2 3 7 0/0 2/2\rData\r1 2 3\r4 5 6\r", -1, "", {{1, 2, 3}, {4, 5, 6}}, kNamed},
      // Each block code from its smallest file, with the line that points at
      // the number, and a further complete block.
      {kId7 + "0 1 2\n", 6, "Err: <f.txt> line 2: point 0 is outside 1..7\n" + kRange, {}},
      {kId7 + "1 2 08\n", 6, "Err: <f.txt> line 2: point 08 is outside 1..7\n" + kRange, {}},
      {kId7 + "1 2 1\n",
       7,
       "Err: <f.txt> line 2: point 1 appears twice\n" + Exit(7, "Dup Err"),
       {}},
      {kId7 + "\r\n1 2 3 4x\n",
       8,
       "Err: <f.txt> line 3: more than k=3 numbers (4 follows)\n" +
           Exit(8, "More than k nbr in line"),
       {}},
      {kId7 + "Data\n",
       11,
       "Err: <f.txt> ends after 0 of 1 blocks\n" + Exit(11, "Missing blocks"),
       {}},
      {kId7 + "1 2\n",
       12,
       "Err: <f.txt> line 2: 2 numbers where k=3 are needed\n" +
           Exit(12, "Less than k nbrs in line"),
       {}},
      {"7 1 2\r1 2\r",
       12,
       kNoId + "Err: <f.txt> line 2: 2 numbers where k=3 are needed\n" +
           Exit(12, "Less than k nbrs in line"),
       {},
       kNamed},
      {kId7 + "1 2 3\n4 5 6\n", 13, Exit(13, "b wrong; too much blocks"), {}},
      // After the b-th block anything but a complete block is accepted.
      {kId7 + "1 2 3\n4 5\n4 5 6 7\n0 5 6\nwords\n", -1, "", {{1, 2, 3}}},
      // Three blocks of three numbers need no more than 15 bytes.
      {"ID 7 3 3 7 0/0 2/2\n1 2 3\n4 5 6\n7 1 2", -1, "", {{1, 2, 3}, {4, 5, 6}, {7, 1, 2}}},
      // A "base" line never wraps to a usable base.
      {kId7 + "base 65537\n1 2 3\n",
       6,
       "Err: <f.txt> line 3: point 1 is outside 65535..65541\n" + kRange,
       {}},
      {kId7 + "base -1\n1 2 3\n",
       6,
       "Err: <f.txt> line 3: point 1 is outside 65535..65541\n" + kRange,
       {}},
      // Close-gaps: renumbered in order of appearance from 1; 0 and 200 are
      // numbers, 256 is not; v distinct numbers at most, and renumbered
      // points within 255.
      {"ID 9 2 3 9 0/0 2/2\n5 9 2\n9 7 2\n", -1, "", {{1, 2, 3}, {2, 4, 3}}, kZ},
      {"ID 4 1 3 4 0/0 2/2\n0 200 3\n", -1, "", {{1, 2, 3}}, kZ},
      {"ID 4 1 3 4 0/0 2/2\n0 256 3\n",
       6,
       "Err: <f.txt> line 2: point 256 is outside 0..255\n" + kRange,
       {},
       kZ},
      {"ID 4 2 3 4 0/0 2/2\n10 20 30\n40 10 20\n", -1, "", {{1, 2, 3}, {4, 1, 2}}, kZ},
      {"ID 4 2 3 4 0/0 2/2\n10 20 30\n40 50 60\n", 6, kRange, {}, kZ},
      {"ID 7 3 3 7 0/0 2/2\nbase 250\n1 2 3\n4 5 6\n7 1 2\n", 6, kRange, {}, kZ},
      // A compressed-text header line is one under -g1 alone (b = 4 from
      // it); under -g1 a plain first line makes the file plain.
      {"4,4,5,2,1^2,4,3,18,9\n", -1, kNoId, {{1, 2}, {1, 3}, {2, 4}, {3, 5}}, kNamed | kG1},
      {"4,4,5,2,1^2,4,3,18,9\n",
       7,
       kNoId + "Err: <f.txt> line 1: point 4 appears twice\n" + Exit(7, "Dup Err"),
       {},
       kNamed},
      {"1 2\n1 3\n", -1, kNoId, {{1, 2}, {1, 3}}, kNamed | kG1},
      // An ID line of an unknown encoding.
      {"ID 7 1 3 7 0/0 2/2 1 2 1 3\n1 2 3\n", -1, "Err: Invalid Compression Arg 3\n", {}},
  };
  for (const auto& c : cases) {
    const bool g1 = (c.flags & kG1) != 0;
    const Loaded r = Load(Write("f.txt", c.text), (c.flags & kNamed) != 0,
                          g1 ? LoadParams{5, 2, 2, 2, 1} : kGiven, g1 ? 1 : 0, (c.flags & kZ) != 0);
    EXPECT_EQ(r.exitCode, c.code) << c.text;
    EXPECT_EQ(r.Points(), c.blocks) << c.text;
    EXPECT_EQ(r.blocks != nullptr, !c.blocks.empty()) << c.text;
    EXPECT_EQ(r.out, c.out) << c.text;
  }
  // An ID line with v, b and k alone keeps the caller's t, m and l.
  const Loaded s = Load(Write("s.txt", "Id 7 2 3\n1 2 3\n4 5 6\n"), true, {7, 3, 2, 3, 2});
  EXPECT_EQ((std::vector<int>{s.io.t, s.io.m, s.io.l, static_cast<int>(s.io.b)}),
            (std::vector<int>{2, 3, 2, 2}));
  // A b far beyond what the file can hold ends before anything is allocated
  // or read.
  const Loaded huge = Load(Write("h.txt", "ID 7 2000000000 3 7 0/0 2/2 1\n1 2 3\n"), false);
  EXPECT_EQ(huge.exitCode, 11);
  EXPECT_EQ(huge.out, "Err: <h.txt> has 36 bytes, too few for 2000000000 blocks\n" +
                          Exit(11, "Missing blocks"));
}

TEST_F(Loader, WhatCannotBeReadGivesNoArrayAndALineThatSaysWhy) {
  const std::string locked = WriteDesign("locked.txt", 7, 3, 2, 2, 1, 1, kFano);
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  std::FILE* probe = std::fopen(locked.c_str(), "r"); // opens when run with rights to read any file
  const bool rootReads = probe != nullptr;
  if (probe != nullptr) std::fclose(probe);
  const std::pair<std::string, std::string> cases[] = {
      {".", "Is a directory"},
      {"missing.txt", "No such file or directory"},
      {locked, "Permission denied"},
      {"/dev/zero", "not a regular file or FIFO"},
  };
  for (const auto& [path, reason] : cases) {
    if (path == locked && rootReads) continue;
    for (const bool nameGiven : {false, true}) {
      const Loaded r = Load(path, nameGiven, kGiven);
      EXPECT_EQ(r.exitCode, -1) << path;
      EXPECT_EQ(r.blocks, nullptr) << path;
      EXPECT_EQ(r.out + r.err, "Err: can't open <" + path + "> (" + reason + ")\n");
    }
  }
}

TEST_F(Loader, LoadLinesAreRelativeToTheFileThatNamesThem) {
  WriteDesign("A/SUB/X.TXT", 7, 3, 2, 2, 1, 1, kFano);
  Write("A/ab31.txt", "# the design lives elsewhere\nload SUB/X.TXT   # comment\n");
  const fs::path before = fs::current_path();
  Loaded r = Load("A/ab31.txt", false);
  EXPECT_EQ(fs::current_path(), before);
  ASSERT_EQ(r.exitCode, -1) << r.out;
  EXPECT_EQ(r.Points(), kFano);
  // t and m from the digits of the naming file's base name.
  EXPECT_EQ(r.io.t, 3);
  EXPECT_EQ(r.io.m, 1);
  // The current directory comes back when the loaded file ends the program.
  Write("A/SUB/bad.txt", kId7 + "1 2 2\n");
  r = Load(Write("A/top.txt", "load SUB/bad.txt\n"), false);
  EXPECT_EQ(r.exitCode, 7);
  EXPECT_EQ(fs::current_path(), before);
  // Sixteen nested "load" lines are fine; a file that loads itself, or two
  // that load each other, stop with an error.
  std::string chain[17];
  for (int i = 0; i < 16; ++i) chain[i] = "n" + std::to_string(i);
  chain[16] = "A/SUB/X.TXT";
  for (int i = 0; i < 16; ++i) Write(chain[i], "load " + chain[i + 1]);
  EXPECT_EQ(Load("n0", false).Points(), kFano);
  r = Load(Write("self.txt", "load self.txt\n"), false);
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_EQ(r.blocks, nullptr);
  EXPECT_EQ(r.out, "Err: more than 16 nested \"load\" lines; is there a loop? self.txt\n");
  Write("b.txt", "load a.txt\n");
  r = Load(Write("a.txt", "load b.txt\n"), false);
  EXPECT_EQ(r.blocks, nullptr);
  EXPECT_EQ(r.out, "Err: more than 16 nested \"load\" lines; is there a loop? a.txt\n");
  EXPECT_EQ(fs::current_path(), before);
}

TEST_F(Loader, LongNames) {
  // A path of any length loads; a name longer than the record holds is
  // refused by LoadSys rather than cut to some other file's name.
  std::string rel;
  for (int i = 0; i < 6; ++i) rel += std::string(50, static_cast<char>('a' + i)) + "/";
  const std::string deep = WriteDesign(rel + "0700072a.213", 7, 3, 2, 2, 1, 1, kFano);
  const Loaded r = Load(deep, false, {}, 0, false, false);
  ASSERT_EQ(r.exitCode, -1) << r.out;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.Points(), kFano);
  const std::string fits = WriteDesign(std::string(FNAME_CAPACITY, 'f'), 7, 3, 2, 2, 1, 1, kFano);
  Sys sys;
  {
    ConsoleCapture capture;
    EXPECT_TRUE(LoadSys(sys, fits.c_str(), LoadOptions{true, 1, 0, false}));
  }
  EXPECT_EQ(std::string(sys.szFileName), fits);
  const std::string tooLong = WriteDesign(fits + "g", 7, 3, 2, 2, 1, 1, kFano);
  ConsoleCapture capture;
  EXPECT_FALSE(LoadSys(sys, tooLong.c_str(), LoadOptions{true, 1, 0, false}));
  EXPECT_FALSE(IsSysLoaded(sys));
  EXPECT_EQ(capture.out, "Err: file name longer than 145 characters: " + tooLong + "\n");
}

TEST_F(Loader, ReadSysRenumbersSortsAndKeepsVAndK) {
  Write("r.txt", "ID 7 2 3 7 0/0 2/2\nbase 0\n2 0 1\n6 5 4\n");
  Sys sys;
  sys.fNewFNameScheme = 1;
  ConsoleCapture capture;
  ASSERT_TRUE(LoadSys(sys, "r.txt", LoadOptions{true, 1, 0, false}));
  EXPECT_EQ(sys.given.usFileBase, 0);
  EXPECT_EQ(sys.base, 1);
  EXPECT_EQ(sys.ulAlloc, 2u);
  EXPECT_EQ(ListOf(sys.blocks.get(), sys.b, sys.k), (Blocks{{1, 2, 3}, {5, 6, 7}}));
  // A negative base keeps the record's; unsorted reading keeps the order.
  sys.base = 0;
  ASSERT_TRUE(ReadSys(sys, false, LoadOptions{false, -1, 0, false}));
  EXPECT_EQ(ListOf(sys.blocks.get(), sys.b, sys.k), (Blocks{{2, 0, 1}, {6, 5, 4}}));
  EXPECT_EQ(capture.out, "");
  // v and k cannot be overridden.
  sys.given.v = 8;
  EXPECT_FALSE(LoadSys(sys, "r.txt", LoadOptions{true, 1, 0, false}));
  EXPECT_EQ(capture.out, "Err: v and k can't be overridden!\n");
  EXPECT_EQ(sys.b, 0u);
  // A failed read leaves no array.
  Write("r.txt", "1 2 3\n");
  EXPECT_FALSE(ReadSys(sys, false, LoadOptions{false, 1, 0, false}));
  EXPECT_EQ(sys.blocks, nullptr);
  EXPECT_EQ(sys.ulAlloc, 0u);
  EXPECT_FALSE(IsSysLoaded(sys));
}

} // namespace
} // namespace kovra
