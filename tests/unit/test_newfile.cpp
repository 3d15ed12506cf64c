// Writing a design to a new file: naming, limits, overwrite protection, the
// output base, the dump to standard output, the system tree, and files that
// appear completely or not at all.
#include "output/newfile.hpp"

#include "base/clock.hpp"
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "formats/cbin.hpp"
#include "formats/ctext.hpp"
#include "output/safefile.hpp"
#include "unit/scratch_dir.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
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

using Block6 = std::vector<int>;

// The blocks of the committed sample, read here on their own.
std::vector<Block6> SampleBlocks() {
  std::istringstream in(ReadFile(fs::path(KOVRA_SOURCE_DIR) / "samples/4901683a.616"));
  std::vector<Block6> blocks;
  std::string line;
  bool data = false;
  while (std::getline(in, line)) {
    if (line == "Data") {
      data = true;
      continue;
    }
    if (!data) continue;
    std::istringstream nums(line);
    Block6 b;
    int x = 0;
    while (nums >> x) b.push_back(x);
    blocks.push_back(b);
  }
  return blocks;
}

Sys Make(uint16_t v, uint16_t k, uint16_t t, uint16_t m, uint16_t l,
         const std::vector<Block6>& blocks) {
  Sys s;
  EXPECT_TRUE(AllocSys(s, static_cast<uint32_t>(blocks.size()), k));
  SetSysParams(s, v, k, t, m, l);
  for (size_t i = 0; i < blocks.size(); ++i)
    for (size_t j = 0; j < blocks[i].size(); ++j)
      s.blocks[i].pt[j] = static_cast<uint8_t>(blocks[i][j]);
  SetBlockK(s.blocks[0], k);
  s.b = static_cast<uint32_t>(blocks.size());
  return s;
}

// The C(49,6,3,6,1) sample, or its first n blocks.
Sys Sample(size_t n = 168, uint16_t l = 1) {
  std::vector<Block6> blocks = SampleBlocks();
  EXPECT_EQ(blocks.size(), 168u);
  // Longer designs repeat the sample's blocks; only their number matters.
  std::vector<Block6> sized;
  for (size_t i = 0; i < n; ++i) sized.push_back(blocks[i % blocks.size()]);
  return Make(49, 6, 3, 6, l, sized);
}

// The plain file of a design as it must be written, points shifted by `shift`.
std::string Expected(const Sys& s, uint16_t base, int shift, const char* comment = kComment) {
  char line[200];
  std::string text = "#ID      v b k v1 w1/w2 t/m L x Base bCmpr CHI CEI CLL CfExp ...\n";
  std::snprintf(line, sizeof line, "ID       %d %u %d %d 0/0 %d/%d %d 2 %d 0 4 2 64 1 ...\n", s.v,
                s.b, s.k, s.v, s.t, s.m, s.l, base);
  text += line;
  text += "Date     " + DateText(kFixedTime) + "\n";
  text += "Author   \nComments " + std::string(comment) + "\nData\n";
  for (uint32_t i = 0; i < s.b; ++i) {
    for (unsigned j = 0; j < s.k; ++j) {
      std::snprintf(line, sizeof line, j == 0 ? "%2d" : " %2d", s.blocks[i].pt[j] + shift);
      text += line;
    }
    text += "\n";
  }
  return text;
}

std::vector<uint8_t> Points(const Sys& s) {
  std::vector<uint8_t> p;
  for (uint32_t i = 0; i < s.b; ++i) p.insert(p.end(), s.blocks[i].pt, s.blocks[i].pt + 8);
  return p;
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
  return CreateNewSysFile(s, kComment, c.outBase, c.createAllowed, c.useL, c.method, c.avgLineLen,
                          true, c.dump, c.toSysDir);
}

const std::string kAdvice =
    "WARNING: Can't create filename.\n"
    "Instead, you can use the 'Dump to stdout' option or the 'NewStyleFNames' option.\n";

// Standard output and standard error sent to files for the time the object
// lives, to see which stream each text reached.
class StdStreams {
public:
  explicit StdStreams(const fs::path& dir) : out_(dir / "stdout.txt"), err_(dir / "stderr.txt") {
    std::fflush(stdout);
    std::fflush(stderr);
    savedOut_ = ::dup(1);
    savedErr_ = ::dup(2);
    Redirect(out_, 1);
    Redirect(err_, 2);
  }
  ~StdStreams() { Restore(); }
  StdStreams(const StdStreams&) = delete;
  StdStreams& operator=(const StdStreams&) = delete;

  void Restore() {
    if (savedOut_ < 0) return;
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(savedOut_, 1);
    ::dup2(savedErr_, 2);
    ::close(savedOut_);
    ::close(savedErr_);
    savedOut_ = savedErr_ = -1;
  }
  std::string Out() const { return ReadFile(out_); }
  std::string Err() const { return ReadFile(err_); }

private:
  static void Redirect(const fs::path& p, int fd) {
    const int f = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(f, fd);
    ::close(f);
  }
  fs::path out_, err_;
  int savedOut_ = -1, savedErr_ = -1;
};

using CreateNewSysFileTest = Fixture;

TEST_F(CreateNewSysFileTest, NamesTheFileByTheChosenScheme) {
  struct Case {
    bool useL;
    bool newStyle;
    const char* name;
  };
  for (const Case& c : {Case{true, false, "4901683a.616"}, Case{false, false, "4901683a.6a6"},
                        Case{true, true, "1d636012.04o"}, Case{false, true, "1d636012.04o"}}) {
    ScratchDir dir;
    Sys s = Sample();
    s.fNewFNameScheme = c.newStyle ? 1 : 0;
    EXPECT_EQ(TargetFileName(s, c.useL), c.name);
    ConsoleCapture cap;
    Call call;
    call.useL = c.useL;
    EXPECT_EQ(Create(s, call), CREATE_FILE) << c.name;
    EXPECT_EQ(cap.out, "");
    EXPECT_EQ(Listing("."), std::set<std::string>{c.name}); // no temporary file left
    EXPECT_EQ(ReadFile(c.name), Expected(s, 1, 0)) << c.name;
  }
}

TEST_F(CreateNewSysFileTest, NewStyleTakesPrecedenceOverTheSystemTree) {
  ScratchDir dir;
  Sys s = Sample();
  s.fNewFNameScheme = 1;
  ConsoleCapture cap;
  Call call;
  call.toSysDir = true;
  EXPECT_EQ(Create(s, call), CREATE_FILE);
  EXPECT_TRUE(fs::exists("1d636012.04o"));
}

TEST_F(CreateNewSysFileTest, TooManyBlocksForTheOldStyleAdvises) {
  ScratchDir dir;
  Sys s = Sample(12345);
  ConsoleCapture cap;
  EXPECT_EQ(Create(s, Call{}), CREATE_NOTHING);
  EXPECT_EQ(cap.out, kAdvice);
  EXPECT_TRUE(Listing(".").empty());

  // Beyond the new style too: the advice names only the dump.
  Sys huge = Sample(50000);
  cap.out.clear();
  EXPECT_EQ(Create(huge, Call{}), CREATE_NOTHING);
  EXPECT_EQ(cap.out, "WARNING: Can't create filename.\n"
                     "Instead, you can use the 'Dump to stdout' option.\n");
}

TEST_F(CreateNewSysFileTest, DumpGoesToStandardOutputOnlyAndTheMessagesToBoth) {
  ScratchDir dir;
  Sys s = Sample(12345);
  const std::string design = Expected(s, 1, 0);
  int result = -1;
  std::string out, err;
  {
    StdStreams streams(dir.root());
    Call call;
    call.dump = true;
    result = Create(s, call);
    streams.Restore();
    out = streams.Out();
    err = streams.Err();
  }
  EXPECT_EQ(result, CREATE_DUMPED);
  const std::string messages = "WARNING: Can't create filename.\nInstead, dumping to stdout.\n";
  EXPECT_EQ(out, messages + design);
  EXPECT_EQ(err, messages); // redirected output is mirrored, the dump is not
  EXPECT_TRUE(Listing(".").empty());
}

TEST_F(CreateNewSysFileTest, BaseConditionUsesTheCurrentBase) {
  ScratchDir dir;
  Sys s = Make(99, 6, 3, 6, 1, {{1, 2, 3, 4, 5, 6}});
  s.base = 200; // 200 + 99 - 1 > 255
  ConsoleCapture cap;
  EXPECT_EQ(Create(s, Call{}), CREATE_NOTHING);
  EXPECT_EQ(cap.out, kAdvice);
  s.base = 1;
  cap.out.clear();
  EXPECT_EQ(Create(s, Call{}), CREATE_FILE);
  EXPECT_TRUE(fs::exists("9900013a.616"));
}

TEST_F(CreateNewSysFileTest, LambdaAboveNineOnlyUnderMinusF1) {
  ScratchDir dir;
  Sys s = Sample(168, 12);
  ConsoleCapture cap;
  EXPECT_EQ(Create(s, Call{}), CREATE_NOTHING);
  EXPECT_EQ(cap.out, kAdvice);
  Call f0;
  f0.useL = false;
  cap.out.clear();
  EXPECT_EQ(Create(s, f0), CREATE_FILE);
  EXPECT_EQ(cap.out, "");
  EXPECT_EQ(ReadFile("4901683a.6a6"), Expected(s, 1, 0));
}

TEST_F(CreateNewSysFileTest, RefusedOverwriteTouchesNothing) {
  ScratchDir dir;
  WriteFile("4901683a.616", "stored\n");
  Sys s = Sample();
  Call call;
  call.createAllowed = false;
  {
    ConsoleCapture cap;
    EXPECT_EQ(Create(s, call), CREATE_NOTHING);
    EXPECT_EQ(cap.out, "");
  }
  call.dump = true;
  {
    ConsoleCapture cap;
    EXPECT_EQ(Create(s, call), CREATE_DUMPED);
    EXPECT_EQ(cap.out, "Instead, dumping to stdout.\n" + Expected(s, 1, 0));
    EXPECT_EQ(cap.err, "");
  }
  EXPECT_EQ(ReadFile("4901683a.616"), "stored\n");
  EXPECT_EQ(Listing("."), std::set<std::string>{"4901683a.616"});
}

TEST_F(CreateNewSysFileTest, OverwriteReplacesByACompleteFileKeepingPermissions) {
  ScratchDir dir;
  WriteFile("4901683a.616", "stored\n");
  ::chmod("4901683a.616", 0640);
  Sys s = Sample();
  ConsoleCapture cap;
  EXPECT_EQ(Create(s, Call{}), CREATE_FILE);
  EXPECT_EQ(ReadFile("4901683a.616"), Expected(s, 1, 0));
  struct stat st {};
  ASSERT_EQ(::stat("4901683a.616", &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Listing("."), std::set<std::string>{"4901683a.616"});
}

TEST_F(CreateNewSysFileTest, OutputBaseIsWrittenAndUndone) {
  ScratchDir dir;
  Sys s = Sample();
  const std::vector<uint8_t> before = Points(s);
  Call p0;
  p0.outBase = 0;
  ConsoleCapture cap;
  EXPECT_EQ(Create(s, p0), CREATE_FILE);
  EXPECT_EQ(ReadFile("4901683a.616"), Expected(s, 0, -1)); // every point one lower
  EXPECT_EQ(s.base, 1);
  EXPECT_EQ(Points(s), before);

  p0.createAllowed = false;
  p0.dump = true;
  cap.out.clear();
  EXPECT_EQ(Create(s, p0), CREATE_DUMPED);
  EXPECT_EQ(cap.out, "Instead, dumping to stdout.\n" + Expected(s, 0, -1));
  EXPECT_EQ(s.base, 1);
  EXPECT_EQ(Points(s), before);
}

TEST_F(CreateNewSysFileTest, OutputBaseMovesEveryPointByTheDifference) {
  // Point 1 is missing: the numbers still move by exactly base difference.
  ScratchDir dir;
  Sys s = Make(10, 3, 2, 2, 1, {{2, 3, 4}, {5, 6, 10}});
  const std::vector<uint8_t> before = Points(s);
  Call p5;
  p5.outBase = 5;
  ConsoleCapture cap;
  EXPECT_EQ(Create(s, p5), CREATE_FILE);
  const std::string text = ReadFile("1000022a.213");
  EXPECT_NE(text.find("ID       10 2 3 10 0/0 2/2 1 2 5 0 4 2 64 1 ...\n"), std::string::npos);
  EXPECT_NE(text.find("Data\n 6  7  8\n 9 10 14\n"), std::string::npos);
  EXPECT_EQ(s.base, 1);
  EXPECT_EQ(Points(s), before);
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

TEST_F(CreateNewSysFileTest, WriteErrorLeavesNothingAndKeepsTheStoredFile) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ScratchDir dir;
  SetPendingStreamHookForTest(FullDevice);
  Sys s = Sample();
  ConsoleCapture cap;
  EXPECT_EQ(Create(s, Call{}), CREATE_NOTHING);
  EXPECT_EQ(cap.out,
            "Err: Writing <4901683a.616> failed (write: No space left on device); no file was "
            "changed.\n");
  EXPECT_TRUE(Listing(".").empty());

  WriteFile("4901683a.616", "stored\n"); // as under -O
  EXPECT_EQ(Create(s, Call{}), CREATE_NOTHING);
  EXPECT_EQ(ReadFile("4901683a.616"), "stored\n");
  EXPECT_EQ(Listing("."), std::set<std::string>{"4901683a.616"});
  EXPECT_EQ(s.base, 1);
}

TEST_F(CreateNewSysFileTest, FailedCloseLeavesNothing) {
  ScratchDir dir;
  SetPendingStreamHookForTest(FailingClose);
  WriteFile("4901683a.616", "stored\n");
  Sys s = Sample();
  ConsoleCapture cap;
  EXPECT_EQ(Create(s, Call{}), CREATE_NOTHING);
  EXPECT_EQ(cap.out, "Err: Writing <4901683a.616> failed (close: Input/output error); no file was "
                     "changed.\n");
  EXPECT_EQ(ReadFile("4901683a.616"), "stored\n");
  EXPECT_EQ(Listing("."), std::set<std::string>{"4901683a.616"});
}

TEST_F(CreateNewSysFileTest, FailingWritersLeaveNothing) {
  ScratchDir dir;
  WriteFile("4901683a.616", "stored\n");
  Sys s = Sample();
  ConsoleCapture cap;
  Call ctext;
  ctext.method = 1;
  ctext.avgLineLen = 10; // the ctext writer refuses this line length
  EXPECT_EQ(Create(s, ctext), CREATE_NOTHING);

  // A point above v has no rank: the binary writer fails.
  Sys bad = Make(10, 3, 2, 2, 1, {{1, 2, 3}, {4, 5, 12}});
  Call cbin;
  cbin.method = 2;
  EXPECT_EQ(Create(bad, cbin), CREATE_NOTHING);

  Call inv;
  inv.method = 3;
  cap.out.clear();
  EXPECT_EQ(Create(s, inv), CREATE_NOTHING);
  EXPECT_EQ(cap.out, "Err: Inv compression method 3 given\n");
  inv.createAllowed = false;
  inv.dump = true;
  cap.out.clear();
  EXPECT_EQ(Create(s, inv), CREATE_NOTHING);
  EXPECT_EQ(cap.out, "Instead, dumping to stdout.\nErr: Inv compression method 3 given\n");

  EXPECT_EQ(ReadFile("4901683a.616"), "stored\n");
  EXPECT_EQ(Listing("."), std::set<std::string>{"4901683a.616"});
}

TEST_F(CreateNewSysFileTest, DirectoryThatCannotTakeAFile) {
  ScratchDir dir;
  fs::create_directory("gone");
  fs::current_path("gone");
  fs::remove(fs::current_path());
  Sys s = Sample();
  ConsoleCapture cap;
  EXPECT_EQ(Create(s, Call{}), CREATE_NOTHING);
  EXPECT_EQ(cap.out, kAdvice);
}

TEST_F(CreateNewSysFileTest, AFatalExitOnTheWayLeavesNoTemporaryFile) {
  // ErrExit throws; whatever was created beside the target must go with it.
  ScratchDir dir;
  Sys s = Sample();
  SetPendingStreamHookForTest([](const char*) -> std::FILE* { throw FatalExit{99}; });
  ConsoleCapture cap;
  EXPECT_THROW(Create(s, Call{}), FatalExit);
  EXPECT_TRUE(Listing(".").empty());
  EXPECT_EQ(s.base, 1);
}

TEST(PendingFile, TemporaryFileBesideTheTargetUntilCommitted) {
  ScratchDir dir;
  fs::create_directory("sub");
  WriteFile("sub/name.txt", "old\n");
  {
    PendingFile f;
    ASSERT_TRUE(OpenPendingFile(f, "sub/name.txt"));
    EXPECT_EQ(f.tempPath.rfind("sub/.name.txt.", 0), 0u);
    EXPECT_EQ(f.tempPath.size(), std::string("sub/.name.txt.").size() + 6);
    std::fputs("new\n", f.stream);
    EXPECT_EQ(ReadFile("sub/name.txt"), "old\n");
    EXPECT_EQ(Listing("sub").size(), 2u);
    std::string why;
    ASSERT_TRUE(CommitPendingFile(f, &why)) << why;
  }
  EXPECT_EQ(ReadFile("sub/name.txt"), "new\n");
  EXPECT_EQ(Listing("sub"), std::set<std::string>{"name.txt"});

  {
    PendingFile f; // dropped without a commit
    ASSERT_TRUE(OpenPendingFile(f, "sub/name.txt"));
    std::fputs("lost\n", f.stream);
  }
  EXPECT_EQ(ReadFile("sub/name.txt"), "new\n");
  EXPECT_EQ(Listing("sub"), std::set<std::string>{"name.txt"});
}

TEST(PendingFile, TwoAtOnceGetDifferentNames) {
  ScratchDir dir;
  PendingFile a, b;
  ASSERT_TRUE(OpenPendingFile(a, "x"));
  ASSERT_TRUE(OpenPendingFile(b, "x"));
  EXPECT_NE(a.tempPath, b.tempPath);
  std::fputs("a", a.stream);
  std::fputs("b", b.stream);
  ASSERT_TRUE(CommitPendingFile(a, nullptr));
  ASSERT_TRUE(CommitPendingFile(b, nullptr));
  EXPECT_EQ(ReadFile("x"), "b");
}

TEST(PendingFile, FailuresLeaveNoTemporaryFile) {
  ScratchDir dir;
  PendingFile f;
  EXPECT_FALSE(OpenPendingFile(f, "missing/name.txt"));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(OpenPendingFile(f, "dir/"));
  EXPECT_FALSE(OpenPendingFile(f, ""));

  // A directory in the target's place cannot be replaced by a file.
  fs::create_directory("taken");
  ASSERT_TRUE(OpenPendingFile(f, "taken"));
  std::string why;
  EXPECT_FALSE(CommitPendingFile(f, &why));
  EXPECT_EQ(why.rfind("rename: ", 0), 0u) << why;
  EXPECT_EQ(Listing("."), std::set<std::string>{"taken"});

  // The binary writer's way: the stream closed, the file written by name.
  ASSERT_TRUE(OpenPendingFile(f, "byname"));
  ASSERT_TRUE(ClosePendingStream(f));
  WriteFile(f.tempPath, "data");
  ASSERT_TRUE(CommitPendingFile(f, &why)) << why;
  EXPECT_EQ(ReadFile("byname"), "data");
  EXPECT_EQ(Listing("."), (std::set<std::string>{"byname", "taken"}));
}

using ToSysDirTest = Fixture;

const fs::path kClass = "../system/K6/3a6a6";

// The ToSysDir mode clears -f1: the tree's names carry the letter a for l.
const Call kSysDir = [] {
  Call c;
  c.useL = false;
  c.toSysDir = true;
  return c;
}();

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
  EXPECT_EQ(ReadFile(kClass / "4901703a.6a6"), "stored 170\n");
  EXPECT_EQ(Listing(kClass),
            (std::set<std::string>{"4901653a.6a6", "4901683a.6a6", "4901703a.6a6"}));
  EXPECT_TRUE(Listing(".").empty());
}

TEST_F(ToSysDirTest, NoFileOfTheClassCreatesNothing) {
  ScratchDir dir;
  fs::create_directories(kClass);
  WriteFile(kClass / "5001683a.6a6", "another v\n");
  Sys s = Sample(165);
  ConsoleCapture cap;
  EXPECT_EQ(Create(s, kSysDir), CREATE_NOTHING);
  EXPECT_EQ(cap.out, kAdvice);
  EXPECT_EQ(s.b, 165u);
  EXPECT_EQ(Listing(kClass), std::set<std::string>{"5001683a.6a6"});
}

TEST_F(ToSysDirTest, MoreThan9999BlocksNeverReplaceAStoredFile) {
  ScratchDir dir;
  WriteFile(kClass / "4901683a.6a6", "stored 168\n");
  Sys s = Sample(12345);
  ConsoleCapture cap;
  EXPECT_EQ(Create(s, kSysDir), CREATE_NOTHING);
  EXPECT_EQ(cap.out, kAdvice);
  EXPECT_EQ(s.b, 12345u);
  EXPECT_EQ(ReadFile(kClass / "4901683a.6a6"), "stored 168\n");
  EXPECT_EQ(Listing(kClass), std::set<std::string>{"4901683a.6a6"});
}

TEST_F(ToSysDirTest, TheSameCountReplacesTheStoredFileCompletely) {
  ScratchDir dir;
  WriteFile(kClass / "4901683a.6a6", "stored 168\n");
  Sys s = Sample(168);
  ConsoleCapture cap; // creation allowed, as under -O
  EXPECT_EQ(Create(s, kSysDir), CREATE_FILE);
  EXPECT_EQ(ReadFile(kClass / "4901683a.6a6"), Expected(s, 1, 0));
  EXPECT_EQ(Listing(kClass), std::set<std::string>{"4901683a.6a6"});
}

// The compressed writers arrive separately; until they write, these skip.
bool CTextWriterWorks() {
  Sys s = Make(7, 3, 2, 2, 1, {{1, 2, 3}, {1, 4, 5}});
  std::FILE* f = std::tmpfile();
  ConsoleCapture cap;
  const bool ok = f != nullptr && WriteCText(s, f, 64, true);
  if (f != nullptr) std::fclose(f);
  return ok;
}

bool CBinWriterWorks(const fs::path& dir) {
  Sys s = Make(7, 3, 2, 2, 1, {{1, 2, 3}, {1, 4, 5}});
  ConsoleCapture cap;
  return WriteCBin(s, (dir / "probe.bin").c_str(), true);
}

TEST_F(CreateNewSysFileTest, CompressedTextIsWrittenOrDumped) {
  ScratchDir dir;
  if (!CTextWriterWorks()) GTEST_SKIP() << "the ctext writer does not write yet";
  Sys s = Sample();
  Call call;
  call.method = 1;
  ConsoleCapture cap;
  EXPECT_EQ(Create(s, call), CREATE_FILE);
  const std::string text = ReadFile("4901683a.616");
  EXPECT_EQ(text.rfind("ID 49 168 6 49 0/0 3/6 1 2 1 1 4 2 64 1 ...\n", 0), 0u);
  EXPECT_EQ(Listing("."), std::set<std::string>{"4901683a.616"});
  call.createAllowed = false;
  call.dump = true;
  cap.out.clear();
  EXPECT_EQ(Create(s, call), CREATE_DUMPED);
  EXPECT_EQ(cap.out, "Instead, dumping to stdout.\n" + text);
}

TEST_F(CreateNewSysFileTest, CompressedBinaryIsWrittenUnderTheTargetName) {
  ScratchDir dir;
  if (!CBinWriterWorks(dir.root())) GTEST_SKIP() << "the cbin writer does not write yet";
  Sys s = Sample();
  Call call;
  call.method = 2;
  ConsoleCapture cap;
  EXPECT_EQ(Create(s, call), CREATE_FILE);
  EXPECT_EQ(ReadFile("4901683a.616").rfind("ID 49 168 6 49 0/0 3/6 1 2 1 2 4 2 64 1 ...\n", 0), 0u);
  EXPECT_EQ(Listing("."), std::set<std::string>{"4901683a.616"});
}

} // namespace
} // namespace kovra
