// The design record: allocation, copying, renumbering, sorting, subsets, checks.
#include "base/console.hpp"
#include "design/sys.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace kovra {
namespace {

using Pts = std::vector<int>;

// Builds a loaded Sys holding the given blocks.
Sys MakeDesign(unsigned v, unsigned k, std::initializer_list<Pts> blocks) {
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

// The points of every block, one vector per block.
std::vector<Pts> All(const Sys& s) {
  std::vector<Pts> all;
  for (uint32_t i = 0; i < s.b; ++i) all.emplace_back(s.blocks[i].pt, s.blocks[i].pt + s.k);
  return all;
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

TEST(SysRecord, CopyAndAppend) {
  Sys a = MakeDesign(7, 3, {{1, 2, 3}, {4, 5, 6}});
  Sys c;
  CopySys(c, a);
  EXPECT_EQ(c.v, 7);
  EXPECT_EQ(BlockK(c.blocks[0]), 3u);
  EXPECT_TRUE(AppendSys(c, MakeDesign(7, 3, {{1, 6, 7}})));
  EXPECT_EQ(All(c), (std::vector<Pts>{{1, 2, 3}, {4, 5, 6}, {1, 6, 7}}));
  ConsoleCapture cap;
  EXPECT_FALSE(AppendSys(c, MakeDesign(7, 2, {{1, 2}})));
  EXPECT_EQ(cap.out, "Err! AppendSys: different k's\n");
  EXPECT_EQ(c.b, 3u);
}

TEST(SysRecord, ShiftPointsUsesTheSmallestPointNotTheRecordedBase) {
  Sys s = MakeDesign(9, 3, {{3, 5, 9}, {4, 6, 8}});
  s.base = 7; // ignored by the renumbering
  ShiftPoints(s.blocks.get(), s.b, 1, false);
  EXPECT_EQ(All(s), (std::vector<Pts>{{1, 3, 7}, {2, 4, 6}}));
}

// ChangeBase moves every point by the difference of the bases, so a design
// that does not use its first point keeps its numbering (and the numbers
// printed and written match the file's).
TEST(SysRecord, ChangeBaseMovesByTheDifferenceOfTheBases) {
  Sys z = MakeDesign(6, 2, {{2, 5}, {3, 4}});
  z.base = 0;
  ChangeBase(z, 1);
  EXPECT_EQ(z.base, 1);
  EXPECT_EQ(All(z), (std::vector<Pts>{{3, 6}, {4, 5}}));
  ChangeBase(z, 201);
  EXPECT_EQ(All(z), (std::vector<Pts>{{203, 206}, {204, 205}}));
  ChangeBase(z, 0);
  ChangeBase(z, -1); // keeps the base
  EXPECT_EQ(z.base, 0);
  EXPECT_EQ(All(z), (std::vector<Pts>{{2, 5}, {3, 4}}));
}

TEST(SysRecord, CloseGapsInOrderOfFirstAppearance) {
  Sys s = MakeDesign(9, 3, {{5, 9, 2}, {9, 7, 2}});
  EXPECT_EQ(CloseGaps(s.blocks.get(), s.b, 1), 4u);
  EXPECT_EQ(All(s), (std::vector<Pts>{{1, 2, 3}, {2, 4, 3}}));
}

TEST(SysRecord, SortBlocksMovesTheKField) {
  Sys s = MakeDesign(9, 3, {{9, 8, 7}, {3, 1, 2}, {5, 4, 6}});
  s.blocks[0].kf = static_cast<uint8_t>((3 << 2) | 2);
  SortBlocks(s.blocks.get(), s.b, true); // points only, order of blocks kept
  EXPECT_EQ(All(s), (std::vector<Pts>{{7, 8, 9}, {1, 2, 3}, {4, 5, 6}}));
  SortBlocks(s.blocks.get(), s.b, false);
  EXPECT_EQ(All(s), (std::vector<Pts>{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}));
  EXPECT_EQ(BlockK(s.blocks[0]), 3u);
}

TEST(SysRecord, ExplodeSysOrderAndLowering) {
  Sys s = MakeDesign(4, 4, {{1, 2, 3, 4}});
  s.t = 3;
  s.m = 4;
  ASSERT_TRUE(ExplodeSys(s, 2));
  EXPECT_EQ(All(s), (std::vector<Pts>{{1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}}));
  EXPECT_EQ(s.k, 2);
  EXPECT_EQ(s.t, 2);
  EXPECT_EQ(s.m, 2);
  EXPECT_EQ(BlockK(s.blocks[0]), 2u);
  EXPECT_FALSE(ExplodeSys(s, 3)); // k < s
  EXPECT_TRUE(ExplodeSys(s, 2));  // s = k: unchanged
  EXPECT_EQ(s.b, 6u);
  // A limit below the number of subsets gives nothing.
  uint32_t n = 0;
  EXPECT_EQ(ExplodeBlocks(s.blocks.get(), s.b, 1, &n, 11), nullptr);
  EXPECT_NE(ExplodeBlocks(s.blocks.get(), s.b, 1, &n, 12), nullptr);
  EXPECT_EQ(n, 12u);
}

TEST(CheckDesignParams, MessageChoice) {
  struct Case {
    int16_t v, k, t, m;
    const char* why; // nullptr: valid
  };
  const Case cases[] = {
      {49, 2, 4, 3, "t or m invalid: t must be <= m\n"}, // before t > k
      {49, 2, 3, 6, "t or k invalid: t must be <= k\n"},
      {5, 6, 3, 6, "v or k invalid: v must be >= k\n"},
      {55, 6, 3, 6, "Check limits and ranges.\n"},
      {49, 6, 3, 8, "Check limits and ranges.\n"},
      {49, 6, 3, 7, nullptr},
  };
  for (const Case& c : cases) {
    ConsoleCapture cap;
    EXPECT_EQ(CheckDesignParams(c.v, c.k, c.t, c.m, 300, -1, -1, true), c.why == nullptr);
    char head[128];
    std::snprintf(head, sizeof head,
                  "Err: invalid design parameters v=%d,k=%d,t=%d,m=%d,l=300,b=-1,v1=-1.\n"
                  "     All values must be >= 1. ",
                  c.v, c.k, c.t, c.m);
    EXPECT_EQ(cap.out, c.why == nullptr ? "" : head + std::string(c.why));
  }
  ConsoleCapture cap;
  EXPECT_FALSE(CheckDesignParams(49, 6, 3, 6, 1, 0, -1, false));   // b = 0
  EXPECT_FALSE(CheckDesignParams(49, 6, 3, 6, 1, 168, 50, false)); // v1 above v
  EXPECT_TRUE(CheckDesignParams(49, 6, 3, 6, 1, 168, 49, true));
  EXPECT_EQ(cap.out, "");
}

} // namespace
} // namespace kovra
