// The design record: allocation, copying, renumbering, sorting, subsets, checks.
#include "base/console.hpp"
#include "design/sys.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace kovra {
namespace {

// Builds a loaded Sys holding the given blocks.
Sys MakeDesign(unsigned v, unsigned k, std::initializer_list<std::vector<int>> blocks) {
  Sys s;
  InitSys(s);
  EXPECT_TRUE(AllocSys(s, static_cast<uint32_t>(blocks.size()), k));
  SetSysParams(s, static_cast<uint16_t>(v), static_cast<uint16_t>(k), 1, 1, 1);
  uint32_t i = 0;
  for (const auto& blk : blocks) {
    for (size_t j = 0; j < blk.size(); ++j) s.blocks[i].pt[j] = static_cast<uint8_t>(blk[j]);
    ++i;
  }
  SetBlockK(s.blocks[0], k);
  s.b = i;
  return s;
}

std::vector<int> Points(const Sys& s, uint32_t i) {
  return std::vector<int>(s.blocks[i].pt, s.blocks[i].pt + s.k);
}

TEST(SysRecord, InitialValues) {
  Sys s;
  s.v = 9;
  InitSys(s);
  EXPECT_EQ(s.v, 1);
  EXPECT_EQ(s.x, 2);
  EXPECT_EQ(s.base, 1);
  EXPECT_EQ(s.given.usFileBase, 1);
  EXPECT_FALSE(IsSysLoaded(s));
  EXPECT_EQ(s.blocks, nullptr);
}

TEST(SysRecord, AllocRefusesKEightAndLeavesKZero) {
  Sys s;
  EXPECT_FALSE(AllocSys(s, 4, 8));
  EXPECT_EQ(s.k, 0);
  EXPECT_FALSE(IsSysLoaded(s));
  EXPECT_TRUE(AllocSys(s, 4, 7));
  EXPECT_EQ(s.ulAlloc, 4u);
  EXPECT_EQ(s.b, 0u);
  for (int j = 0; j < 8; ++j) EXPECT_EQ(reinterpret_cast<const uint8_t*>(&s.blocks[3])[j], 0);
}

TEST(SysRecord, BlockKKeepsFlagBits) {
  Block b{};
  b.kf = 3; // both flags
  SetBlockK(b, 6);
  EXPECT_EQ(BlockK(b), 6u);
  EXPECT_EQ(b.kf & 3, 3);
}

TEST(SysRecord, CopyAndAppend) {
  Sys a = MakeDesign(7, 3, {{1, 2, 3}, {4, 5, 6}});
  Sys c;
  CopySys(c, a);
  EXPECT_EQ(c.b, 2u);
  EXPECT_EQ(Points(c, 1), (std::vector<int>{4, 5, 6}));
  EXPECT_EQ(BlockK(c.blocks[0]), 3u);
  EXPECT_EQ(c.v, 7);

  Sys d = MakeDesign(7, 3, {{1, 6, 7}});
  EXPECT_TRUE(AppendSys(c, d));
  EXPECT_EQ(c.b, 3u);
  EXPECT_EQ(Points(c, 2), (std::vector<int>{1, 6, 7}));

  Sys e = MakeDesign(7, 2, {{1, 2}});
  ConsoleCapture cap;
  EXPECT_FALSE(AppendSys(c, e));
  EXPECT_EQ(cap.out, "Err! AppendSys: different k's\n");
  EXPECT_EQ(c.b, 3u);
}

TEST(SysRecord, ShiftPointsUsesTheSmallestPointNotTheRecordedBase) {
  Sys s = MakeDesign(9, 3, {{3, 5, 9}, {4, 6, 8}});
  s.base = 7; // ignored by the renumbering
  ShiftPoints(s.blocks.get(), s.b, 1, false);
  EXPECT_EQ(Points(s, 0), (std::vector<int>{1, 3, 7}));
  EXPECT_EQ(Points(s, 1), (std::vector<int>{2, 4, 6}));
}

// ChangeBase moves every point by the difference of the bases, so a design
// that does not use its first point keeps its numbering (and the numbers
// printed and written match the file's).
TEST(SysRecord, ChangeBaseMovesByTheDifferenceOfTheBases) {
  Sys z = MakeDesign(6, 2, {{2, 5}, {3, 4}});
  z.base = 0;
  ChangeBase(z, 1);
  EXPECT_EQ(z.base, 1);
  EXPECT_EQ(Points(z, 0), (std::vector<int>{3, 6}));
  ChangeBase(z, 201);
  EXPECT_EQ(Points(z, 1), (std::vector<int>{204, 205}));
  ChangeBase(z, 0);
  EXPECT_EQ(Points(z, 0), (std::vector<int>{2, 5}));
  ChangeBase(z, -1); // keeps the base
  EXPECT_EQ(z.base, 0);
  EXPECT_EQ(Points(z, 1), (std::vector<int>{3, 4}));
}

TEST(SysRecord, CloseGapsInOrderOfFirstAppearance) {
  Sys s = MakeDesign(9, 3, {{5, 9, 2}, {9, 7, 2}});
  EXPECT_EQ(CloseGaps(s.blocks.get(), s.b, 1), 4u);
  EXPECT_EQ(Points(s, 0), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(Points(s, 1), (std::vector<int>{2, 4, 3}));
}

TEST(SysRecord, SortBlocksMovesTheKField) {
  Sys s = MakeDesign(9, 3, {{9, 8, 7}, {3, 1, 2}, {5, 4, 6}});
  s.blocks[0].kf = static_cast<uint8_t>((3 << 2) | 2);
  SortBlocks(s.blocks.get(), s.b, true);
  EXPECT_EQ(Points(s, 0), (std::vector<int>{7, 8, 9})); // order of blocks kept
  EXPECT_EQ(Points(s, 1), (std::vector<int>{1, 2, 3}));
  SortBlocks(s.blocks.get(), s.b, false);
  EXPECT_EQ(Points(s, 0), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(Points(s, 2), (std::vector<int>{7, 8, 9}));
  EXPECT_EQ(BlockK(s.blocks[0]), 3u);
}

TEST(SysRecord, ExplodeSysOrderAndLowering) {
  Sys s = MakeDesign(4, 4, {{1, 2, 3, 4}});
  s.t = 3;
  s.m = 4;
  ASSERT_TRUE(ExplodeSys(s, 2));
  ASSERT_EQ(s.b, 6u);
  const std::vector<std::vector<int>> expected = {{1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}};
  for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(Points(s, i), expected[i]);
  EXPECT_EQ(s.k, 2);
  EXPECT_EQ(s.t, 2);
  EXPECT_EQ(s.m, 2);
  EXPECT_EQ(BlockK(s.blocks[0]), 2u);
  EXPECT_FALSE(ExplodeSys(s, 3)); // k < s
  EXPECT_TRUE(ExplodeSys(s, 2));  // s = k: unchanged
  EXPECT_EQ(s.b, 6u);
}

TEST(SysRecord, ExplodeBlocksRespectsTheLimit) {
  Sys s = MakeDesign(6, 3, {{1, 2, 3}, {4, 5, 6}});
  uint32_t n = 0;
  EXPECT_EQ(ExplodeBlocks(s.blocks.get(), s.b, 2, &n, 5), nullptr);
  EXPECT_NE(ExplodeBlocks(s.blocks.get(), s.b, 2, &n, 6), nullptr);
  EXPECT_EQ(n, 6u);
}

TEST(CheckDesignParams, MessageChoice) {
  ConsoleCapture cap;
  EXPECT_FALSE(CheckDesignParams(49, 2, 4, 3, 1, -1, -1, true));
  EXPECT_EQ(cap.out, "Err: invalid design parameters v=49,k=2,t=4,m=3,l=1,b=-1,v1=-1.\n"
                     "     All values must be >= 1. t or m invalid: t must be <= m\n");
  cap.out.clear();
  EXPECT_FALSE(CheckDesignParams(49, 2, 3, 6, 1, -1, -1, true));
  EXPECT_NE(cap.out.find("t or k invalid: t must be <= k\n"), std::string::npos);
  cap.out.clear();
  EXPECT_FALSE(CheckDesignParams(5, 6, 3, 6, 1, -1, -1, true));
  EXPECT_NE(cap.out.find("v or k invalid: v must be >= k\n"), std::string::npos);
  cap.out.clear();
  EXPECT_FALSE(CheckDesignParams(55, 6, 3, 6, 1, -1, -1, true));
  EXPECT_NE(cap.out.find("Check limits and ranges.\n"), std::string::npos);
  cap.out.clear();
  EXPECT_FALSE(CheckDesignParams(49, 6, 3, 6, 1, 0, -1, false));
  EXPECT_TRUE(cap.out.empty());
  EXPECT_TRUE(CheckDesignParams(49, 6, 3, 6, 1, 168, 49, true));
  EXPECT_TRUE(CheckDesignParams(49, 6, 3, 7, 300, -1, -1, true));  // l has no upper limit here
  EXPECT_FALSE(CheckDesignParams(49, 6, 3, 6, 1, 168, 50, false)); // v1 above v
  EXPECT_TRUE(cap.out.empty());
}

TEST(SysRecord, PrintSysParams) {
  Sys s = MakeDesign(49, 6, {{1, 2, 3, 4, 5, 6}});
  SetSysParams(s, 49, 6, 3, 6, 1);
  ConsoleCapture cap;
  PrintSysParams(s, true);
  PrintSysParams(s, false);
  EXPECT_EQ(cap.out, "v=49,k=6,t=3,m=6,l=1,b=1\nv=49,k=6,t=3,m=6,l=1,b=1");
}

} // namespace
} // namespace kovra
