// The design loader: both header scans, the plain block reader, its fatal
// exits, close-gaps, the "load" indirection and ReadSys/LoadSys on top.
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "formats/loader.hpp"
#include "formats/textfmt.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace kovra {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using Blocks = std::vector<std::vector<int>>;

// Makes the directory current for its lifetime.
class ChangeDir {
public:
  explicit ChangeDir(const fs::path& dir) : saved_(fs::current_path()) { fs::current_path(dir); }
  ~ChangeDir() { fs::current_path(saved_); }
  ChangeDir(const ChangeDir&) = delete;
  ChangeDir& operator=(const ChangeDir&) = delete;

private:
  fs::path saved_;
};

struct Loaded {
  BlockArray blocks;
  LoadParams io;
  int exitCode = -1; // the ErrExit code, -1 when the loader returned
  std::string out, err;
  Blocks Points() const {
    Blocks all;
    for (uint32_t i = 0; blocks && i < io.b; ++i)
      all.emplace_back(blocks[i].pt, blocks[i].pt + io.k);
    return all;
  }
};

class Loader : public ::testing::Test {
protected:
  void SetUp() override {
    char name[] = "/tmp/kovra-loader-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, ignored);
    fs::remove_all(dir_, ignored);
  }

  // Writes `text` to `name` below the test directory; returns the full path.
  std::string Write(const std::string& name, const std::string& text) const {
    const fs::path path = dir_ / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  // Writes a plain design the way the program does.
  std::string WriteDesign(const std::string& name, uint16_t v, uint16_t k, uint16_t t, uint16_t m,
                          uint16_t l, uint16_t base, const Blocks& blocks) const {
    const std::string path = Write(name, "");
    std::FILE* f = std::fopen(path.c_str(), "w");
    EXPECT_NE(f, nullptr);
    std::vector<Block> array(blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i)
      for (size_t j = 0; j < blocks[i].size(); ++j)
        array[i].pt[j] = static_cast<uint8_t>(blocks[i][j]);
    SetBlockK(array[0], k);
    WriteIdHeader(f, v, k, t, m, l, static_cast<uint32_t>(blocks.size()), 2, base,
                  "Converted by KOVRA", 0, 4, 2, 64, 1, false);
    WriteBlockLines(array.data(), static_cast<uint32_t>(array.size()), f);
    std::fclose(f);
    return path;
  }

  static Loaded Load(const std::string& path, bool nameGiven, LoadParams io = {}, uint8_t kind = 0,
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

  fs::path dir_;
};

LoadParams Given(uint16_t v, uint16_t k, uint16_t t, uint16_t m, uint16_t l) {
  return LoadParams{v, k, t, m, l};
}

const Blocks kFano = {{1, 2, 3}, {1, 4, 5}, {1, 6, 7}, {2, 4, 6}, {2, 5, 7}, {3, 4, 7}, {3, 5, 6}};
constexpr char kId7[] = "ID 7 1 3 7 0/0 2/2 1 2 1 0 4 2 64 1 ...\n";

// ---- Round trips through both scans ----

TEST_F(Loader, WrittenDesignLoadsBackThroughBothScans) {
  const std::string path = WriteDesign("0700072a.213", 7, 3, 2, 2, 1, 1, kFano);
  for (const bool nameGiven : {false, true}) {
    const Loaded r = Load(path, nameGiven, Given(7, 3, 1, 1, 1), 0, false, false);
    ASSERT_EQ(r.exitCode, -1) << r.out;
    ASSERT_NE(r.blocks, nullptr);
    EXPECT_EQ(r.out, ""); // name and ID line agree
    EXPECT_EQ(r.io.v, 7);
    EXPECT_EQ(r.io.b, 7u);
    EXPECT_EQ(r.io.k, 3);
    EXPECT_EQ(r.io.t, 2);
    EXPECT_EQ(r.io.m, 2);
    EXPECT_EQ(r.io.l, 1);
    EXPECT_EQ(r.io.base, 1);
    EXPECT_EQ(r.io.v1, 7);
    EXPECT_EQ(BlockK(r.blocks[0]), 3u);
    EXPECT_EQ(r.Points(), kFano);
  }
}

TEST_F(Loader, LargeDesignInTheHighestBaseRoundTrips) {
  // 500 random blocks of 7 distinct points out of 54, numbered from 201: the
  // largest point is 254.
  std::mt19937 rng(12345);
  Blocks blocks;
  for (int i = 0; i < 500; ++i) {
    std::vector<int> pts(54);
    for (int p = 0; p < 54; ++p) pts[p] = 201 + p;
    std::shuffle(pts.begin(), pts.end(), rng);
    pts.resize(7);
    blocks.push_back(pts);
  }
  const std::string path = WriteDesign("big.txt", 54, 7, 3, 7, 2, 201, blocks);
  for (const bool nameGiven : {false, true}) {
    const Loaded r = Load(path, nameGiven, Given(54, 7, 3, 7, 2));
    ASSERT_EQ(r.exitCode, -1) << r.out;
    EXPECT_EQ(r.io.base, 201);
    EXPECT_EQ(r.io.l, 2);
    EXPECT_EQ(r.Points(), blocks);
  }
}

TEST_F(Loader, ProgressGoesToStandardErrorOnly) {
  const std::string path = WriteDesign("fano.txt", 7, 3, 2, 2, 1, 1, kFano);
  const Loaded r = Load(path, false);
  EXPECT_EQ(r.err, path + " \r0 \r1 \r2 \r3 \r4 \r5 \r6 \r");
  EXPECT_EQ(r.out, "");
}

// ---- The keyword scan ----

TEST_F(Loader, KeywordScanReadsTheRestOfTheHeader) {
  // "base" between the ID line and the blocks; no "data" line: the first
  // block line ends the header and is the first block.
  Loaded r = Load(Write("a.txt", "# c\nid 7 2 3 7 0/0 2/2 1 2 1\nBASE 0\nComments 9 x\n0 1 2\n"
                                 "6 5 4\n"),
                  false);
  ASSERT_EQ(r.exitCode, -1) << r.out;
  EXPECT_EQ(r.io.base, 0);
  EXPECT_EQ(r.Points(), (Blocks{{0, 1, 2}, {6, 5, 4}}));
  // A "data" line ends the header; block lines may follow after other lines.
  r = Load(Write("b.txt", "ID 7 1 3 7 0/0 2/2\nDATA\nAuthor 5 6 7\n"), false);
  EXPECT_EQ(r.exitCode, 11); // an "Author" line is no block line
  r = Load(Write("c.txt", "ID 7 1 3 7 0/0 2/2\nData\nwords\n\n4 2 7\n"), false);
  EXPECT_EQ(r.Points(), (Blocks{{4, 2, 7}}));
}

TEST_F(Loader, KeywordScanFatalExits) {
  // Nothing that decides: code 3.
  for (const char* text : {"", "# only a comment\n", "words\nmore words\n"}) {
    const Loaded r = Load(Write("e.txt", text), false);
    EXPECT_EQ(r.exitCode, 3) << text;
    EXPECT_EQ(r.out, "\nErrExit: 3 <Err in SysData or SysHdr>\n");
  }
  // Invalid ID parameters, or no block after the ID line: code 2.
  Loaded r = Load(Write("f.txt", "ID 7 1 3 7 0/0 4/2 1\n1 2 3\n"), false);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "Err: invalid design parameters v=7,k=3,t=4,m=2,l=1,b=1,v1=7.\n"
                   "     All values must be >= 1. t or m invalid: t must be <= m\n"
                   "\nErrExit: 2 <Err in SysData or SysHdr>\n");
  r = Load(Write("g.txt", "ID 9 1 8 9 0/0 2/2 1\n1 2 3 4 5 6 7 8\n"), false);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.out.find("Check limits and ranges.\nk(=8) > K_MAX(=7). Adjust K_MAX...\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.err, "");
  r = Load(Write("h.txt", "ID 7 1 3 7 0/0 2/2 1\nComments\n"), false);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "\nErrExit: 2 <Err in SysData or SysHdr>\n");
  r = Load(Write("i.txt", "ID 7 0 3 7 0/0 2/2 1\n1 2 3\n"), false);
  EXPECT_EQ(r.exitCode, 2); // b = 0
}

TEST_F(Loader, NoIdLineWithoutGivenParametersFails) {
  const Loaded r = Load(Write("n.txt", "1 2 3\n4 5 6\n"), false);
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_EQ(r.blocks, nullptr);
  EXPECT_EQ(r.out, "WARNING: No ID line found. ReCheck v,k and especially t,m,l ! \n"
                   "Err: invalid design parameters v=0,k=0,t=0,m=0,l=0,b=2,v1=0.\n"
                   "     All values must be >= 1. Check limits and ranges.\n");
}

// ---- The line-count scan ----

TEST_F(Loader, LineCountScanWithoutIdLineUsesTheGivenParameters) {
  const Loaded r = Load(Write("n.txt", "A header\n\n  words 7\n1 2 3\nComment 9\n7 1 2\n3 4 5\n"),
                        true, Given(7, 3, 2, 2, 1));
  ASSERT_EQ(r.exitCode, -1) << r.out;
  EXPECT_EQ(r.out, "WARNING: No ID line found. ReCheck v,k and especially t,m,l ! \n");
  EXPECT_EQ(r.io.b, 3u);
  EXPECT_EQ(r.io.v1, 7);
  EXPECT_EQ(r.Points(), (Blocks{{1, 2, 3}, {7, 1, 2}, {3, 4, 5}}));
}

TEST_F(Loader, LineCountScanKeepsWhatAShortIdLineLeavesOut) {
  const Loaded r =
      Load(Write("s.txt", "Id 7 2 3\nData\n1 2 3\n4 5 6\n"), true, Given(7, 3, 2, 3, 2));
  ASSERT_EQ(r.exitCode, -1) << r.out;
  EXPECT_EQ(r.io.b, 2u);
  EXPECT_EQ(r.io.t, 2);
  EXPECT_EQ(r.io.m, 3);
  EXPECT_EQ(r.io.l, 2);
  EXPECT_EQ(r.Points(), (Blocks{{1, 2, 3}, {4, 5, 6}}));
}

TEST_F(Loader, BlockLinesBeforeAnyKeywordSwitchToTheLineCountScan) {
  // Found by the keyword scan; the ID line further down is then taken.
  const Loaded r = Load(Write("x.txt", "1 2 3\nID 7 1 3 7 0/0 2/2 1\n4 5 6\n"), false);
  ASSERT_EQ(r.exitCode, -1) << r.out;
  EXPECT_EQ(r.Points(), (Blocks{{4, 5, 6}}));
}

TEST(SniffCTextHeader, FourNumbersAndFourCommas) {
  uint32_t chi = 0, b = 0;
  EXPECT_TRUE(SniffCTextHeader("4,4,5,2,1^2,4,3,18,9", chi, b));
  EXPECT_EQ(chi, 4u);
  EXPECT_EQ(b, 4u);
  EXPECT_TRUE(SniffCTextHeader("  5,10,7,3,", chi, b));
  EXPECT_EQ(chi, 5u);
  EXPECT_EQ(b, 10u);
  EXPECT_TRUE(SniffCTextHeader((std::string(300, '9') + ",4294967296,1,1,").c_str(), chi, b));
  EXPECT_EQ(chi, 0xFFFFFFFFu);
  EXPECT_EQ(b, 0xFFFFFFFFu);
  chi = b = 7;
  EXPECT_FALSE(SniffCTextHeader("4,4,5,2", chi, b));
  EXPECT_FALSE(SniffCTextHeader("4,4,5 2,", chi, b));
  EXPECT_FALSE(SniffCTextHeader("1 2 3", chi, b));
  EXPECT_EQ(chi, 7u);
  EXPECT_EQ(b, 7u);
}

TEST_F(Loader, CompressedTextHeaderIsSniffedUnderG1Only) {
  const std::string path = Write("ct.txt", "4,4,5,2,1^2,4,3,18,9\n");
  // Under -g1 the first data line gives b (one data line, but b = 4) and the
  // data goes to the compressed-text reader.
  Loaded r = Load(path, true, Given(5, 2, 2, 2, 1), 1);
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_EQ(r.io.b, 4u);
  if (r.blocks) {
    EXPECT_EQ(r.Points(), (Blocks{{1, 2}, {1, 3}, {2, 4}, {3, 5}}));
  }
  // Without -g1 the line is a plain block line: 4 and 4 repeat.
  r = Load(path, true, Given(5, 2, 2, 2, 1), 0);
  EXPECT_EQ(r.exitCode, 7);
  // Under -g1 a plain first line makes the file plain.
  r = Load(Write("pl.txt", "1 2\n1 3\n"), true, Given(5, 2, 2, 2, 1), 1);
  ASSERT_EQ(r.exitCode, -1);
  EXPECT_EQ(r.Points(), (Blocks{{1, 2}, {1, 3}}));
}

TEST_F(Loader, CompressedIdLinesGoToTheirReaders) {
  Loaded r = Load(
      Write("c1.txt", "ID 5 4 2 5 0/0 2/2 1 2 1 1 4 2 64 1 ...\n4,4,5,2,1^2,4,3,18,9\n"), false);
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_EQ(r.io.b, 4u);
  EXPECT_EQ(r.err, ""); // no plain progress
  if (r.blocks) {
    EXPECT_EQ(r.Points(), (Blocks{{1, 2}, {1, 3}, {2, 4}, {3, 5}}));
  }
  r = Load(Write("c2.txt", "ID 5 4 2 5 0/0 2/2 1 2 1 2 4 2 64 1 ...\n\x01\x02\x03"), false);
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_EQ(r.err, "");
  r = Load(Write("c3.txt", "ID 7 1 3 7 0/0 2/2 1 2 1 3\n1 2 3\n"), false);
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_EQ(r.blocks, nullptr);
  EXPECT_EQ(r.out, "Err: Invalid Compression Arg 3\n");
}

// ---- Block reading ----

TEST_F(Loader, EachBlockCodeFromItsSmallestFile) {
  const struct {
    std::string body;
    int code;
  } cases[] = {
      {"0 1 2\n", 6}, {"1 2 1\n", 7},         {"1 2 3 4\n", 8},
      {"Data\n", 11}, {"1 2\n", 12},          {"1 2 3\n4 5 6\n", 13},
      {"1 2 8\n", 6}, {"1 2 3 x\n4 5 6", 13}, {"Data\n1 2 3 7\n", 8},
  };
  for (const auto& c : cases) {
    const Loaded r = Load(Write("k.txt", kId7 + c.body), false);
    EXPECT_EQ(r.exitCode, c.code) << c.body;
  }
  const Loaded r = Load(Write("k.txt", kId7 + "1 2 3\n4 5 6\n"s), false);
  EXPECT_NE(r.out.find("\nErrExit: 13 <b wrong; too much blocks>\n"), std::string::npos);
  // After the b-th block anything but a further complete block is accepted.
  for (const char* tail : {"4 5\n", "4 5 6 7\n", "0 5 6\n", "words\n", ""}) {
    const Loaded ok = Load(Write("k.txt", kId7 + "1 2 3\n"s + tail), false);
    EXPECT_EQ(ok.exitCode, -1) << tail;
    EXPECT_EQ(ok.Points(), (Blocks{{1, 2, 3}}));
  }
}

TEST_F(Loader, HugeBInAShortPlainFileEndsBeforeAllocating) {
  for (const char* b : {"2000000000", "7"}) {
    const Loaded r = Load(Write("h.txt", "ID 7 "s + b + " 3 7 0/0 2/2 1\n1 2 3\n4 5 6\n"), false);
    EXPECT_EQ(r.exitCode, 11) << b;
    EXPECT_EQ(r.out, "\nErrExit: 11 <Missing blocks>\n");
    EXPECT_EQ(r.err, ""); // no block was read
  }
  // Three blocks of k = 3 need at least 3 * 5 bytes; 15 bytes are enough.
  const Loaded r = Load(Write("h3.txt", "ID 7 3 3 7 0/0 2/2\n1 2 3\n4 5 6\n7 1 2"), false);
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_EQ(r.io.b, 3u);
}

// The parameter check reads b = -1 as "not known"; a header's 4294967295 is
// that bit pattern and must not pass as such, in any encoding.
TEST_F(Loader, BAboveTheLimitFailsTheParameterCheck) {
  for (const char* kind : {"0", "1", "2"}) {
    const Loaded r =
        Load(Write("b.txt", "ID 5 4294967295 2 5 0/0 2/2 1 2 1 "s + kind + " 4 2 64 1 ...\n1 2\n"),
             false);
    EXPECT_EQ(r.exitCode, 2) << kind;
    EXPECT_NE(r.out.find("b=-2147483648"), std::string::npos) << r.out;
    EXPECT_EQ(r.blocks, nullptr);
  }
}

TEST_F(Loader, CloseGapsRenumbersInOrderOfAppearance) {
  const std::string path = Write("z.txt", "ID 9 2 3 9 0/0 2/2\n5 9 2\n9 7 2\n");
  Loaded r = Load(path, false, {}, 0, true);
  ASSERT_EQ(r.exitCode, -1) << r.out;
  EXPECT_EQ(r.Points(), (Blocks{{1, 2, 3}, {2, 4, 3}}));
  // 0 and 200 are acceptable numbers with -z, 256 is not.
  r = Load(Write("z0.txt", "ID 4 1 3 4 0/0 2/2\n0 200 3\n"), false, {}, 0, true);
  ASSERT_EQ(r.exitCode, -1) << r.out;
  EXPECT_EQ(r.Points(), (Blocks{{1, 2, 3}}));
  r = Load(Write("z1.txt", "ID 4 1 3 4 0/0 2/2\n0 256 3\n"), false, {}, 0, true);
  EXPECT_EQ(r.exitCode, 6);
}

TEST_F(Loader, CloseGapsRefusesMoreDistinctNumbersThanV) {
  // Six distinct numbers for v = 4 would become points 1..6.
  Loaded r = Load(Write("z.txt", "ID 4 2 3 4 0/0 2/2\n10 20 30\n40 50 60\n"), false, {}, 0, true);
  EXPECT_EQ(r.exitCode, 6);
  EXPECT_EQ(r.out, "\nErrExit: 6 <Range Err; check Base and try the \"CloseGaps\" option>\n");
  // Exactly v distinct numbers are fine.
  r = Load(Write("z4.txt", "ID 4 2 3 4 0/0 2/2\n10 20 30\n40 10 20\n"), false, {}, 0, true);
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_EQ(r.Points(), (Blocks{{1, 2, 3}, {4, 1, 2}}));
  // Renumbered from base 250, seven points would pass 255.
  r = Load(Write("zb.txt", "ID 7 3 3 7 0/0 2/2\nbase 250\n1 2 3\n4 5 6\n7 1 2\n"), false, {}, 0,
           true);
  EXPECT_EQ(r.exitCode, 6);
}

TEST_F(Loader, BaseLinesNeverWrapToAUsableBase) {
  for (const char* line : {"base 65537\n", "base -1\n", "base 999999999999999999999999\n"}) {
    const Loaded r = Load(Write("b.txt", kId7 + std::string(line) + "1 2 3\n"), false);
    EXPECT_EQ(r.exitCode, 6) << line;
  }
  // "base" with nothing after it reads 0; the number starts at the sixth
  // character, so a separator of any kind may follow the word.
  Loaded r = Load(Write("b0.txt", kId7 + "base\n0 1 2\n"s), false);
  EXPECT_EQ(r.io.base, 0);
  r = Load(Write("b5.txt", kId7 + "base=5\n5 6 7\n"s), false);
  EXPECT_EQ(r.io.base, 5);
  EXPECT_EQ(r.Points(), (Blocks{{5, 6, 7}}));
}

// ---- Hostile input ----

TEST_F(Loader, OverlongLinesHugeNumbersNulBytesAndCrLineEnds) {
  // A long comment does not come back as block lines.
  Loaded r = Load(Write("l.txt", kId7 + "1 2 3 # "s + std::string(400, '4') + " 5 6\n"), false);
  EXPECT_EQ(r.exitCode, -1) << r.out;
  EXPECT_EQ(r.Points(), (Blocks{{1, 2, 3}}));
  // Trailing blanks beyond the buffer are an empty line.
  r = Load(Write("l2.txt", kId7 + "1 2 3"s + std::string(600, ' ') + "\n"), false);
  EXPECT_EQ(r.exitCode, -1) << r.out;
  // The rest of a long block line is read as a line of its own.
  r = Load(Write("l3.txt", kId7 + "1 2 3"s + std::string(260, ' ') + "4 5 6\n"), false);
  EXPECT_EQ(r.exitCode, 13);
  r = Load(Write("d.txt", kId7 + std::string(300, '7') + " 2 3\n"), false);
  EXPECT_EQ(r.exitCode, 6);
  r = Load(Write("z.txt", kId7 + "1 2\0 3\n"s), false);
  EXPECT_EQ(r.exitCode, 12);
  r = Load(Write("z2.txt", "\0\0\0\n"s + kId7 + "\0"s + "1 2 3\n"), false);
  EXPECT_EQ(r.exitCode, 2); // the one block line hides behind a NUL
  const std::string cr = "ID 7 2 3 7 0/0 2/2 1 2 1 0 4 2 64 1 ...\rData\r1 2 3\r4 5 6\r";
  for (const bool nameGiven : {false, true}) {
    r = Load(Write("cr.txt", cr), nameGiven, Given(7, 3, 2, 2, 1));
    EXPECT_EQ(r.exitCode, -1) << r.out;
    EXPECT_EQ(r.Points(), (Blocks{{1, 2, 3}, {4, 5, 6}}));
  }
}

TEST_F(Loader, DirectoriesAndMissingFilesGiveNoArray) {
  for (const bool nameGiven : {false, true}) {
    Loaded r = Load(dir_.string(), nameGiven, Given(7, 3, 2, 2, 1));
    EXPECT_EQ(r.exitCode, -1);
    EXPECT_EQ(r.blocks, nullptr);
    EXPECT_EQ(r.out + r.err, "");
    r = Load((dir_ / "missing.txt").string(), nameGiven, Given(7, 3, 2, 2, 1));
    EXPECT_EQ(r.blocks, nullptr);
    EXPECT_EQ(r.out + r.err, "");
  }
}

TEST_F(Loader, UnreadableFileGivesNoArray) {
  const std::string path = WriteDesign("locked.txt", 7, 3, 2, 2, 1, 1, kFano);
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  if (std::FILE* f = std::fopen(path.c_str(), "r")) {
    std::fclose(f);
    GTEST_SKIP() << "running with rights that read any file";
  }
  const Loaded r = Load(path, false);
  EXPECT_EQ(r.blocks, nullptr);
  EXPECT_EQ(r.out + r.err, "");
}

// ---- "load" ----

TEST_F(Loader, LoadLineIsRelativeToTheFileThatNamesIt) {
  WriteDesign("A/SUB/X.TXT", 7, 3, 2, 2, 1, 1, kFano);
  Write("A/top.txt", "# the design lives elsewhere\nload SUB/X.TXT   # comment\n");
  fs::create_directories(dir_ / "elsewhere");
  const ChangeDir inside(dir_ / "elsewhere");
  const fs::path before = fs::current_path();
  const Loaded r = Load("../A/top.txt", false);
  EXPECT_EQ(fs::current_path(), before);
  ASSERT_EQ(r.exitCode, -1) << r.out;
  EXPECT_EQ(r.Points(), kFano);
  EXPECT_EQ(r.err.substr(0, 11), "SUB/X.TXT \r");
}

TEST_F(Loader, CurrentDirectoryIsRestoredWhenTheLoadedFileEndsTheProgram) {
  Write("A/SUB/bad.txt", kId7 + "1 2 2\n"s);
  const std::string top = Write("A/top.txt", "load SUB/bad.txt\n");
  const fs::path before = fs::current_path();
  const Loaded r = Load(top, false);
  EXPECT_EQ(r.exitCode, 7);
  EXPECT_EQ(fs::current_path(), before);
}

TEST_F(Loader, LoadLoopsStopWithAnErrorInsteadOfOverflowingTheStack) {
  const fs::path before = fs::current_path();
  Loaded r = Load(Write("self.txt", "load self.txt\n"), false);
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_EQ(r.blocks, nullptr);
  EXPECT_EQ(r.out, "Err: more than 16 nested \"load\" lines; is there a loop? self.txt\n");
  Write("b.txt", "load a.txt\n");
  r = Load(Write("a.txt", "load b.txt\n"), false);
  EXPECT_EQ(r.blocks, nullptr);
  EXPECT_EQ(r.out, "Err: more than 16 nested \"load\" lines; is there a loop? a.txt\n");
  EXPECT_EQ(fs::current_path(), before);
}

TEST_F(Loader, SixteenNestedLoadsAreFineSeventeenAreNot) {
  WriteDesign("d/design.txt", 7, 3, 2, 2, 1, 1, kFano);
  // f0 -> f1 -> ... -> f15 -> design: sixteen "load" lines.
  for (int i = 0; i < 16; ++i) {
    char name[32], line[32];
    std::snprintf(name, sizeof name, "d/f%d.txt", i);
    if (i == 15)
      std::snprintf(line, sizeof line, "load design.txt\n");
    else
      std::snprintf(line, sizeof line, "load f%d.txt\n", i + 1);
    Write(name, line);
  }
  Loaded r = Load((dir_ / "d/f0.txt").string(), false);
  ASSERT_EQ(r.exitCode, -1) << r.out;
  EXPECT_EQ(r.Points(), kFano);
  Write("d/g.txt", "load f0.txt\n");
  r = Load((dir_ / "d/g.txt").string(), false);
  EXPECT_EQ(r.blocks, nullptr);
  EXPECT_NE(r.out.find("is there a loop?"), std::string::npos);
}

TEST_F(Loader, LoadTakesTAndMFromDigitsInTheNamingFilesBaseName) {
  WriteDesign("x.txt", 7, 3, 2, 2, 1, 1, kFano);
  const Loaded r = Load(Write("ab31.txt", "load x.txt\n"), false);
  ASSERT_NE(r.blocks, nullptr);
  EXPECT_EQ(r.io.t, 3);
  EXPECT_EQ(r.io.m, 1);
}

TEST_F(Loader, LongPathsAreReadWithoutAFixedBuffer) {
  std::string rel;
  for (int i = 0; i < 6; ++i) rel += std::string(50, static_cast<char>('a' + i)) + "/";
  const std::string path = WriteDesign(rel + "0700072a.213", 7, 3, 2, 2, 1, 1, kFano);
  ASSERT_GT(path.size(), 300u);
  const Loaded r = Load(path, false, {}, 0, false, false);
  ASSERT_EQ(r.exitCode, -1) << r.out;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.Points(), kFano);
}

// ---- ReadSys and LoadSys ----

TEST_F(Loader, LoadSysRefusesNamesLongerThanTheRecordHolds) {
  const std::string shortDir = dir_.string() + "/";
  const std::string fits =
      WriteDesign(std::string(FNAME_CAPACITY - shortDir.size(), 'f'), 7, 3, 2, 2, 1, 1, kFano);
  ASSERT_EQ(fits.size(), static_cast<size_t>(FNAME_CAPACITY));
  Sys sys;
  {
    ConsoleCapture capture;
    EXPECT_TRUE(LoadSys(sys, fits.c_str(), true, 1, 0, false));
  }
  EXPECT_EQ(std::string(sys.szFileName), fits);
  const std::string tooLong =
      WriteDesign(std::string(FNAME_CAPACITY + 1 - shortDir.size(), 'g'), 7, 3, 2, 2, 1, 1, kFano);
  ConsoleCapture capture;
  EXPECT_FALSE(LoadSys(sys, tooLong.c_str(), true, 1, 0, false));
  EXPECT_FALSE(IsSysLoaded(sys));
  EXPECT_EQ(capture.out, "Err: file name longer than 145 characters: " + tooLong + "\n");
}

TEST_F(Loader, ReadSysRenumbersToTheAskedBaseAndSortsPoints) {
  const std::string path = Write("r.txt", "ID 7 2 3 7 0/0 2/2\nbase 0\n2 0 1\n6 5 4\n");
  Sys sys;
  sys.fNewFNameScheme = 1;
  ConsoleCapture capture;
  ASSERT_TRUE(LoadSys(sys, path.c_str(), true, 1, 0, false));
  EXPECT_TRUE(IsSysLoaded(sys));
  EXPECT_EQ(sys.given.usFileBase, 0);
  EXPECT_EQ(sys.base, 1);
  EXPECT_EQ(sys.b, 2u);
  EXPECT_EQ(sys.ulAlloc, 2u);
  EXPECT_EQ(sys.fSorted, 1);
  EXPECT_EQ(std::vector<int>(sys.blocks[0].pt, sys.blocks[0].pt + 3), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(std::vector<int>(sys.blocks[1].pt, sys.blocks[1].pt + 3), (std::vector<int>{5, 6, 7}));
  EXPECT_EQ(BlockK(sys.blocks[0]), 3u);
  // A negative base keeps the record's; unsorted reading keeps the order.
  sys.base = 0;
  ASSERT_TRUE(ReadSys(sys, false, -1, false, 0, false));
  EXPECT_EQ(sys.base, 0);
  EXPECT_EQ(sys.fSorted, 0);
  EXPECT_EQ(std::vector<int>(sys.blocks[0].pt, sys.blocks[0].pt + 3), (std::vector<int>{2, 0, 1}));
  EXPECT_EQ(capture.out, "");
}

TEST_F(Loader, ReadSysGivenParameters) {
  const std::string path = Write("4901683a.616", "ID 49 1 6 49 0/0 3/6 1\n1 2 3 4 5 6\n");
  Sys sys;
  sys.given.T = 2;
  {
    ConsoleCapture capture;
    ASSERT_TRUE(LoadSys(sys, path.c_str(), true, 1, 0, false));
    EXPECT_EQ(capture.out, "# b=1 vs 168: FName/ID mismatch! " + path +
                               "\n"
                               "WARNING: overriding design params from t=3,m=6,l=1 \n"
                               "         to the given:                 t=2,m=6,l=1.\n\n");
  }
  EXPECT_EQ(sys.t, 2);
  EXPECT_EQ(sys.m, 6);
  sys.fNewFNameScheme = 1;
  for (const uint16_t givenV : {0, 49}) {
    sys.given = CmdGiven{};
    sys.given.V = givenV;
    ConsoleCapture capture;
    EXPECT_TRUE(LoadSys(sys, path.c_str(), true, 1, 0, false));
    EXPECT_EQ(capture.out, "");
  }
  sys.given.V = 50;
  {
    ConsoleCapture capture;
    EXPECT_FALSE(LoadSys(sys, path.c_str(), true, 1, 0, false));
    EXPECT_EQ(capture.out, "Err: v and k can't be overridden!\n");
    EXPECT_EQ(sys.b, 0u);
  }
  sys.given = CmdGiven{};
  sys.given.M = 2; // t = 3 > m = 2
  ConsoleCapture capture;
  EXPECT_FALSE(LoadSys(sys, path.c_str(), true, 1, 0, false));
  EXPECT_EQ(capture.out, "Err: invalid design parameters v=49,k=6,t=3,m=2,l=1,b=1,v1=49.\n"
                         "     All values must be >= 1. t or m invalid: t must be <= m\n");
  EXPECT_EQ(sys.b, 0u);
}

TEST_F(Loader, ReadSysWithNameGivenUsesTheRecordsParameters) {
  const std::string path = Write("plain.txt", "1 2 3\n4 5 6\n");
  Sys sys;
  SetSysParams(sys, 7, 3, 2, 2, 1);
  SetSysFileName(sys, path.c_str());
  ConsoleCapture capture;
  ASSERT_TRUE(ReadSys(sys, false, 1, true, 0, false));
  EXPECT_EQ(sys.b, 2u);
  EXPECT_EQ(sys.v, 7);
  // Without the flag the file has no usable header.
  EXPECT_FALSE(ReadSys(sys, false, 1, false, 0, false));
  EXPECT_EQ(sys.blocks, nullptr);
  EXPECT_EQ(sys.ulAlloc, 0u);
  EXPECT_FALSE(IsSysLoaded(sys));
}

} // namespace
} // namespace kovra
