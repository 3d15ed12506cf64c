// Round trips through both compressed formats: random designs (v up to 54,
// k up to 7, repeated blocks, now and then thousands of them, with and without
// repeat codes, any line length) come back as the same blocks, sorted.
#include "base/console.hpp"
#include "compressed_samples.hpp"
#include "design/combinatorics.hpp"
#include "formats/cbin.hpp"
#include "formats/ctext.hpp"
#include "scratch_dir.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

namespace kovra {
namespace {

using namespace samples;

// Writes `s` in the format (1 ctext, 2 cbin) and reads it back into an array
// of exactly b blocks; the reader's console output when that fails.
std::string RoundTrip(Sys& s, int format, bool repeats, uint32_t cll, BlockArray& back) {
  const auto v = static_cast<uint16_t>(s.v), k = static_cast<uint16_t>(s.k);
  ConsoleCapture cap;
  std::FILE* f = std::fopen("x", "wb");
  const bool ok = format == 1 ? WriteCText(s, f, cll, repeats) : WriteCBin(s, f, repeats);
  std::fclose(f);
  if (!ok) return "write failed: " + cap.out;
  const std::string file = test::ReadFile("x");
  const std::string data = file.substr(file.find('\n') + 1);
  back = AllocBlocks(s.b, k);
  TextCursor text = CursorOver(data.data(), data.size());
  const uint32_t n = format == 1 ? ReadCText(back.get(), text, v, k, s.b, 4, 2)
                                 : ReadCBin(back.get(), data.data(), data.size(), v, k, s.b, 4, 2);
  return n == s.b ? "" : cap.out;
}

TEST(CompressedRoundTrip, RandomDesignsComeBackSorted) {
  test::ScratchDir dir;
  // First ranks 127, 255, 510 and 766 of the 3-subsets of 54: differences
  // 127, 128, 255 and 256, on both sides of two cbin code widths.
  BlockList edges;
  for (const uint64_t rank : {766u, 127u, 510u, 255u}) {
    Point c[8];
    UnrankComb(rank, 54, 3, c);
    edges.emplace_back(c, c + 3);
  }
  std::mt19937 rng(2024);
  for (int round = -1; round < 60; ++round) {
    unsigned v = 54, k = 3;
    const BlockList blocks = round < 0 ? edges : RandomDesign(rng, round, v, k);
    for (const int format : {1, 2}) {
      Sys s = MakeDesign(v, k, blocks);
      BlockArray back;
      ASSERT_EQ(RoundTrip(s, format, (round & 2) != 0, 32 + rng() % 193, back), "");
      EXPECT_EQ(ListOf(back.get(), s.b, k), Sorted(blocks))
          << "format " << format << " v=" << v << " k=" << k;
    }
  }
  // One block and 2^23 + 1 equal ones: more than one repeat code holds.
  const uint32_t b = 8388610;
  Sys s = MakeDesign(1, 1, {{1}});
  s.blocks = AllocBlocks(b, 1);
  for (uint32_t i = 0; i < b; ++i) s.blocks[i] = 1;
  s.b = s.ulAlloc = b;
  BlockArray back;
  ASSERT_EQ(RoundTrip(s, 2, true, 64, back), "");
  EXPECT_TRUE(std::all_of(back.get(), back.get() + b, [](Point x) { return x == 1; }));
}

} // namespace
} // namespace kovra
