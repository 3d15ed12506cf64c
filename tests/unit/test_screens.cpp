// The information screens: filled-in values, the internal-mode lines, the
// pauses, and the layout rules every screen keeps.
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

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

TEST(Screens, HelpShowsDefaultValues) {
  const std::string help = Show(ShowHelp, Batch());
  EXPECT_EQ(help.rfind("\nKOVRA Help (-h):\n----------------\nUsage: KOVRA <fname> [options]\n", 0),
            0u);
  for (const char* line : {
           "  -v  total numbers in the design (1..54=49)\n",
           "  -k  block size (1..7=6)\n",
           "  -t  min match t    (t of m) (1..7=3)\n",
           "  -m  min match of m (t of m) (1..7=6)\n",
           "  -l  lambda (min l times t of m) (1..255=1)\n",
           "  -b  nbr of blocks (>0=0 will be filled from file)\n",
           "  -a  input base  (0..201=1)\n",
           "  -p  output base (0..201=1)\n",
           "  -o  max losing lines (>0=1)\n",
           "  -r  max report lines (>0=15)\n",
           "  -y  verify the design (default)  [cf. -e, -c and -d]  (=1)\n",
           "  -f0 oldstyle fnames for create (uses 'a' for compatibility) (=0)\n",
           "  -f1 oldstyle fnames for create (uses val(l) instead of 'a') (=1)\n",
           "  -f2 newstyle fnames for create (base-36 fname)              (=0)\n",
           "  -N  use exp sign (^), ie. RLE, in compressed outputs (=1)\n",
           "  -G  set avg linelength for textcompression (-g1) (32..224=64)\n",
           "  -Q  skipperHigh (0..25=7)\n",
           "  -q  skipperLow  (0...5=3 will be calcd if not given)\n",
       })
    EXPECT_TRUE(Has(help, line)) << line;
  // "%%" in the examples prints one percent sign.
  EXPECT_TRUE(Has(help, "  FOR %i IN (???????a.?\?\?) DO KOVRA -h2 -c -A1 %i >>MY.LOG \n"));
  EXPECT_TRUE(Has(help, "  FOR %i IN (???????a.?\?\?) DO KOVRA -h2 -c -y- -y2 -A1 %i >>MY.LOG \n"));
  EXPECT_TRUE(Has(help, "Warn\"...\n"));
  EXPECT_EQ(help.substr(help.size() - 22), "\nSee also -i, -j, -n \n");
}

TEST(Screens, HelpFollowsTheSettings) {
  RunSettings rs = Batch();
  rs.fUseL_InOldStyleFNames = 0;
  rs.fUseNewFNameScheme = 1;
  rs.v = 54;
  rs.l = 255;
  rs.ulMaxLosing = 4294967295u;
  rs.ulComprAvgLineLen = 224;
  rs.bCompressed = 2;
  rs.usMskSeperatorline = 3;
  const std::string help = Show(ShowHelp, rs);
  EXPECT_TRUE(Has(help, "(uses 'a' for compatibility) (=1)\n"));
  EXPECT_TRUE(Has(help, "(uses val(l) instead of 'a') (=0)\n"));
  EXPECT_TRUE(Has(help, "(base-36 fname)              (=1)\n"));
  EXPECT_TRUE(Has(help, "(1..54=54)\n"));
  EXPECT_TRUE(Has(help, "(1..255=255)\n"));
  EXPECT_TRUE(Has(help, "  -o  max losing lines (>0=4294967295)\n"));
  EXPECT_TRUE(Has(help, "(-g1) (32..224=224)\n"));
  EXPECT_TRUE(Has(help, "[0=none,1=ctext,2=cbin] (0..2=2)\n"));
  EXPECT_TRUE(Has(help, "[0=none,1=top,2=bottom,3=both] (0..3=3)\n"));
}

TEST(Screens, InternalLinesOnlyInTheInternalMode) {
  RunSettings rs = Batch();
  const std::string help = Show(ShowHelp, rs);
  const std::string tech = Show(ShowTechInfo, rs);
  EXPECT_FALSE(Has(help, "-u1"));
  EXPECT_FALSE(Has(help, "-u3"));
  EXPECT_FALSE(Has(help, "(TestAll)"));
  EXPECT_FALSE(Has(tech, "fCDsOnly"));
  EXPECT_TRUE(Has(tech, "  MAX_N=255 Flags: 1 0 0 1 \n"));

  rs.fInternalOptions = 1;
  rs.fToSysDir = 1;
  const std::string ihelp = Show(ShowHelp, rs);
  const std::string itech = Show(ShowTechInfo, rs);
  EXPECT_TRUE(Has(ihelp, "  -y3 no redundancy testing (=0)\n"
                         "  -u1 CDsOnly  (=0) \n  -u2 ToSysDir (=1) \n  -u3 TestAll  (=0) \n"
                         "  -i  shows technical info"));
  EXPECT_TRUE(Has(ihelp, "(dump all info; can be redirected)\n"
                         "  KOVRA -u1 -u2 -e -O -g2 -f- -h2 -v3 -k3 -t3 -m3 -K3 (CompressCD)\n"
                         "  KOVRA -u3 -v1 -k1 -t1 -m1 -h2 -c -f-                (TestAll) \n"
                         "  KOVRA -u3 -v3 -k3 -t2 -m2 -h2 -c -f- -S -y- -y2 -K0 (RedundsFind)\n"
                         "\nTo convert"));
  EXPECT_TRUE(Has(itech, "  y3 fNoRedundTesting=0\n u1  fCDsOnly=0 \n u2  fToSysDir=1 \n"
                         " u3  fTestAll=0 \n\nNew algorithms:\n"));
  EXPECT_TRUE(Has(itech, "  MAX_N=255 Flags: 1 0 1 1 \n"));
  // Nothing else differs.
  EXPECT_EQ(itech.size() - tech.size(),
            std::string(" u1  fCDsOnly=0 \n u2  fToSysDir=1 \n u3  fTestAll=0 \n").size());
}

TEST(Screens, TechInfoVersionLimitsAndSettings) {
  RunSettings rs = Batch();
  rs.v = 7;
  rs.k = 12;
  rs.t = 3;
  rs.m = 100;
  rs.l = 65535;
  rs.b = 4000000000u;
  rs.B = 1;
  const std::string tech = Show(ShowTechInfo, rs);
  EXPECT_EQ(
      tech.rfind("\nKOVRA Technical Information (-i):\n---------------------------------\n", 0),
      0u);
  EXPECT_TRUE(Has(tech, "\nVersion: v1.23beta/32 961209Mo (BETA RELEASE)\n"
                        "Date of Compile: Dec  9 1996 21:03:52 \n"
                        "\nCompiled limits:\n"
                        "  MAX_V=54 MAX_K=7 MAX_T=7 MAX_M=7 MAX_L=255 MAX_B=2147483647\n"));
  EXPECT_TRUE(Has(tech, "\n\nCurrent settings:\n"
                        "  v=7   k=12 t=3  m=100 l=65535 b=4000000000\n"
                        "  V=54  K=7  T=7  M=7  L=255  B=1\n"
                        "  a  usInBase=1\n"));
  EXPECT_TRUE(Has(tech, "  G  ulComprAvgLineLen=64\n     fDoIdCreate=1\n"));
  EXPECT_TRUE(Has(tech, "it's sufficient to use \"KOVRA 4901683a.616\"\n"));
  EXPECT_TRUE(Has(tech, "  A compressed version of this can be found in the file 4901683a.6a6 \n"
                        "\nSpeed:\n"));
  EXPECT_TRUE(Has(tech, "BitsPerByte is calculated as:  \"8 * cBytes / uBytes\" where \n"));
  EXPECT_EQ(tech.substr(tech.size() - 22), "\nSee also -h, -j, -n \n");
}

TEST(Screens, HistoryDefinitionsAndNotice) {
  const RunSettings rs = Batch();
  const std::string hist = Show(ShowHistory, rs);
  EXPECT_EQ(hist.rfind("\nKOVRA Version History (-j):\n---------------------------\n"
                       "EndDate     Vers r=released        Changes\n\n961209MoKD  1.23 r  ",
                       0),
            0u);
  for (const char* file :
       {"README.md", "kovra.1", "C_DECODE.TXT", "samples/4901683a.616", "samples/4901683a.6a6"})
    EXPECT_TRUE(Has(hist, file)) << file;
  EXPECT_TRUE(Has(hist, "\nTo decode compressed designs use the -e option, but since \n"
                        "KOVRA can handle both types, it's normally not neccessary.\n"
                        "\nSee also -h, -i, -n \n"));

  const std::string defs = Show(ShowDefinitions, rs);
  EXPECT_EQ(defs.rfind("\nKOVRA Mathematical Definitions (-n):\n"
                       "------------------------------------\n"
                       "A Covering Design C(v,k,t,m,l,=b) is a pair (V,B), where V is a set of\n",
                       0),
            0u);
  EXPECT_TRUE(Has(defs, "\nWheel is another name for Covering.\n"));
  EXPECT_EQ(defs.substr(defs.size() - 22), "\nSee also -h, -i, -j \n");

  const std::string notice = Show(ShowNotice, rs);
  EXPECT_EQ(notice.rfind("\nKOVRA Notice:\n-------------\n", 0), 0u);
  EXPECT_TRUE(Has(notice, "KOVRA v1.23beta/32 961209Mo"));
}

TEST(Screens, PauseWhereTheyShould) {
  // Batch mode: each pause is only a line end.
  const RunSettings rs = Batch();
  EXPECT_TRUE(Has(Show(ShowHelp, rs), "the fname only)\n\nExamples:\n"));
  EXPECT_TRUE(Has(Show(ShowDefinitions, rs), "converted back and forth...\n\nLiterature:"));

  // Without batch mode, with no terminal to read: a prompt per pause, no wait.
  RunSettings interactive = rs;
  interactive.fBatchMode = 0;
  size_t prompts[5] = {};
  const ScreenFn screens[5] = {ShowHelp, ShowTechInfo, ShowHistory, ShowDefinitions, ShowNotice};
  for (int i = 0; i < 5; ++i) {
    StdinFromDevNull guard;
    ConsoleCapture cap;
    screens[i](interactive);
    prompts[i] = Count(cap.err, "\rPress a key...\r               \r");
  }
  EXPECT_EQ(prompts[0], 1u);
  EXPECT_EQ(prompts[1], 1u);
  EXPECT_EQ(prompts[2], 1u);
  EXPECT_EQ(prompts[3], 1u);
  EXPECT_EQ(prompts[4], 0u);
}

TEST(Screens, EveryLineFitsAnEightyColumnConsole) {
  RunSettings rs = Batch();
  rs.fInternalOptions = 1;
  for (ScreenFn screen : {ShowHelp, ShowTechInfo, ShowHistory, ShowDefinitions, ShowNotice}) {
    std::istringstream in(Show(screen, rs));
    std::string line;
    while (std::getline(in, line)) {
      EXPECT_LE(line.size(), 79u) << line;
      for (const char c : line)
        EXPECT_TRUE(c >= ' ' && c <= '~') << "control or non-ASCII byte in: " << line;
    }
  }
}

} // namespace
} // namespace kovra
