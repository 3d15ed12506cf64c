// File-name schemes: old-style decimal names and base-36 new-style names.
#include "output/fnames.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <string>

namespace kovra {
namespace {

Sys Params(uint16_t v, uint16_t k, uint16_t t, uint16_t m, uint16_t l, uint32_t b) {
  Sys s;
  ParamsOf(s) = DesignParams{v, k, t, m, l};
  s.b = b;
  return s;
}

TEST(OldStyleFName, NamesAndLimits) {
  struct Case {
    uint16_t v, k, t, m, l;
    uint32_t b;
    bool useL;
    const char* name; // nullptr: not looked at
    bool fits;
  };
  const Case cases[] = {
      {49, 6, 3, 6, 1, 168, true, "4901683a.616", true},
      {49, 6, 3, 6, 1, 168, false, "4901683a.6a6", true},
      {24, 6, 5, 5, 1, 7084, true, "2470845a.516", true},
      {5, 3, 2, 2, 1, 7, true, "0500072a.213", true},
      {49, 6, 3, 6, 9, 168, true, "4901683a.696", true},
      // l above 9 has no digit: the letter a stands there, and -f1 refuses.
      {49, 6, 3, 6, 12, 168, true, "4901683a.6a6", false},
      {49, 6, 3, 6, 12, 168, false, "4901683a.6a6", true},
      {49, 6, 3, 6, 1, 9999, true, "4999993a.616", true},
      // Nothing is cut: five digits of b make a thirteen-character name.
      {49, 6, 3, 6, 1, 10000, true, "49100003a.616", false},
      {49, 6, 3, 6, 1, 0, true, "4900003a.616", true},
      {99, 6, 3, 6, 1, 168, true, "9901683a.616", true},
      {100, 6, 3, 6, 1, 168, true, nullptr, false},
      {49, 9, 9, 9, 9, 1, true, "4900019a.999", true},
      {49, 10, 3, 6, 1, 1, false, nullptr, false},
      {49, 6, 10, 6, 1, 1, false, nullptr, false},
      {49, 6, 3, 10, 1, 1, false, nullptr, false},
  };
  for (const Case& c : cases) {
    const Sys s = Params(c.v, c.k, c.t, c.m, c.l, c.b);
    if (c.name != nullptr) {
      EXPECT_EQ(MakeOldStyleFName(s, c.useL), c.name);
    }
    EXPECT_EQ(FitsOldStyleFName(s, c.useL), c.fits) << c.v << " " << c.l << " " << c.b;
  }
  // The points as numbered now must stay below 256.
  Sys wide = Params(99, 6, 3, 6, 1, 168);
  wide.base = 200;
  EXPECT_FALSE(FitsOldStyleFName(wide, true));
  wide.base = 157; // 157 + 99 - 1 = 255
  EXPECT_TRUE(FitsOldStyleFName(wide, true));
}

std::string NewName(int v, int k, int t, int m, int l, int32_t b, int x = 2) {
  NewStyleFName n;
  if (!BuildNewStyleFName(n, static_cast<int16_t>(v), static_cast<int16_t>(k),
                          static_cast<int16_t>(t), static_cast<int16_t>(m), static_cast<int16_t>(l),
                          b, static_cast<int16_t>(x))) {
    EXPECT_FALSE(n.valid);
    return "<refused>";
  }
  EXPECT_TRUE(n.valid);
  return n.name;
}

TEST(NewStyleFName, NamesBoundsAndOrder) {
  struct Case {
    int v, k, t, m, l, b, x;
    const char* name;
  };
  const Case cases[] = {
      {49, 6, 3, 6, 1, 168, 2, "1d636012.04o"},   {24, 6, 5, 5, 1, 7084, 2, "0o655012.5gs"},
      {255, 6, 3, 6, 1, 168, 2, "73636012.04o"},  {256, 6, 3, 6, 1, 168, 2, "<refused>"},
      {49, 6, 3, 6, 1295, 1, 2, "1d636zz2.001"},  {49, 6, 3, 6, 1296, 1, 2, "<refused>"},
      {49, 6, 3, 6, 1, 46655, 2, "1d636012.zzz"}, {49, 6, 3, 6, 1, 46656, 2, "<refused>"},
      {49, 6, 3, 6, 1, 1, 31, "1d63601v.001"},    {49, 6, 3, 6, 1, 1, 32, "<refused>"},
      {49, 35, 35, 35, 1, 1, 2, "1dzzz012.001"},  {49, 36, 3, 6, 1, 1, 2, "<refused>"},
      {49, 6, 3, 36, 1, 1, 2, "<refused>"},       {49, 6, 3, 6, 1, 0, 0, "1d636010.000"},
      {49, 6, 3, 6, 1, -1, 2, "<refused>"},       {49, 6, 3, 6, 1, 1, -1, "<refused>"},
      {49, 6, 7, 7, 1, 1, 2, "<refused>"},    // t > k
      {49, 6, 4, 3, 1, 1, 2, "<refused>"},    // t > m
      {49, 6, 3, 9, 1, 1, 2, "1d639012.001"}, // m > k accepted
      {5, 5, 3, 9, 1, 1, 2, "05539012.001"},  // m > v accepted
      {5, 6, 3, 6, 1, 1, 2, "<refused>"},     // v < k
      {49, 6, 0, 6, 1, 1, 2, "<refused>"},        {49, 6, 3, 0, 1, 1, 2, "<refused>"},
      {49, 6, 3, 6, 0, 1, 2, "<refused>"},        {1, 1, 1, 1, 1, 1, 2, "01111012.001"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NewName(c.v, c.k, c.t, c.m, c.l, c.b, c.x), c.name)
        << c.v << "," << c.k << "," << c.t << "," << c.m << "," << c.l << "," << c.b << "," << c.x;
  NewStyleFName n; // a failed build leaves no name behind
  ASSERT_TRUE(BuildNewStyleFName(n, 49, 6, 3, 6, 1, 168, 2));
  EXPECT_FALSE(BuildNewStyleFName(n, 49, 6, 3, 6, 1, 46656, 2));
  EXPECT_STREQ(n.name, "");
}

// Base 36 by the standard library, zero-padded to `width`.
std::string Ref36(int value, size_t width) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, 36);
  std::string s(buf, r.ptr);
  return std::string(width > s.size() ? width - s.size() : 0, '0') + s;
}

TEST(NewStyleFName, EveryFieldAgreesWithTheLibraryBase36) {
  for (int v = 1; v <= 255; ++v) ASSERT_EQ(NewName(v, 1, 1, 1, 1, 1).substr(0, 2), Ref36(v, 2));
  for (int l = 1; l <= 1295; ++l) ASSERT_EQ(NewName(49, 6, 3, 6, l, 1).substr(5, 2), Ref36(l, 2));
  for (int b = 0; b <= 46655; b += 7) ASSERT_EQ(NewName(49, 6, 3, 6, 1, b).substr(9), Ref36(b, 3));
  for (int x = 0; x <= 31; ++x) ASSERT_EQ(NewName(49, 6, 3, 6, 1, 1, x).substr(7, 1), Ref36(x, 1));
  for (int k = 1; k <= 35; ++k) {
    const std::string n = NewName(255, k, 1, 35, 1, 1);
    ASSERT_EQ(n.substr(2, 1), Ref36(k, 1));
    ASSERT_EQ(n.substr(4, 1), "z");
    ASSERT_EQ(n[8], '.');
  }
}

} // namespace
} // namespace kovra
