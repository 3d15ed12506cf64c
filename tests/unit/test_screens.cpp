// The information screens with settings the transcripts do not show, the
// pauses of each screen, and the layout rules every screen keeps. The screens
// with default and internal-mode settings are compared byte for byte by the
// golden transcripts (all_screens, internal_screens, h2_screens_order).
#include "base/console.hpp"
#include "info/screens.hpp"

#include "stdin_guard.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace kovra {
namespace {

using ScreenFn = void (*)(const RunSettings&);

std::string Show(ScreenFn screen, const RunSettings& rs) {
  ConsoleCapture cap;
  screen(rs);
  return cap.out;
}

RunSettings Batch() {
  RunSettings rs;
  rs.fBatchMode = 1;
  rs.V = 54; // the parser's fix-ups, as the screens see them after a parse
  rs.K = rs.T = rs.M = 7;
  rs.L = 255;
  return rs;
}

bool Has(const std::string& text, const std::string& what) {
  return text.find(what) != std::string::npos;
}

TEST(Screens, ValuesFollowTheSettings) {
  RunSettings rs = Batch();
  rs.fUseL_InOldStyleFNames = 0;
  rs.fUseNewFNameScheme = 1;
  rs.v = 54;
  rs.k = 12;
  rs.m = 100;
  rs.l = 65535;
  rs.b = 4000000000u;
  rs.B = 1;
  rs.ulMaxLosing = 4294967295u;
  rs.ulComprAvgLineLen = 224;
  rs.bCompressed = 2;
  rs.usMskSeperatorline = 3;
  const std::string help = Show(ShowHelp, rs);
  for (const char* line :
       {"(uses 'a' for compatibility) (=1)\n", "(uses val(l) instead of 'a') (=0)\n",
        "(base-36 fname)              (=1)\n", "  -v  total numbers in the design (1..54=54)\n",
        "  -l  lambda (min l times t of m) (1..255=65535)\n",
        "  -o  max losing lines (>0=4294967295)\n", "(-g1) (32..224=224)\n",
        "[0=none,1=ctext,2=cbin] (0..2=2)\n", "[0=none,1=top,2=bottom,3=both] (0..3=3)\n"})
    EXPECT_TRUE(Has(help, line)) << line;
  EXPECT_TRUE(Has(Show(ShowTechInfo, rs), "\n\nCurrent settings:\n"
                                          "  v=54  k=12 t=3  m=100 l=65535 b=4000000000\n"
                                          "  V=54  K=7  T=7  M=7  L=255  B=1\n"));
}

TEST(Screens, OnePauseInEachScreenButTheNotice) {
  RunSettings rs = Batch();
  rs.fBatchMode = 0;
  const std::pair<ScreenFn, int> screens[] = {
      {ShowHelp, 1}, {ShowTechInfo, 1}, {ShowHistory, 1}, {ShowDefinitions, 1}, {ShowNotice, 0}};
  for (const auto& [screen, pauses] : screens) {
    StdinFromTerminal term; // a key typed ahead answers each pause
    ASSERT_TRUE(term.ok());
    term.Type(std::string(static_cast<size_t>(pauses), 'x'));
    ConsoleCapture cap;
    screen(rs);
    std::string expected;
    for (int i = 0; i < pauses; ++i) expected += "\rPress a key...\r               \r";
    EXPECT_EQ(cap.err, expected);
  }
}

TEST(Screens, EveryLineFitsAnEightyColumnConsole) {
  RunSettings rs = Batch();
  rs.fInternalOptions = 1;
  for (ScreenFn screen : {ShowHelp, ShowTechInfo, ShowHistory, ShowDefinitions, ShowNotice}) {
    std::istringstream in(Show(screen, rs));
    for (std::string line; std::getline(in, line);) {
      EXPECT_LE(line.size(), 79u) << line;
      for (const char c : line)
        EXPECT_TRUE(c >= ' ' && c <= '~') << "control or non-ASCII byte in: " << line;
    }
  }
}

} // namespace
} // namespace kovra
