// The system tree: the best file of a class, and naming a design in the tree.
// The golden batch run over a tree shows designs loaded from it and written
// into it.
#include "output/systree.hpp"

#include "unit/scratch_dir.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace kovra {
namespace {

using test::WriteFile;

const std::filesystem::path kClass = "../system/K6/3a6a6";
const DesignParams kC49{49, 6, 3, 6, 1};

TEST(FindBestSysFile, FewestBlocksFirstNameInByteOrderSkippingTheRest) {
  test::ScratchDir dir;
  std::string path;
  uint32_t count = 5;
  EXPECT_FALSE(FindBestSysFile(kC49, path, count)); // no tree at all
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(path, "../system/K6/3a6a6/49????3a.6a6");
  WriteFile(kClass / "4900003a.6a6", "x");                      // 0 blocks
  WriteFile(kClass / "49abcd3a.6a6", "x");                      // no digits
  WriteFile(kClass / "4900993a.616", "x");                      // another name form
  WriteFile(kClass / "4900983a.6a6.bak", "x");                  // no match
  WriteFile(kClass / "5000503a.6a6", "x");                      // another v
  std::filesystem::create_directories(kClass / "4900503a.6a6"); // a directory
  EXPECT_FALSE(FindBestSysFile(kC49, path, count));
  EXPECT_EQ(path, "../system/K6/3a6a6/49????3a.6a6");

  WriteFile(kClass / "4901703a.6a6", "x");
  WriteFile(kClass / "4901683a.6a6", "x");
  WriteFile(kClass / "4901683A.6A6", "x"); // either case
  ASSERT_TRUE(FindBestSysFile(kC49, path, count));
  EXPECT_EQ(count, 168u);
  EXPECT_EQ(path, "../system/K6/3a6a6/4901683A.6A6"); // "A" sorts before "a"
}

TEST(SetSysDirFName, CountsThatCannotBeNamedOrHeldAreRefusedUnchanged) {
  test::ScratchDir dir;
  WriteFile(kClass / "4901683a.6a6", "x");
  Sys s;
  ParamsOf(s) = kC49;
  s.blocks = AllocBlocks(165, s.k);
  s.ulAlloc = 165;
  s.b = 7; // the count after the analysis removed blocks
  EXPECT_TRUE(SetSysDirFName(s));
  EXPECT_STREQ(s.szFileName, "../system/K6/3a6a6/4900073a.6a6");
  // A count beyond the blocks the design holds would be read past its array.
  for (const uint32_t b : {166u, 0u}) {
    s.b = b;
    EXPECT_FALSE(SetSysDirFName(s));
    EXPECT_EQ(s.b, b);
  }
  Sys empty;
  ParamsOf(empty) = kC49;
  empty.b = 165;
  EXPECT_FALSE(SetSysDirFName(empty));
}

} // namespace
} // namespace kovra
