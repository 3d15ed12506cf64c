// The design record: renumbering, sorting and the parameter check.
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
  s.blocks = AllocBlocks(blocks.size());
  ParamsOf(s) = DesignParams{static_cast<uint16_t>(v), static_cast<uint16_t>(k), 1, 1, 1};
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
    const DesignParams p{static_cast<uint16_t>(c.v), static_cast<uint16_t>(c.k),
                         static_cast<uint16_t>(c.t), static_cast<uint16_t>(c.m), 300};
    EXPECT_EQ(CheckDesignParams(p, -1, -1, true), c.why == nullptr);
    char head[128];
    std::snprintf(head, sizeof head,
                  "Err: invalid design parameters v=%d,k=%d,t=%d,m=%d,l=300,b=-1,v1=-1.\n"
                  "     All values must be >= 1. ",
                  c.v, c.k, c.t, c.m);
    EXPECT_EQ(cap.out, c.why == nullptr ? "" : head + std::string(c.why));
  }
  ConsoleCapture cap;
  const DesignParams ok{49, 6, 3, 6, 1};
  EXPECT_FALSE(CheckDesignParams(ok, 0, -1, false));   // b = 0
  EXPECT_FALSE(CheckDesignParams(ok, 168, 50, false)); // v1 above v
  EXPECT_TRUE(CheckDesignParams(ok, 168, 49, true));
  EXPECT_EQ(cap.out, "");
}

} // namespace
} // namespace kovra
