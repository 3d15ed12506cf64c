// The duplicate t-set list, the coverage summary and the total line.
#include "test_engine_util.hpp"

#include <gtest/gtest.h>

namespace kovra {
namespace {

using namespace enginetest;

std::string Report(const Design& d, RunParams p, TestContext& ctx) {
  p.noRedund = true; // count every block
  AnalyseLikeRun(ctx, d, p);
  ConsoleCapture cap;
  PrintTSetReport(ctx);
  return cap.out;
}

TEST(EngineReport, SmallReportText) {
  const Design d{5, 3, {{1, 2, 3}, {1, 2, 4}, {1, 2, 5}}};
  RunParams p{.t = 2, .m = 3, .summary = true, .dupes = true};
  TestContext ctx;
  EXPECT_EQ(Report(d, p, ctx), "List of duplicate t-sets:\n"
                               "   1  2  :     3 times\n"
                               "\nOverall 2-match combination coverage summary:\n"
                               "Covered  3 times :     1\n"
                               "Covered  1 times :     6\n"
                               "Covered  0 times :     3\n"
                               "Total:         7 /    10 (70.0%)\n"
                               "\nTotal combinations Cn(v=5,k=3) = 10\n");
  // The summary comes with the list only; the total line always comes.
  p.dupes = false;
  EXPECT_EQ(Report(d, p, ctx), "\nTotal combinations Cn(v=5,k=3) = 10\n");
}

TEST(EngineReport, ListAndHistogramAgreeWithADirectCount) {
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    const unsigned v = 10 + seed, k = 4 + seed % 3, t = 1 + seed % 4, l = 1 + seed % 2;
    const Design d = RandomDesign(v, k, 20 + 5 * seed, seed);
    RunParams p{.t = t, .m = k, .l = l, .summary = true, .dupes = true};
    TestContext ctx;
    const std::string out = Report(d, p, ctx);
    std::vector<uint64_t> masks;
    for (const auto& b : d.blocks) masks.push_back(MaskOf(b));
    std::map<unsigned, unsigned> histogram;
    std::string list = "List of duplicate t-sets:\n";
    unsigned uncovered = 0;
    ForEachSubset(v, t, [&](const Points& c, uint64_t ts) {
      unsigned n = 0;
      for (uint64_t m : masks) n += (m & ts) == ts;
      ++histogram[n];
      if (n < l) ++uncovered;
      if (n > l) {
        list += " ";
        for (int x : c) list += (x < 10 ? "  " : " ") + std::to_string(x);
        char tail[32];
        std::snprintf(tail, sizeof tail, "  : %5u times\n", n);
        list += tail;
      }
    });
    std::string summary =
        "\nOverall " + std::to_string(t) + "-match combination coverage summary:\n";
    for (auto it = histogram.rbegin(); it != histogram.rend(); ++it) {
      char line[64];
      std::snprintf(line, sizeof line, "Covered %2u times : %5u\n", it->first, it->second);
      summary += line;
    }
    const long combs = static_cast<long>(Binomial(v, k));
    char total[128];
    std::snprintf(total, sizeof total, "Total: %9ld / %5ld (%.1f%%)\n", combs - uncovered, combs,
                  static_cast<double>(combs - uncovered) * 100.0 / static_cast<double>(combs));
    EXPECT_EQ(out, list + summary + total + "\nTotal combinations Cn(v=" + std::to_string(v) +
                       ",k=" + std::to_string(k) + ") = " + std::to_string(combs) + "\n");
  }
}

TEST(EngineReport, LargeCountsArePrintedInFull) {
  // 316,251 4-subsets of 54 points, none covered: a 16-bit count would wrap.
  Design d{54, 4, {}};
  RunParams p{.t = 4, .m = 4, .summary = true, .dupes = true};
  TestContext ctx;
  EXPECT_EQ(Report(d, p, ctx), "List of duplicate t-sets:\n"
                               "\nOverall 4-match combination coverage summary:\n"
                               "Covered  0 times : 316251\n"
                               "Total:         0 / 316251 (0.0%)\n"
                               "\nTotal combinations Cn(v=54,k=4) = 316251\n");
  // 3,162,510 5-subsets, one of them in both blocks.
  d = Design{54, 5, {{1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}}};
  p.t = 5;
  p.m = 5;
  const std::string out = Report(d, p, ctx);
  EXPECT_NE(out.find("   1  2  3  4  5  :     2 times\n"), std::string::npos);
  EXPECT_NE(out.find("Covered  2 times :     1\nCovered  0 times : 3162509\n"), std::string::npos);
}

TEST(EngineReport, SaturatedCounterListsAs255) {
  const Design d{4, 3, std::vector<Points>(300, Points{1, 2, 3})};
  RunParams p{.t = 3, .m = 3, .dupes = true};
  TestContext ctx;
  EXPECT_EQ(Report(d, p, ctx), "List of duplicate t-sets:\n"
                               "   1  2  3  :   255 times\n"
                               "\nTotal combinations Cn(v=4,k=3) = 4\n");
}

} // namespace
} // namespace kovra
