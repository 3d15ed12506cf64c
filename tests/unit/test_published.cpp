// Designs as they are published: every style reads to the same blocks (the
// same SHA-256 of the normal form), and a line or value that is no block
// stops the loader with a code instead of being dropped.
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "formats/loader.hpp"
#include "formats/textfmt.hpp"
#include "report/certificate.hpp"
#include "scratch_dir.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace kovra {
namespace {

// The projective plane of order 3 (13 points, 13 lines of 4), points from 1:
// lines {i, i+1, i+3, i+9} mod 13.
std::vector<std::vector<unsigned>> Plane() {
  std::vector<std::vector<unsigned>> lines;
  for (unsigned i = 0; i < 13; ++i)
    lines.push_back({i % 13 + 1, (i + 1) % 13 + 1, (i + 3) % 13 + 1, (i + 9) % 13 + 1});
  return lines;
}

// The points of a block with `sep` between them.
std::string Joined(const std::vector<unsigned>& block, const std::string& sep, unsigned minus = 0) {
  std::string text;
  for (size_t j = 0; j < block.size(); ++j) {
    if (j > 0) text += sep;
    text += std::to_string(block[j] - minus);
  }
  return text;
}

// The blocks written with `open`, `sep` and `close` around each, one per line.
std::string Lines(const std::string& open, const std::string& sep, const std::string& close,
                  const std::string& end = "\n") {
  std::string text;
  for (const auto& block : Plane()) {
    text += open;
    text += Joined(block, sep);
    text += close;
    text += end;
  }
  return text;
}

// The blocks as one nested list on one line.
std::string Nested() {
  std::string text = "[";
  for (const auto& block : Plane()) {
    text += text.size() > 1 ? ",[" : "[";
    text += Joined(block, ",");
    text += "]";
  }
  return text + "]";
}

struct Loaded {
  int code = 0; // the fatal exit's, 0 when none
  std::string sha256;
  LoadParams io;
};

// Loads `text` from a file; with `v` the caller gives v (and t = m = l = 2,
// k open), without it the file must name its parameters.
Loaded Load(const std::string& text, uint16_t v) {
  std::ofstream("design") << text;
  Loaded r;
  r.io.v = v;
  r.io.t = r.io.m = r.io.l = v != 0 ? 2 : 0;
  r.io.kOpen = true;
  ConsoleCapture quiet;
  try {
    const BlockArray blocks = SysLoad("design", r.io, v != 0, 0, false, false);
    if (!blocks) return r;
    std::vector<std::vector<unsigned>> rows(r.io.b);
    for (uint32_t i = 0; i < r.io.b; ++i)
      rows[i].assign(blocks.get() + size_t{i} * r.io.k, blocks.get() + size_t{i + 1} * r.io.k);
    for (auto& row : rows)
      for (auto& p : row) p = p + 1 - r.io.base;
    r.sha256 = Sha256Hex(NormalFormText(rows));
  } catch (const FatalExit& e) {
    r.code = e.code;
  }
  return r;
}

TEST(PublishedStyles, EveryStyleReadsToTheSameDesign) {
  test::ScratchDir dir;
  const std::string plain = Lines("", " ", "");
  const Loaded reference = Load(plain, 13);
  ASSERT_EQ(reference.io.b, 13u);
  EXPECT_EQ(reference.io.k, 4u);
  EXPECT_TRUE(reference.io.kFromData);
  std::string pretty = "[\n" + Lines("  [", ", ", "],");
  pretty.erase(pretty.size() - 2, 1); // JSON has no comma behind the last
  std::string gap = Lines("[ ", ", ", " ],", "\n  ");
  gap.erase(gap.rfind(','));
  const std::string styles[] = {
      Lines("[", ", ", "]"),
      Lines("", ",", ""),
      Lines("", "\t", ""),
      Lines("", ";", ""),
      Lines("", "; ", " ;the ';' before a word starts a comment"),
      "\xEF\xBB\xBF" + Lines("", " ", "", "\r\n"),
      "# a list, then its lines\n" + Lines("\"", "\",\"", "\""),
      Nested(),
      pretty + "]\n",
      "# the plane\nPlane := [ " + gap + " ];\n",
      // A list of lines, one block per line, without the outer list's
      // first "[" on a line of its own: read as lines, the last "]" is
      // nothing to lose.
      Lines("[", ",", "],") + "]\n",
      "gap := " + Nested() + "; # done\n",
  };
  for (const std::string& text : styles) {
    const Loaded got = Load(text, 13);
    EXPECT_EQ(got.code, 0) << text;
    EXPECT_EQ(got.sha256, reference.sha256) << text;
  }
  // A JSON object names its own parameters, before or after its blocks.
  const std::string objects[] = {
      R"({"v": 13, "k": 4, "t": 2, "m": 2, "l": 1, "blocks": )" + Nested() + "}",
      R"({"source": "a; b # c", "notes": [1, {"x": null}], "blocks": )" + Nested() +
          R"(, "b": 13, "v": 13, "t": 2, "m": 2, "l": 1})",
  };
  for (const std::string& text : objects) {
    const Loaded got = Load(text, 0);
    EXPECT_EQ(got.code, 0) << text;
    EXPECT_TRUE(got.io.idLine);
    EXPECT_EQ(got.io.v, 13u);
    EXPECT_EQ(got.sha256, reference.sha256) << text;
  }
  // Base 0 through the object's own "base".
  std::string zero = "{\"v\":13,\"t\":2,\"m\":2,\"l\":1,\"base\":0,\"blocks\":[";
  for (const auto& block : Plane()) {
    zero += zero.back() == '[' ? "[" : ",[";
    zero += Joined(block, ",", 1);
    zero += "]";
  }
  EXPECT_EQ(Load(zero + "]}", 0).sha256, reference.sha256);
}

TEST(PublishedStyles, NothingIsDroppedSilently) {
  test::ScratchDir dir;
  const struct {
    std::string text;
    int code;
  } cases[] = {
      // Lines among the blocks that are neither block nor comment.
      {"1 2 3 4\nwords between\n5 6 7 8\n", BLK_NOT_BLOCK},
      {"1 2 3 4\n5 6 7 8\nTotal 2 blocks? no: a word line\n", BLK_NOT_BLOCK},
      {"ID 13 2 4 13 0/0 2/2 1\n1 2 3 4\nx\n5 6 7 8\n", BLK_NOT_BLOCK},
      // Header keywords, comments, empty lines and lone brackets are fine.
      {"Title words first\n[\n1 2 3 4\n\n# c\n;c\nComments x\n5 6 7 8\n]\n", 0},
      // Lists that are no list of blocks.
      {"[[1,2,3,4],[5,6,7,x]]", BLK_NOT_BLOCK},
      {"[[1,2,3,4],[5,6,7,8.5]]", BLK_NOT_BLOCK},
      {"[[1,2,3,4],5]", BLK_NOT_BLOCK},
      {"[[1,2,3,4],[[5,6,7,8]]]", BLK_NOT_BLOCK},
      {"[[1,2,3,4],\"5 6 7 8\"]", BLK_NOT_BLOCK},
      {"[[1,2,3,4]] [[5,6,7,8]]", BLK_NOT_BLOCK},
      {"B := [[1,2,3,4]]; [[5,6,7,8]];", BLK_NOT_BLOCK},
      {"{\"v\": 13}", BLK_NOT_BLOCK},
      {"{\"v\": \"13\", \"blocks\": [[1,2,3,4]]}", BLK_NOT_BLOCK},
      {"{\"v\": -1, \"blocks\": [[1,2,3,4]]}", BLK_NOT_BLOCK},
      // Blocks that break the block-line rules keep their codes.
      {"[[1,2,3,4],[5,6,7]]", BLK_TOO_FEW},
      {"[[1,2,3,4],[5,6,7,8,9]]", BLK_TOO_MANY},
      {"[[1,2,3,4],[5,6,6,8]]", BLK_DUP},
      {"[[1,2,3,4],[5,6,7,14]]", BLK_RANGE},
      {"[[1,2,3,4],[5,6,7,-8]]", BLK_RANGE},
      {"{\"k\": 3, \"blocks\": [[1,2,3,4]]}", BLK_TOO_MANY},
      {"{\"blocks\": [[1,2,3,4]], \"k\": 5}", BLK_TOO_FEW},
      {"{\"blocks\": [[1,2,3,4]], \"b\": 2}", BLK_MISSING},
      {"{\"blocks\": [[1,2,3,4],[5,6,7,8]], \"b\": 1}", 13},
  };
  for (const auto& c : cases) EXPECT_EQ(Load(c.text, 13).code, c.code) << c.text;
}

} // namespace
} // namespace kovra
