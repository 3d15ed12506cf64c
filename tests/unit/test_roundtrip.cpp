// Round trips through the whole program: designs written with -e in plain,
// compressed text (-g1) and compressed binary (-g2) load back to the same
// sorted blocks and the same verdict, and a chain plain -> ctext -> plain ->
// cbin -> plain keeps the block set. Random designs and the sample.
#include "design/sys.hpp"
#include "formats/loader.hpp"
#include "scratch_dir.hpp"
#include "test_driver_util.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace kovra::test {
namespace {

namespace fs = std::filesystem;

// The blocks of a design file as the program's own loader reads them
// (points sorted within each block; file order kept).
std::vector<PointSet> LoadedBlocks(const std::string& path) {
  Sys sys;
  std::vector<PointSet> blocks;
  ConsoleCapture quiet;
  if (!LoadSys(sys, path.c_str(), LoadOptions{true, 1, 0, false})) return blocks;
  for (uint32_t i = 0; i < sys.b; ++i) {
    PointSet s = 0;
    for (unsigned j = 0; j < sys.k; ++j) s |= PointSet{1} << sys.blocks[i].pt[j];
    blocks.push_back(s);
  }
  return blocks;
}

// A random design whose blocks meet every point, so that at least
// C(v,k,1,1,1) holds; its t, m, l are then picked among the ones the brute
// force says it satisfies, so that -e writes it.
Design RandomCoveringDesign(std::mt19937& rng) {
  Design d;
  d.v = Uniform(rng, 2, 10);
  d.k = Uniform(rng, 1, std::min(5u, d.v));
  const unsigned b = Uniform(rng, 1, 30);
  PointSet all = 0;
  for (unsigned p = 1; p <= d.v; ++p) all |= PointSet{1} << p;
  PointSet met = 0;
  while (d.blocks.size() < b || met != all) {
    const PointSet block =
        !d.blocks.empty() && Uniform(rng, 0, 5) == 0
            ? d.blocks[Uniform(rng, 0, static_cast<unsigned>(d.blocks.size()) - 1)]
            : RandomBlock(rng, d.v, d.k);
    d.blocks.push_back(block);
    met |= block;
  }
  std::vector<Design> passing;
  for (unsigned t = 1; t <= d.k; ++t)
    for (unsigned m = t; m <= std::min(7u, d.v); ++m)
      for (unsigned l = 1; l <= 3; ++l) {
        Design c = d;
        c.t = t;
        c.m = m;
        c.l = l;
        if (Uncovered(c).empty()) passing.push_back(c);
      }
  return passing[Uniform(rng, 0, static_cast<unsigned>(passing.size()) - 1)];
}

// Runs the program on `input` with `args` and -e, and renames the file it
// created to `as`. Returns false (with a failure) when no file was created.
bool Convert(const std::string& input, const std::vector<std::string>& args, const std::string& as,
             Ran* ran = nullptr) {
  std::vector<std::string> all{input, "-e"};
  all.insert(all.end(), args.begin(), args.end());
  const Ran r = RunKovra(all);
  if (ran != nullptr) *ran = r;
  EXPECT_EQ(r.status, 0) << r.out;
  const std::string created = CreatedFile(r.out);
  EXPECT_NE(created, "") << r.out;
  if (created.empty()) return false;
  fs::rename(created, as);
  return true;
}

TEST(RoundTrip, CompressedFilesLoadBackToTheSameSortedBlocksAndVerdict) {
  ScratchDir dir;
  std::mt19937 rng(7);
  for (int i = 0; i < 60; ++i) {
    const Design d = RandomCoveringDesign(rng);
    SCOPED_TRACE("design " + std::to_string(i) + ": " + Describe(d));
    WriteText("d.txt", PlainText(d));
    // Another (t, m, l), often one the design does not satisfy: the verdict
    // with it must not change either.
    const unsigned t2 = Uniform(rng, 1, d.k);
    const std::vector<std::string> other{"-t" + std::to_string(t2),
                                         "-m" + std::to_string(Uniform(rng, t2, 7)),
                                         "-l" + std::to_string(Uniform(rng, 1, 3))};
    std::vector<std::string> withOther{"d.txt"};
    withOther.insert(withOther.end(), other.begin(), other.end());
    const int otherStatus = RunKovra(withOther).status;

    for (const char* method : {"-g1", "-g2"}) {
      SCOPED_TRACE(method);
      // -y3 keeps every block, repeated ones too; -N- and a short line
      // length now and then.
      std::vector<std::string> args{"-y3", method};
      if (Uniform(rng, 0, 2) == 0) args.push_back("-N-");
      if (Uniform(rng, 0, 2) == 0) args.push_back("-G32");
      ASSERT_TRUE(Convert("d.txt", args, "back.dat"));
      EXPECT_EQ(LoadedBlocks("back.dat"), Sorted(d.blocks));
      const Ran back = RunKovra({"back.dat"});
      EXPECT_EQ(back.status, 0);
      EXPECT_EQ(FindNumber(back.out, "Blocks: ([0-9]+) "), static_cast<long>(d.blocks.size()));
      std::vector<std::string> backOther{"back.dat"};
      backOther.insert(backOther.end(), other.begin(), other.end());
      EXPECT_EQ(RunKovra(backOther).status, otherStatus);

      // Without -y3 the reduced design is written: the blocks the analysis
      // kept, sorted, still covering, with the same verdict on reading. (In
      // sorted order the greedy analysis may find further redundant blocks.)
      Ran wrote;
      ASSERT_TRUE(Convert("d.txt", {method}, "reduced.dat", &wrote));
      const std::vector<PointSet> reduced = LoadedBlocks("reduced.dat");
      EXPECT_EQ(static_cast<long>(reduced.size()), FindNumber(wrote.out, "Testing: ([0-9]+) "));
      EXPECT_EQ(reduced, Sorted(reduced));
      EXPECT_TRUE(IsSubMultiset(reduced, d.blocks));
      Design r = d;
      r.blocks = reduced;
      EXPECT_TRUE(Uncovered(r).empty());
      EXPECT_EQ(RunKovra({"reduced.dat"}).status, 0);
      fs::remove("back.dat");
      fs::remove("reduced.dat");
    }
  }
}

TEST(RoundTrip, PlainToCTextToPlainToCBinToPlainKeepsTheBlockSet) {
  ScratchDir dir;
  std::mt19937 rng(11);
  for (int i = 0; i < 40; ++i) {
    const Design d = RandomCoveringDesign(rng);
    SCOPED_TRACE("design " + std::to_string(i) + ": " + Describe(d));
    WriteText("p0.txt", PlainText(d));
    ASSERT_TRUE(Convert("p0.txt", {"-y3", "-g1"}, "c1.dat"));
    ASSERT_TRUE(Convert("c1.dat", {"-y3", "-g0"}, "p2.txt"));
    ASSERT_TRUE(Convert("p2.txt", {"-y3", "-g2"}, "c3.dat"));
    ASSERT_TRUE(Convert("c3.dat", {"-y3", "-g0"}, "p4.txt"));
    // Read with a parser of its own, not the program's loader.
    EXPECT_EQ(PlainBlocks(ReadText("p2.txt")), Sorted(d.blocks));
    EXPECT_EQ(PlainBlocks(ReadText("p4.txt")), Sorted(d.blocks));
    // Both plain files came from a compressed one, which leaves the blocks
    // sorted: they agree line for line apart from the Date line.
    auto dateless = [](std::string text) {
      const auto at = text.find("\nDate ");
      if (at != std::string::npos) text.erase(at, text.find('\n', at + 1) - at);
      return text;
    };
    EXPECT_EQ(dateless(ReadText("p2.txt")), dateless(ReadText("p4.txt")));
    for (const char* f : {"c1.dat", "p2.txt", "c3.dat", "p4.txt"}) fs::remove(f);
  }
}

TEST(RoundTrip, TheSampleThroughBothCompressedFormats) {
  ScratchDir dir;
  const std::string sample = ReadText(std::string(KOVRA_SOURCE_DIR) + "/samples/4901683a.616");
  // Under another name, so that the sample's own old-style name is free.
  WriteText("sample.txt", sample);
  const std::vector<PointSet> blocks = Sorted(PlainBlocks(sample));
  ASSERT_EQ(blocks.size(), 168u);
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"-g1"}, {"-g1", "-N-", "-G32"}, {"-g2"}, {"-g2", "-N-"}}) {
    SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
    Ran wrote;
    ASSERT_TRUE(Convert("sample.txt", args, "back.dat", &wrote));
    EXPECT_NE(wrote.out.find("Created new file <4901683a.616>."), std::string::npos);
    EXPECT_EQ(LoadedBlocks("back.dat"), blocks);
    const Ran back = RunKovra({"back.dat"});
    EXPECT_EQ(back.status, 0);
    EXPECT_NE(back.out.find("Blocks: 168     Redundant: 0     Testing: 168 \n"), std::string::npos);
    EXPECT_NE(back.out.find("TestRetCode: OK (back.dat)"), std::string::npos);
    fs::remove("back.dat");
  }
}

} // namespace
} // namespace kovra::test
