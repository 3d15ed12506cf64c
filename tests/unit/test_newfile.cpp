// Writing a design to a new file: it appears completely or not at all, says
// why not with the true cause, replaces nothing it may not (also when the
// target appears or changes while the file is written), is written only
// through the descriptor that created it, and keeps only the permission bits
// of the file it replaces. The golden runs show the names, -e, -O, -D, -p and
// the compressed writers through the program.
#include "output/newfile.hpp"

#include "base/console.hpp"
#include "base/fatal.hpp"
#include "compressed_samples.hpp"
#include "output/safefile.hpp"
#include "scratch_dir.hpp"
#include "test_driver_util.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kovra {
namespace {

namespace fs = std::filesystem;
using test::Listing;
using Names = std::set<std::string>;

// What the hook does at each step; a test sets the fields it needs.
struct HookPlan {
  int writeError = 0;    // the first kWrite fails with it: its cause must be the one reported
  int closeError = 0;    // kClose fails with it
  int placeError = 0;    // kPlace: the non-replacing rename fails with it
  bool fatal = false;    // kOpened ends the program
  bool swapName = false; // kOpened: the temporary name becomes a link to "victim"
  std::string atPlace;   // kPlace: "file" or "fifo" appears at the target
};
HookPlan gPlan;

HookPlan Failing(int writeError, int closeError = 0, int placeError = 0, bool fatal = false) {
  HookPlan plan;
  plan.writeError = writeError;
  plan.closeError = closeError;
  plan.placeError = placeError;
  plan.fatal = fatal;
  return plan;
}

int PlanHook(PendingStep step, const PendingFile& f) {
  switch (step) {
  case PendingStep::kOpened:
    if (gPlan.fatal) throw FatalExit{99};
    if (gPlan.swapName) {
      ::unlink(f.tempPath.c_str());
      EXPECT_EQ(::symlink("victim", f.tempPath.c_str()), 0);
    }
    return 0;
  case PendingStep::kWrite: return std::exchange(gPlan.writeError, 0); // the first write
  case PendingStep::kClose: return gPlan.closeError;
  case PendingStep::kPlace:
    if (gPlan.atPlace == "file") test::WriteFile(f.target, "theirs\n");
    if (gPlan.atPlace == "fifo") {
      ::unlink(f.target.c_str());
      EXPECT_EQ(::mkfifo(f.target.c_str(), 0600), 0);
    }
    return gPlan.placeError;
  }
  return 0;
}

struct NewFile : ::testing::Test {
  NewFile() {
    gPlan = HookPlan{};
    SetPendingHookForTest(PlanHook);
  }
  ~NewFile() override { SetPendingHookForTest(nullptr); }
  test::ScratchDir dir;
};

// A C(49,6,3,6,1) design of 168 blocks; only their number counts here.
Sys Sample() {
  return samples::MakeDesign(49, 6, samples::BlockList(168, {1, 2, 3, 4, 5, 6}), 3, 6);
}

std::string gOut; // what the last Create printed

int Create(Sys& s, uint8_t method = 0, bool replace = false, bool dump = false) {
  NewFileRequest req;
  req.target = NewFileTarget(s, true, false);
  req.method = method;
  req.replace = replace;
  req.dumpToStdout = dump;
  ConsoleCapture cap;
  gOut.clear();
  const int result = CreateNewSysFile(s, req);
  gOut = cap.out;
  return result;
}

// The permission bits, or (kind) the file type bits, of what is at path.
int Mode(const char* path, bool kind = false) {
  struct stat st {};
  return ::lstat(path, &st) != 0 ? -1 : static_cast<int>(st.st_mode & (kind ? S_IFMT : 07777));
}

bool IsDesignText(const std::string& text) {
  return text.starts_with("#ID") || text.starts_with("ID ");
}

// Written, or (whatever way the writing fails, in every format) nothing at
// all: no temporary file is left beside the target, the message gives the
// system's own cause, and a stored file (as under -O) is replaced keeping
// its permission bits but not set-user-ID or set-group-ID, or kept.
TEST_F(NewFile, AppearsCompletelyOrNotAtAll) {
  const std::pair<HookPlan, std::string> plans[] = {
      {Failing(ENOSPC), "write: No space left on device"},
      {Failing(EFBIG), "write: File too large"},
      {Failing(0, EIO), "close: Input/output error"},
      {Failing(0, 0, 0, true), ""},
      {Failing(0), ""}};
  for (const auto& [plan, why] : plans) {
    for (const uint8_t method : {0, 1, 2}) {
      for (const bool stored : {false, true}) {
        gPlan = plan;
        fs::remove("4901683a.616");
        if (stored) test::WriteFile("4901683a.616", "stored\n");
        ::chmod("4901683a.616", 06750);
        Sys s = Sample();
        const bool written = why.empty() && !plan.fatal;
        if (plan.fatal) {
          EXPECT_THROW(Create(s, method, stored), FatalExit);
        } else {
          EXPECT_EQ(Create(s, method, stored), written ? CREATE_FILE : CREATE_NOTHING);
          const std::string failed = "Err: Writing <4901683a.616> failed (" + why + ")";
          EXPECT_TRUE(written || gOut.ends_with(failed + "; no file was changed.\n")) << gOut;
        }
        EXPECT_EQ(Listing("."), stored || written ? Names{"4901683a.616"} : Names{});
        const std::string text = test::ReadFile("4901683a.616");
        EXPECT_TRUE(written ? IsDesignText(text) : text == (stored ? "stored\n" : ""))
            << int{method};
        EXPECT_TRUE(!stored || Mode("4901683a.616") == (written ? 0750 : 06750));
      }
    }
  }
  // A point above v has no rank: the binary writer fails.
  fs::remove("4901683a.616");
  Sys bad = Sample();
  BlockAt(bad, 1)[5] = 50;
  EXPECT_EQ(Create(bad, 2), CREATE_NOTHING);
  EXPECT_TRUE(Listing(".").empty());
}

// A file that appears at the target while the design is written is kept and
// reported like one that was there before, whether the file system has the
// non-replacing rename or not (EINVAL: the hard-link way). Without -O that
// is any file; with -O a FIFO that takes the place of the file.
TEST_F(NewFile, WhatAppearsMeanwhileIsNeverReplaced) {
  const std::string exists = "Err: Can't overwrite existing file <4901683a.616>.\n"
                             "     Use option -O for overwriting.\n";
  for (const int placeError : {0, EINVAL}) {
    for (const bool appears : {false, true}) {
      fs::remove("4901683a.616");
      gPlan = Failing(0, 0, placeError);
      gPlan.atPlace = appears ? "file" : "";
      Sys s = Sample();
      EXPECT_EQ(Create(s), appears ? CREATE_NOTHING : CREATE_FILE);
      EXPECT_EQ(gOut, appears ? exists : "");
      EXPECT_EQ(Listing("."), Names{"4901683a.616"});
      const std::string text = test::ReadFile("4901683a.616");
      EXPECT_TRUE(appears ? text == "theirs\n" : IsDesignText(text));
    }
  }
  // With -D the design then goes to standard output instead.
  fs::remove("4901683a.616");
  gPlan.atPlace = "file";
  Sys s = Sample();
  EXPECT_EQ(Create(s, 0, false, true), CREATE_DUMPED);
  EXPECT_EQ(test::ReadFile("4901683a.616"), "theirs\n");
  // -O, and a FIFO comes instead of the stored file.
  test::WriteFile("4901683a.616", "stored\n");
  gPlan.atPlace = "fifo";
  EXPECT_EQ(Create(s, 0, true), CREATE_NOTHING);
  EXPECT_EQ(gOut, "Err: Writing <4901683a.616> failed (<4901683a.616> is a FIFO, not a regular "
                  "file); no file was changed.\n");
  EXPECT_EQ(Mode("4901683a.616", true), S_IFIFO);
  EXPECT_EQ(Listing("."), Names{"4901683a.616"});
}

// Whoever swaps the temporary name for a link while the design is written
// redirects nothing: every writer writes through its own descriptor, the
// linked file stays as it was, and the swapped name never takes the target's.
TEST_F(NewFile, IsWrittenOnlyThroughItsOwnDescriptor) {
  for (const uint8_t method : {0, 1, 2}) {
    test::WriteFile("victim", "victim\n");
    gPlan.swapName = true;
    Sys s = Sample();
    EXPECT_EQ(Create(s, method), CREATE_NOTHING);
    EXPECT_EQ(test::ReadFile("victim"), "victim\n") << int{method};
    EXPECT_EQ(Listing("."), Names{"victim"});
  }
}

// -O replaces a regular file or a link that names nothing; anything else at
// the target is refused before writing, and without -O anything at all is.
TEST_F(NewFile, ReplacesOnlyARegularFileOrADanglingLink) {
  ASSERT_EQ(::mkfifo("fifo", 0600), 0);
  fs::create_directory("dir");
  test::WriteFile("file", "file\n");
  fs::create_symlink("file", "linked");
  fs::create_symlink("nowhere", "dangling");
  const std::pair<const char*, const char*> rows[] = {
      {"free", nullptr},        {"file", nullptr},
      {"dangling", nullptr},    {"fifo", "a FIFO"},
      {"dir", "a directory"},   {"linked", "a symbolic link to an existing file"},
      {"/dev/null", "a device"}};
  for (const auto& [name, kind] : rows) {
    for (const bool replace : {false, true}) {
      ConsoleCapture cap;
      const bool taken = std::string(name) != "free";
      EXPECT_EQ(MayCreateFile(name, replace), !taken || (replace && kind == nullptr)) << name;
      const std::string refusal =
          !taken     ? ""
          : !replace ? "Err: Can't overwrite existing file <" + std::string(name) +
                           ">.\n     Use option -O for overwriting.\n"
          : kind == nullptr ? ""
                            : "Err: Can't replace <" + std::string(name) + ">: it is " + kind +
                                  ", not a regular file.\n";
      EXPECT_EQ(cap.out, refusal) << name;
    }
  }
  // A dangling link is replaced by the file itself; what it named is not made.
  Sys s = Sample();
  NewFileRequest req;
  req.target = "dangling";
  req.replace = true;
  EXPECT_EQ(CreateNewSysFile(s, req), CREATE_FILE);
  EXPECT_EQ(Mode("dangling", true), S_IFREG);
  EXPECT_FALSE(fs::exists("nowhere"));
}

// -D with -g2: binary data cannot go to standard output, so it goes to a
// fresh temporary file, announced by name, which goes when writing fails.
TEST_F(NewFile, BinaryDumpGoesToAFreshTemporaryFile) {
  static const std::regex kWarn(
      "WARN: couldn't create ordinary filename and can't dump binary data\nto stdout. "
      "Instead trying to write to a tempory file <(/tmp/kovra[A-Za-z0-9]{6}\\.tmp)>.\n");
  for (const bool good : {true, false}) {
    Sys s = samples::MakeDesign(5, 2, good ? samples::kExampleBlocks : samples::BlockList{{1, 9}});
    NewFileRequest req;
    req.createAllowed = false;
    req.method = 2;
    req.dumpToStdout = true;
    ConsoleCapture cap;
    EXPECT_EQ(CreateNewSysFile(s, req), good ? CREATE_TEMP : CREATE_NOTHING);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(cap.out, m, kWarn)) << cap.out;
    const std::string name = m[1];
    EXPECT_EQ(fs::exists(name), good);
    EXPECT_EQ(test::ReadFile(name).substr(0, 40),
              good ? "ID 5 4 2 5 0/0 2/2 1 2 1 2 4 2 64 1 ...\n" : "");
    std::remove(name.c_str());
  }
  // The run then ends with status 4: the file asked for was not written. A
  // plain dump to standard output is a copy and counts.
  test::WriteText("d.txt", test::ReadText(KOVRA_SOURCE_DIR "/tests/data/runs/complete_5_3.txt"));
  for (const char* method : {"-g2", "-g0"}) {
    SetPendingHookForTest(nullptr);
    const test::Ran r = test::RunKovra({"d.txt", "-e", "-D", method, "--output=no/x", "-h2"});
    EXPECT_EQ(r.status, std::string(method) == "-g2" ? 4 : 0) << r.out;
    const std::string temp = test::Find(r.out, "tempory file <([^>]*)>");
    EXPECT_EQ(temp.empty(), std::string(method) == "-g0");
    if (!temp.empty()) std::remove(temp.c_str());
  }
}

} // namespace
} // namespace kovra
