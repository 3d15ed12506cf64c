// File-name schemes: old-style decimal names and base-36 new-style names.
#include "output/fnames.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <string>

namespace kovra {
namespace {

Sys Params(uint16_t v, uint16_t k, uint16_t t, uint16_t m, uint16_t l, uint32_t b) {
  Sys s;
  SetSysParams(s, v, k, t, m, l);
  s.b = b;
  return s;
}

// Base 36 by the standard library, zero-padded to `width`: the reference the
// builder's fields are compared with.
std::string Ref36(int value, size_t width) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, 36);
  std::string s(buf, r.ptr);
  return std::string(width > s.size() ? width - s.size() : 0, '0') + s;
}

std::string NewName(int v, int k, int t, int m, int l, int32_t b, int x = 2) {
  NewStyleFName n;
  if (!BuildNewStyleFName(n, static_cast<int16_t>(v), static_cast<int16_t>(k),
                          static_cast<int16_t>(t), static_cast<int16_t>(m), static_cast<int16_t>(l),
                          b, static_cast<int16_t>(x)))
    return "<refused>";
  EXPECT_TRUE(n.valid);
  return n.name;
}

TEST(FNameLimits, PowersMinusOneWithFixedV) {
  const FNameLimits lim = ComputeFNameLimits();
  EXPECT_EQ(lim.v, 255);
  EXPECT_EQ(lim.k, 35);
  EXPECT_EQ(lim.t, 35);
  EXPECT_EQ(lim.m, 35);
  EXPECT_EQ(lim.l, 1295);
  EXPECT_EQ(lim.b, 46655);
  EXPECT_EQ(lim.xFlags, 31);
  InitFNameLimits();
  EXPECT_EQ(GetFNameLimits().b, 46655);
  EXPECT_EQ(GetFNameLimits().l, 1295);
}

TEST(OldStyleFName, WorkedExamples) {
  const Sys c49 = Params(49, 6, 3, 6, 1, 168);
  EXPECT_EQ(MakeOldStyleFName(c49, true), "4901683a.616");
  EXPECT_EQ(MakeOldStyleFName(c49, false), "4901683a.6a6");
  EXPECT_EQ(MakeOldStyleFName(Params(24, 6, 5, 5, 1, 7084), true), "2470845a.516");
  EXPECT_EQ(MakeOldStyleFName(Params(5, 3, 2, 2, 1, 7), true).substr(0, 6), "050007");
}

TEST(OldStyleFName, LPositionAndWideFields) {
  // l above 9 has no digit: the letter a stands there under -f1 as under -f0.
  EXPECT_EQ(MakeOldStyleFName(Params(49, 6, 3, 6, 12, 168), true), "4901683a.6a6");
  EXPECT_EQ(MakeOldStyleFName(Params(49, 6, 3, 6, 9, 168), true), "4901683a.696");
  // Nothing is cut: five digits of b make a thirteen-character name.
  EXPECT_EQ(MakeOldStyleFName(Params(49, 6, 3, 6, 1, 12345), true), "49123453a.616");
  EXPECT_EQ(MakeOldStyleFName(Params(49, 6, 3, 6, 1, 0), true), "4900003a.616");
}

TEST(OldStyleFName, LimitsIncludingTheBaseCondition) {
  Sys s = Params(49, 6, 3, 6, 1, 168);
  EXPECT_TRUE(FitsOldStyleFName(s, true));
  s.b = 9999;
  EXPECT_TRUE(FitsOldStyleFName(s, true));
  s.b = 10000;
  EXPECT_FALSE(FitsOldStyleFName(s, true));
  s.b = 168;
  s.l = 12;
  EXPECT_FALSE(FitsOldStyleFName(s, true));
  EXPECT_TRUE(FitsOldStyleFName(s, false));
  s.l = 1;

  Sys wide = Params(99, 6, 3, 6, 1, 168);
  EXPECT_TRUE(FitsOldStyleFName(wide, true)); // base 1: every v <= 99 fits
  wide.base = 200;                            // 200 + 99 - 1 > 255
  EXPECT_FALSE(FitsOldStyleFName(wide, true));
  wide.base = 157; // 157 + 99 - 1 = 255
  EXPECT_TRUE(FitsOldStyleFName(wide, true));
  wide.base = 1;
  wide.v = 100;
  EXPECT_FALSE(FitsOldStyleFName(wide, true));

  EXPECT_FALSE(FitsOldStyleFName(Params(49, 10, 3, 6, 1, 1), false));
  EXPECT_FALSE(FitsOldStyleFName(Params(49, 6, 10, 6, 1, 1), false));
  EXPECT_FALSE(FitsOldStyleFName(Params(49, 6, 3, 10, 1, 1), false));
  EXPECT_TRUE(FitsOldStyleFName(Params(49, 9, 9, 9, 9, 1), true));
}

TEST(NewStyleFName, WorkedExamples) {
  EXPECT_EQ(NewName(49, 6, 3, 6, 1, 168), "1d636012.04o");
  EXPECT_EQ(NewName(24, 6, 5, 5, 1, 7084), "0o655012.5gs");
  NewStyleFName n;
  ASSERT_TRUE(BuildNewStyleFName(n, 49, 6, 3, 6, 1, 168, 2));
  EXPECT_EQ(n.v, 49);
  EXPECT_EQ(n.b, 168);
  EXPECT_EQ(n.xFlags, 2);
}

TEST(NewStyleFName, BoundEdges) {
  EXPECT_EQ(NewName(255, 6, 3, 6, 1, 168).substr(0, 2), "73");
  EXPECT_EQ(NewName(256, 6, 3, 6, 1, 168), "<refused>");
  EXPECT_EQ(NewName(49, 6, 3, 6, 1295, 168).substr(5, 2), "zz");
  EXPECT_EQ(NewName(49, 6, 3, 6, 1296, 168), "<refused>");
  EXPECT_EQ(NewName(49, 6, 3, 6, 1, 46655).substr(9), "zzz");
  EXPECT_EQ(NewName(49, 6, 3, 6, 1, 46656), "<refused>");
  EXPECT_EQ(NewName(49, 6, 3, 6, 1, 168, 31).substr(7, 1), "v");
  EXPECT_EQ(NewName(49, 6, 3, 6, 1, 168, 32), "<refused>");
  EXPECT_EQ(NewName(49, 35, 3, 35, 1, 1), "1dz3z012.001");
  EXPECT_EQ(NewName(49, 36, 3, 6, 1, 1), "<refused>");
  EXPECT_EQ(NewName(49, 6, 3, 36, 1, 1), "<refused>");
  EXPECT_EQ(NewName(49, 35, 35, 35, 1, 1), "1dzzz012.001");
  // b has no lower bound but zero; xFlags may be zero.
  EXPECT_EQ(NewName(49, 6, 3, 6, 1, 0), "1d636012.000");
  EXPECT_EQ(NewName(49, 6, 3, 6, 1, 168, 0), "1d636010.04o");
  EXPECT_EQ(NewName(49, 6, 3, 6, 1, -1), "<refused>");
  EXPECT_EQ(NewName(49, 6, 3, 6, 1, 168, -1), "<refused>");
}

TEST(NewStyleFName, OrderConditions) {
  EXPECT_EQ(NewName(49, 6, 7, 7, 1, 1), "<refused>");    // t > k
  EXPECT_EQ(NewName(49, 6, 4, 3, 1, 1), "<refused>");    // t > m
  EXPECT_EQ(NewName(49, 6, 3, 9, 1, 1), "1d639012.001"); // m > k accepted
  EXPECT_EQ(NewName(5, 5, 3, 9, 1, 1), "05539012.001");  // m > v accepted
  EXPECT_EQ(NewName(5, 6, 3, 6, 1, 1), "<refused>");     // v < k
  EXPECT_EQ(NewName(49, 6, 0, 6, 1, 1), "<refused>");
  EXPECT_EQ(NewName(49, 6, 3, 0, 1, 1), "<refused>");
  EXPECT_EQ(NewName(49, 6, 3, 6, 0, 1), "<refused>");
  EXPECT_EQ(NewName(1, 1, 1, 1, 1, 1), "01111012.001");
}

TEST(NewStyleFName, FailedBuildEmptiesARecordThatHeldAName) {
  NewStyleFName n;
  ASSERT_TRUE(BuildNewStyleFName(n, 49, 6, 3, 6, 1, 168, 2));
  EXPECT_FALSE(BuildNewStyleFName(n, 49, 6, 3, 6, 1, 46656, 2));
  EXPECT_FALSE(n.valid);
  EXPECT_STREQ(n.name, "");
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
    ASSERT_EQ(n.size(), 12u);
  }
}

} // namespace
} // namespace kovra
