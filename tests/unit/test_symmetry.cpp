// Designs up to relabelling, against answers known by construction: a
// random design and a random relabelling of it (points and block order)
// share the canonical sha256, --isomorphic finds a point map that carries
// the one onto the other when the test applies it itself, and a design with
// one block changed into a copy of another is neither. Beside them the
// lambdas of every s <= t against a count over every s-subset, and the XML
// round trip against the design's own sha256.
#include "scratch_dir.hpp"
#include "test_driver_util.hpp"

#include <gtest/gtest.h>

namespace kovra::test {
namespace {

// The point map of "Point map from <A> to <B>: 1->5 2->3 ...".
std::vector<unsigned> PrintedMap(const std::string& out) {
  std::istringstream in(Find(out, "Point map from <[^>]*> to <[^>]*>:([^\n]*)"));
  std::vector<unsigned> map(64, 0);
  unsigned from = 0, to = 0;
  char arrow[3] = {};
  while (in >> from >> arrow[0] >> arrow[1] >> to) map[from] = to;
  return map;
}

PointSet Mapped(PointSet b, const std::vector<unsigned>& map) {
  PointSet out = 0;
  for (unsigned p = 1; p < 64; ++p)
    if ((b >> p) & 1u) out |= PointSet{1} << map[p];
  return out;
}

std::string Json(const Ran& r, const std::string& key) {
  return Find(r.out, "\"" + key + "\":(\"[0-9a-f]*\"|[0-9]+|null|\\[[^\\]]*\\])");
}

TEST(Symmetry, RelabelledCopiesAndChangedBlocksRandom) {
  std::mt19937 rng(31);
  ScratchDir dir;
  for (int round = 0; round < 12; ++round) {
    Design a;
    a.v = Uniform(rng, 6, 12);
    a.k = Uniform(rng, 2, std::min(a.v - 1, 5u));
    a.t = a.m = Uniform(rng, 1, std::min(a.k, 3u));
    const unsigned b = Uniform(rng, 4, 14);
    // Distinct blocks that meet every point, so that the copy of -e holds
    // for t = m = l = 1.
    PointSet met = 0;
    while (a.blocks.size() < b || met != (PointSet{2} << a.v) - 2) {
      const PointSet block = RandomBlock(rng, a.v, a.k);
      if (std::find(a.blocks.begin(), a.blocks.end(), block) != a.blocks.end()) continue;
      a.blocks.push_back(block);
      met |= block;
    }
    std::vector<unsigned> perm(a.v + 1);
    for (unsigned p = 0; p <= a.v; ++p) perm[p] = p;
    std::shuffle(perm.begin() + 1, perm.end(), rng);
    Design relabelled = a;
    for (PointSet& block : relabelled.blocks) block = Mapped(block, perm);
    std::shuffle(relabelled.blocks.begin(), relabelled.blocks.end(), rng);
    Design changed = relabelled; // b distinct blocks become b - 1
    changed.blocks[0] = changed.blocks[1];
    WriteText("a.txt", PlainText(a));
    WriteText("r.txt", PlainText(relabelled));
    WriteText("c.txt", PlainText(changed));
    SCOPED_TRACE(Describe(a));

    const Ran ra = RunKovra({"a.txt", "--canonical", "-y-", "-h2", "--json"});
    const Ran rr = RunKovra({"r.txt", "--canonical", "-y-", "-h2", "--json"});
    const Ran rc = RunKovra({"c.txt", "--canonical", "-y-", "-h2", "--json"});
    EXPECT_EQ(Json(ra, "canonical_sha256"), Json(rr, "canonical_sha256"));
    EXPECT_NE(Json(ra, "canonical_sha256"), Json(rc, "canonical_sha256"));
    EXPECT_EQ(Json(ra, "automorphisms"), Json(rr, "automorphisms"));
    EXPECT_EQ(Json(ra, "point_orbits"), Json(rr, "point_orbits"));

    const Ran iso = RunKovra({"--isomorphic", "a.txt", "r.txt", "-h2"});
    ASSERT_EQ(iso.status, 0) << iso.out;
    const std::vector<unsigned> map = PrintedMap(iso.out);
    std::vector<PointSet> image;
    for (const PointSet block : a.blocks) image.push_back(Mapped(block, map));
    EXPECT_EQ(Sorted(image), Sorted(relabelled.blocks));
    EXPECT_EQ(RunKovra({"--isomorphic", "a.txt", "c.txt", "-h2"}).status, 1);

    // Every s <= t: the fewest and the most blocks on an s-subset.
    std::string lambdas = "[";
    for (unsigned s = 0; s <= a.t; ++s) {
      unsigned lo = UINT32_MAX, hi = 0;
      for (const PointSet set : s == 0 ? std::vector<PointSet>{0} : AllSubsets(a.v, s)) {
        unsigned n = 0;
        for (const PointSet block : a.blocks) n += (block & set) == set;
        lo = std::min(lo, n);
        hi = std::max(hi, n);
      }
      lambdas += (s > 0 ? ",{\"s\":" : "{\"s\":") + std::to_string(s) +
                 ",\"min\":" + std::to_string(lo) + ",\"max\":" + std::to_string(hi) + "}";
    }
    EXPECT_EQ(Json(ra, "lambdas"), lambdas + "]");

    // XML out and in again: the same design.
    ASSERT_EQ(
        RunKovra({"a.txt", "-t1", "-m1", "-y3", "-e", "-g3", "-O", "--output=a.xml", "-h2"}).status,
        0);
    const Ran rx = RunKovra({"a.xml", "-t1", "-m1", "-l1", "-h2", "--json"});
    EXPECT_EQ(Json(rx, "sha256"), Json(ra, "sha256")) << rx.out;
  }
}

} // namespace
} // namespace kovra::test
