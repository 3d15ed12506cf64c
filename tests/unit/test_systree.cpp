// The system tree: class directories, name patterns, the best file of a
// class, naming a design in the tree and loading by parameters. The golden
// batch run over a tree shows designs loaded from it and written into it.
#include "app/driver.hpp"
#include "output/systree.hpp"

#include "base/console.hpp"
#include "base/fatal.hpp"
#include "unit/scratch_dir.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace kovra {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;
using test::WriteFile;

const fs::path kClass = "../system/K6/3a6a6";

TEST(SysTreeNames, ClassDirectoryPatternAndMatching) {
  EXPECT_EQ(SysClassDir(6, 3, 6), "../system/K6/3a6a6");
  EXPECT_EQ(SysClassDir(5, 4, 4), "../system/K5/4a4a5");
  EXPECT_EQ(SysNamePattern(49, 6, 3, 6), "49????3a.6a6");
  EXPECT_EQ(SysNamePattern(7, 3, 2, 2), "07????2a.2a3");
  for (const char* name : {"4901683a.6a6", "49abcd3a.6a6", "4901683A.6A6"}) // either case
    EXPECT_TRUE(MatchSysName(name, "49????3a.6a6")) << name;
  for (const char* name : {"4901683a.616", "4901683a.6a6.bak", "490163a.6a6", "5001683a.6a6", ""})
    EXPECT_FALSE(MatchSysName(name, "49????3a.6a6")) << name;
}

TEST(FindBestSysFile, FewestBlocksFirstNameInByteOrderSkippingTheRest) {
  ScratchDir dir;
  std::string path;
  uint32_t count = 5;
  EXPECT_FALSE(FindBestSysFile(DesignParams{49, 6, 3, 6, 1}, path, count)); // no tree at all
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(path, "../system/K6/3a6a6/49????3a.6a6");
  WriteFile(kClass / "4900003a.6a6", "x");         // 0 blocks
  WriteFile(kClass / "49abcd3a.6a6", "x");         // no digits
  WriteFile(kClass / "4900993a.616", "x");         // another name form
  WriteFile(kClass / "4900983a.6a6.bak", "x");     // no match
  WriteFile(kClass / "5000503a.6a6", "x");         // another v
  fs::create_directories(kClass / "4900503a.6a6"); // a directory
  EXPECT_FALSE(FindBestSysFile(DesignParams{49, 6, 3, 6, 1}, path, count));
  EXPECT_EQ(path, "../system/K6/3a6a6/49????3a.6a6");

  WriteFile(kClass / "4901703a.6a6", "x");
  WriteFile(kClass / "4901683a.6a6", "x");
  WriteFile(kClass / "4901683A.6A6", "x");
  ASSERT_TRUE(FindBestSysFile(DesignParams{49, 6, 3, 6, 1}, path, count));
  EXPECT_EQ(count, 168u);
  EXPECT_EQ(path, "../system/K6/3a6a6/4901683A.6A6"); // "A" sorts before "a"
  WriteFile(kClass / "4900073a.6a6", "x");
  ASSERT_TRUE(FindBestSysFile(DesignParams{49, 6, 3, 6, 1}, path, count));
  EXPECT_EQ(count, 7u);
  EXPECT_EQ(path, "../system/K6/3a6a6/4900073a.6a6");
}

// A C(49,6,3,6,1) design with n blocks (the points do not matter here).
Sys Design(uint32_t n) {
  Sys s;
  s.blocks = AllocBlocks(n);
  ParamsOf(s) = DesignParams{49, 6, 3, 6, 1};
  SetBlockK(s.blocks[0], 6);
  s.b = n;
  s.ulAlloc = n;
  return s;
}

TEST(SetSysDirFName, CountsThatCannotBeNamedOrHeldAreRefusedUnchanged) {
  ScratchDir dir;
  WriteFile(kClass / "4901683a.6a6", "x");
  Sys s = Design(165);
  s.b = 7; // the count after the analysis removed blocks
  EXPECT_TRUE(SetSysDirFName(s));
  EXPECT_STREQ(s.szFileName, "../system/K6/3a6a6/4900073a.6a6");
  EXPECT_EQ(s.b, 7u);

  // A count beyond the blocks the design holds would be read past its array.
  s = Design(165);
  s.ulAlloc = 100;
  s.b = 166;
  EXPECT_FALSE(SetSysDirFName(s));
  EXPECT_EQ(s.b, 166u);
  s.b = 0;
  EXPECT_FALSE(SetSysDirFName(s));
  EXPECT_EQ(s.b, 0u);
  EXPECT_STREQ(s.szFileName, "../system/K6/3a6a6/4900003a.6a6");
  Sys empty;
  ParamsOf(empty) = DesignParams{49, 6, 3, 6, 1};
  empty.b = 165;
  EXPECT_FALSE(SetSysDirFName(empty));
}

TEST(MakeSys, TheGivenFileNameOrElseTheBestFileOfTheClass) {
  ScratchDir dir;
  Sys s;
  ConsoleCapture cap;
  EXPECT_FALSE(MakeSys(s, DesignParams{49, 6, 3, 6, 1}, nullptr, LoadOptions{true, 1, 0, false}));
  EXPECT_FALSE(IsSysLoaded(s));
  EXPECT_STREQ(s.szFileName, "../system/K6/3a6a6/49????3a.6a6");

  WriteFile(kClass / "4900023a.6a6", "ID 49 2 6 49 0/0 3/6 1 2 1 0 4 2 64 1 ...\n"
                                     "Data\n 1  2  3  4  5  6\n 7  8  9 10 11 12\n");
  EXPECT_TRUE(MakeSys(s, DesignParams{49, 6, 3, 6, 1}, "",
                      LoadOptions{true, 1, 0, false})); // empty means none
  EXPECT_STREQ(s.szFileName, "../system/K6/3a6a6/4900023a.6a6");
  EXPECT_EQ(s.b, 2u);
  // Reading may end in the loader's fatal exit; the name is set before.
  try {
    MakeSys(s, DesignParams{49, 6, 3, 6, 1}, "elsewhere.txt", LoadOptions{true, 1, 0, false});
  } catch (const FatalExit&) {
  }
  EXPECT_STREQ(s.szFileName, "elsewhere.txt");
}

// A name the record cannot hold is refused, not cut: a cut name could load
// another file.
TEST(MakeSys, RefusesAFileNameLongerThanTheRecordHolds) {
  Sys s;
  const std::string name(FNAME_CAPACITY + 1, 'x');
  ConsoleCapture cap;
  EXPECT_FALSE(
      MakeSys(s, DesignParams{49, 6, 3, 6, 1}, name.c_str(), LoadOptions{true, 1, 0, false}));
  EXPECT_FALSE(IsSysLoaded(s));
  EXPECT_EQ(cap.out, "Err: file name longer than 145 characters: " + name + "\n");
  EXPECT_STREQ(s.szFileName, "");
}

} // namespace
} // namespace kovra
