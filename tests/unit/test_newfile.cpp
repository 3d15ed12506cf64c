// Writing a design to a new file: naming, refusals, the output base, files
// that appear completely or not at all, and the system tree. The golden runs
// show -e, -O, -D (the dump on standard output only) and the compressed
// writers through the whole program.
#include "output/newfile.hpp"

#include "base/clock.hpp"
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "output/safefile.hpp"
#include "unit/scratch_dir.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <vector>

namespace kovra {
namespace {

namespace fs = std::filesystem;
using test::Listing;
using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

constexpr const char* kComment = "Converted by KOVRA";
constexpr std::time_t kFixedTime = 1796558400; // any fixed moment
std::time_t FixedClock() { return kFixedTime; }

// Fixes the clock for the Date line and removes any stream hook afterwards.
struct Fixture : ::testing::Test {
  Fixture() { SetClockForTest(FixedClock); }
  ~Fixture() override {
    SetClockForTest(nullptr);
    SetPendingStreamHookForTest(nullptr);
  }
};
using CreateNewSysFileTest = Fixture;
using ToSysDirTest = Fixture;

Sys Make(uint16_t v, uint16_t k, uint16_t t, uint16_t m, uint16_t l,
         const std::vector<std::vector<int>>& blocks) {
  Sys s;
  s.blocks = AllocBlocks(blocks.size());
  ParamsOf(s) = DesignParams{v, k, t, m, l};
  for (size_t i = 0; i < blocks.size(); ++i)
    for (size_t j = 0; j < blocks[i].size(); ++j)
      s.blocks[i].pt[j] = static_cast<uint8_t>(blocks[i][j]);
  SetBlockK(s.blocks[0], k);
  s.b = static_cast<uint32_t>(blocks.size());
  s.ulAlloc = s.b;
  return s;
}

// A C(49,6,3,6,l) design of n blocks; for the names only their number counts.
Sys Sample(size_t n = 168, uint16_t l = 1) {
  std::vector<std::vector<int>> blocks(n);
  for (size_t i = 0; i < n; ++i)
    for (int j = 0; j < 6; ++j) blocks[i].push_back(static_cast<int>(i % 44) + 1 + j);
  return Make(49, 6, 3, 6, l, blocks);
}

// The plain file of a design as it must be written, points shifted by `shift`.
std::string Expected(const Sys& s, uint16_t base, int shift) {
  char line[200];
  std::string text = "#ID      v b k v1 w1/w2 t/m L x Base bCmpr CHI CEI CLL CfExp ...\n";
  std::snprintf(line, sizeof line, "ID       %d %u %d %d 0/0 %d/%d %d 2 %d 0 4 2 64 1 ...\n", s.v,
                s.b, s.k, s.v, s.t, s.m, s.l, base);
  text += line;
  text += "Date     " + DateText(kFixedTime) + "\n";
  text += "Author   \nComments " + std::string(kComment) + "\nData\n";
  for (uint32_t i = 0; i < s.b; ++i) {
    for (unsigned j = 0; j < s.k; ++j) {
      std::snprintf(line, sizeof line, j == 0 ? "%2d" : " %2d", s.blocks[i].pt[j] + shift);
      text += line;
    }
    text += "\n";
  }
  return text;
}

struct Call {
  uint16_t outBase = 1;
  bool createAllowed = true;
  bool useL = true;
  uint8_t method = 0;
  uint32_t avgLineLen = 64;
  bool dump = false;
  bool toSysDir = false;
};

int Create(Sys& s, const Call& c) {
  NewFileRequest req;
  req.target = NewFileTarget(s, c.useL, c.toSysDir);
  req.comment = kComment;
  req.outBase = c.outBase;
  req.createAllowed = c.createAllowed;
  req.method = c.method;
  req.avgLineLen = c.avgLineLen;
  req.dumpToStdout = c.dump;
  return CreateNewSysFile(s, req);
}

const std::string kAdvice =
    "WARNING: Can't create filename.\n"
    "Instead, you can use the 'Dump to stdout' option or the 'NewStyleFNames' option.\n";

TEST_F(CreateNewSysFileTest, NamesTheFileByTheChosenScheme) {
  struct Case {
    bool useL, newStyle, toSysDir;
    const char* name;
  };
  for (const Case& c :
       {Case{true, false, false, "4901683a.616"}, Case{false, false, false, "4901683a.6a6"},
        Case{true, true, false, "1d636012.04o"},
        Case{false, true, true, "1d636012.04o"}}) { // before the system tree, named alike
    ScratchDir dir;
    WriteFile(c.name, "stored\n"); // replaced as under -O, keeping its permissions
    ::chmod(c.name, 0640);
    Sys s = Sample();
    s.fNewFNameScheme = c.newStyle ? 1 : 0;
    ConsoleCapture cap;
    EXPECT_EQ(Create(s, {.useL = c.useL, .toSysDir = c.toSysDir}), CREATE_FILE) << c.name;
    EXPECT_EQ(cap.out, "");
    EXPECT_EQ(Listing("."), std::set<std::string>{c.name}); // no temporary file left
    EXPECT_EQ(ReadFile(c.name), Expected(s, 1, 0)) << c.name;
    struct stat st {};
    ASSERT_EQ(::stat(c.name, &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
  }
}

TEST_F(CreateNewSysFileTest, NoNameForTheDesignAdvisesAndWritesNothing) {
  ScratchDir dir;
  auto refused = [](Sys s, const std::string& advice) {
    ConsoleCapture cap;
    EXPECT_EQ(Create(s, {}), CREATE_NOTHING);
    EXPECT_EQ(cap.out, advice);
  };
  refused(Sample(12345), kAdvice);   // five digits of b
  refused(Sample(168, 12), kAdvice); // no digit for l under -f1
  Sys wide = Make(99, 6, 3, 6, 1, {{1, 2, 3, 4, 5, 6}});
  wide.base = 200; // the current base: 200 + 99 - 1 > 255
  refused(std::move(wide), kAdvice);
  refused(Sample(50000), "WARNING: Can't create filename.\n" // beyond the new style too
                         "Instead, you can use the 'Dump to stdout' option.\n");
  EXPECT_TRUE(Listing(".").empty());

  Sys s = Sample(12345);
  ConsoleCapture cap;
  EXPECT_EQ(Create(s, {.dump = true}), CREATE_DUMPED);
  EXPECT_EQ(cap.out,
            "WARNING: Can't create filename.\nInstead, dumping to stdout.\n" + Expected(s, 1, 0));

  // A directory that cannot take a file.
  fs::create_directory("gone");
  fs::current_path("gone");
  fs::remove(fs::current_path());
  refused(Sample(), "Err: Can't create <4901683a.616> (No such file or directory).\n" + kAdvice);
}

TEST_F(CreateNewSysFileTest, OutputBaseMovesEveryPointByTheDifferenceAndIsUndone) {
  ScratchDir dir;
  Sys s = Make(10, 3, 2, 2, 1, {{2, 3, 4}, {5, 6, 10}}); // point 1 is missing
  const std::string before = Expected(s, 1, 0);
  ConsoleCapture cap;
  EXPECT_EQ(Create(s, {.outBase = 5}), CREATE_FILE);
  EXPECT_EQ(ReadFile("1000022a.213"), Expected(s, 5, 4));
  cap.out.clear();
  EXPECT_EQ(Create(s, {.outBase = 0, .createAllowed = false, .dump = true}), CREATE_DUMPED);
  EXPECT_EQ(cap.out, "Instead, dumping to stdout.\n" + Expected(s, 0, -1));
  EXPECT_EQ(s.base, 1);
  EXPECT_EQ(Expected(s, 1, 0), before);
}

// Streams that fail: one on a full device, one whose close fails.
std::FILE* FullDevice(const char*) { return std::fopen("/dev/full", "w"); }

std::FILE* FailingClose(const char*) {
  cookie_io_functions_t io{};
  io.write = [](void*, const char*, size_t n) -> ssize_t { return static_cast<ssize_t>(n); };
  io.close = [](void*) -> int {
    errno = EIO;
    return -1;
  };
  return ::fopencookie(nullptr, "w", io);
}

TEST_F(CreateNewSysFileTest, FailedWritingLeavesNothingAndKeepsTheStoredFile) {
  struct Case {
    PendingStreamHook hook;
    const char* why;
  };
  for (const Case& c : {Case{FullDevice, "write: No space left on device"},
                        Case{FailingClose, "close: Input/output error"}}) {
    if (c.hook == FullDevice && !fs::exists("/dev/full")) continue;
    ScratchDir dir;
    SetPendingStreamHookForTest(c.hook);
    Sys s = Sample();
    ConsoleCapture cap;
    EXPECT_EQ(Create(s, {}), CREATE_NOTHING);
    EXPECT_EQ(cap.out, "Err: Writing <4901683a.616> failed (" + std::string(c.why) +
                           "); no file was changed.\n");
    EXPECT_TRUE(Listing(".").empty());
    WriteFile("4901683a.616", "stored\n"); // as under -O
    EXPECT_EQ(Create(s, {}), CREATE_NOTHING);
    EXPECT_EQ(ReadFile("4901683a.616"), "stored\n");
    EXPECT_EQ(Listing("."), std::set<std::string>{"4901683a.616"});
    EXPECT_EQ(s.base, 1);
  }
}

TEST_F(CreateNewSysFileTest, FailingOrThrowingWritersLeaveNothing) {
  ScratchDir dir;
  WriteFile("4901683a.616", "stored\n");
  Sys s = Sample();
  ConsoleCapture cap;
  // A point above v has no rank: the binary writer fails.
  Sys bad = Make(10, 3, 2, 2, 1, {{1, 2, 3}, {4, 5, 12}});
  EXPECT_EQ(Create(bad, {.method = 2}), CREATE_NOTHING);
  cap.out.clear();
  EXPECT_EQ(Create(s, {.method = 3}), CREATE_NOTHING);
  EXPECT_EQ(cap.out, "Err: Inv compression method 3 given\n");
  // ErrExit throws; whatever was created beside the target must go with it.
  SetPendingStreamHookForTest([](const char*) -> std::FILE* { throw FatalExit{99}; });
  EXPECT_THROW(Create(s, {}), FatalExit);
  EXPECT_EQ(s.base, 1);
  EXPECT_EQ(ReadFile("4901683a.616"), "stored\n");
  EXPECT_EQ(Listing("."), std::set<std::string>{"4901683a.616"});
}

TEST(PendingFile, TemporaryFilesBesideTheTargetGoUnlessCommitted) {
  ScratchDir dir;
  fs::create_directory("sub");
  fs::create_directory("taken");
  WriteFile("sub/name.txt", "old\n");
  {
    PendingFile f, g, h;
    EXPECT_FALSE(OpenPendingFile(h, "missing/name.txt"));
    EXPECT_EQ(errno, ENOENT);
    ASSERT_TRUE(OpenPendingFile(f, "sub/name.txt"));
    ASSERT_TRUE(OpenPendingFile(g, "sub/name.txt"));
    EXPECT_EQ(f.tempPath.rfind("sub/.name.txt.", 0), 0u);
    EXPECT_NE(f.tempPath, g.tempPath);
    std::fputs("new\n", f.stream);
    std::fputs("lost\n", g.stream); // dropped without a commit
    EXPECT_EQ(ReadFile("sub/name.txt"), "old\n");
    std::string why;
    ASSERT_TRUE(CommitPendingFile(f, &why)) << why;
    // A directory in the target's place cannot be replaced by a file.
    ASSERT_TRUE(OpenPendingFile(h, "taken"));
    EXPECT_FALSE(CommitPendingFile(h, &why));
    EXPECT_EQ(why.rfind("rename: ", 0), 0u) << why;
  }
  EXPECT_EQ(ReadFile("sub/name.txt"), "new\n");
  EXPECT_EQ(Listing("sub"), std::set<std::string>{"name.txt"});
  EXPECT_EQ(Listing("."), (std::set<std::string>{"sub", "taken"}));
  EXPECT_TRUE(Listing("taken").empty());
}

const fs::path kClass = "../system/K6/3a6a6";

// The ToSysDir mode clears -f1: the tree's names carry the letter a for l.
const Call kSysDir{.useL = false, .toSysDir = true};

TEST_F(ToSysDirTest, ADesignTakesTheBestFilesNameWithItsOwnCount) {
  ScratchDir dir;
  WriteFile(kClass / "4901683a.6a6", "stored 168\n");
  WriteFile(kClass / "4901703a.6a6", "stored 170\n");
  Sys s = Sample(165);
  ConsoleCapture cap;
  EXPECT_EQ(Create(s, kSysDir), CREATE_FILE);
  EXPECT_EQ(cap.out, "");
  EXPECT_STREQ(s.szFileName, "../system/K6/3a6a6/4901653a.6a6");
  EXPECT_EQ(ReadFile(kClass / "4901653a.6a6"), Expected(s, 1, 0));
  EXPECT_EQ(ReadFile(kClass / "4901683a.6a6"), "stored 168\n");
  EXPECT_EQ(Listing(kClass),
            (std::set<std::string>{"4901653a.6a6", "4901683a.6a6", "4901703a.6a6"}));
  EXPECT_TRUE(Listing(".").empty());
}

TEST_F(ToSysDirTest, NoFileOfTheClassOrMoreThan9999BlocksWriteNothing) {
  for (const auto& [stored, n] : {std::pair{"5001683a.6a6", 165}, // another v
                                  std::pair{"4901683a.6a6", 12345}}) {
    ScratchDir dir;
    WriteFile(kClass / stored, "stored\n");
    Sys s = Sample(static_cast<size_t>(n));
    ConsoleCapture cap;
    EXPECT_EQ(Create(s, kSysDir), CREATE_NOTHING);
    EXPECT_EQ(cap.out, kAdvice);
    EXPECT_EQ(s.b, static_cast<uint32_t>(n));
    EXPECT_EQ(ReadFile(kClass / stored), "stored\n");
    EXPECT_EQ(Listing(kClass), std::set<std::string>{stored});
  }
}

} // namespace
} // namespace kovra
