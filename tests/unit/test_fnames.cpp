// File-name schemes: old-style decimal names and base-36 new-style names, at
// the limits of every field.
#include "output/fnames.hpp"

#include <gtest/gtest.h>

#include <string>

namespace kovra {
namespace {

TEST(OldStyleFName, NamesAndLimits) {
  const struct {
    uint16_t v, l;
    uint32_t b;
    bool useL;
    const char* name;
    bool fits;
  } cases[] = {
      // clang-format off
      {49, 1, 168, true, "4901683a.616", true},    {49, 1, 168, false, "4901683a.6a6", true},
      // l above 9 has no digit: the letter a stands there, and -f1 refuses.
      {49, 9, 168, true, "4901683a.696", true},    {49, 12, 168, true, "4901683a.6a6", false},
      {49, 12, 168, false, "4901683a.6a6", true},  {49, 1, 9999, true, "4999993a.616", true},
      // Nothing is cut: five digits of b or three of v make a longer name.
      {49, 1, 10000, true, "49100003a.616", false}, {99, 1, 168, true, "9901683a.616", true},
      {100, 1, 168, true, "10001683a.616", false},
      // clang-format on
  };
  for (const auto& c : cases) {
    Sys s;
    ParamsOf(s) = DesignParams{c.v, 6, 3, 6, c.l};
    s.b = c.b;
    EXPECT_EQ(MakeOldStyleFName(s, c.useL), c.name);
    EXPECT_EQ(FitsOldStyleFName(s, c.useL), c.fits) << c.v << " " << c.l << " " << c.b;
    // The points as numbered now must stay below 256.
    s.base = static_cast<uint16_t>(256 - c.v);
    EXPECT_EQ(FitsOldStyleFName(s, c.useL), c.fits);
    ++s.base;
    EXPECT_FALSE(FitsOldStyleFName(s, c.useL));
  }
}

// Every field at its largest and one beyond; t > k, t > m, v < k and zeros
// refused; m above k and v accepted.
TEST(NewStyleFName, NamesAndBounds) {
  const struct {
    int16_t v, k, t, m, l;
    int32_t b;
    int16_t x;
    const char* name; // "": refused
  } cases[] = {
      // clang-format off
      {49, 6, 3, 6, 1, 168, 2, "1d636012.04o"},   {24, 6, 5, 5, 1, 7084, 2, "0o655012.5gs"},
      {1024, 6, 3, 6, 1, 168, 2, "sg636012.04o"}, {1025, 6, 3, 6, 1, 168, 2, ""},
      {49, 6, 3, 6, 1295, 1, 2, "1d636zz2.001"},  {49, 6, 3, 6, 1296, 1, 2, ""},
      {49, 6, 3, 6, 1, 46655, 2, "1d636012.zzz"}, {49, 6, 3, 6, 1, 46656, 2, ""},
      {49, 6, 3, 6, 1, 1, 31, "1d63601v.001"},    {49, 6, 3, 6, 1, 1, 32, ""},
      {49, 35, 35, 35, 1, 1, 2, "1dzzz012.001"},  {49, 36, 3, 6, 1, 1, 2, ""},
      {49, 6, 3, 36, 1, 1, 2, ""},                {49, 6, 3, 6, 1, 0, 0, "1d636010.000"},
      {49, 6, 3, 6, 1, -1, 2, ""},                {49, 6, 3, 6, 1, 1, -1, ""},
      {49, 6, 7, 7, 1, 1, 2, ""},                 {49, 6, 4, 3, 1, 1, 2, ""},
      {49, 6, 3, 9, 1, 1, 2, "1d639012.001"},     {5, 5, 3, 9, 1, 1, 2, "05539012.001"},
      {5, 6, 3, 6, 1, 1, 2, ""},                  {49, 6, 0, 6, 1, 1, 2, ""},
      {49, 6, 3, 0, 1, 1, 2, ""},                 {49, 6, 3, 6, 0, 1, 2, ""},
      {1, 1, 1, 1, 1, 1, 2, "01111012.001"},
      // clang-format on
  };
  for (const auto& c : cases) {
    NewStyleFName n; // a refusal leaves no name behind, also after a success
    ASSERT_TRUE(BuildNewStyleFName(n, 49, 6, 3, 6, 1, 168, 2));
    EXPECT_EQ(BuildNewStyleFName(n, c.v, c.k, c.t, c.m, c.l, c.b, c.x), *c.name != '\0');
    EXPECT_EQ(n.valid, *c.name != '\0');
    EXPECT_STREQ(n.name, c.name) << c.v << "," << c.k << "," << c.t << "," << c.m << "," << c.l
                                 << "," << c.b << "," << c.x;
  }
}

} // namespace
} // namespace kovra
