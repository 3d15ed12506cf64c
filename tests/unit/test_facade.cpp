// The library facade on its own, without the command line: its verdicts
// against brute force on random designs, its steps, its errors, its log and
// its stop flag.
#include "kovra/kovra.hpp"
#include "test_driver_util.hpp"

#include <gtest/gtest.h>

#include <random>

namespace kovra {
namespace {

namespace api = kovra::api;

// The design as the facade takes it, and the losing m-subsets as it names
// them (ascending points, lexicographic order).
api::Design Of(const test::Design& d) {
  std::vector<std::vector<unsigned>> rows;
  for (const test::PointSet b : d.blocks) {
    std::vector<unsigned> row;
    for (unsigned p = 1; p <= d.v; ++p)
      if ((b >> p) & 1u) row.push_back(p);
    rows.push_back(row);
  }
  api::Result<api::Design> made = api::MakeDesign(rows, {d.v, d.k, d.t, d.m, d.l});
  EXPECT_TRUE(made) << made.error().message;
  return *made;
}

std::vector<std::vector<unsigned>> Rows(const std::vector<test::PointSet>& sets, unsigned v) {
  std::vector<std::vector<unsigned>> out;
  for (const test::PointSet s : sets) {
    std::vector<unsigned> row;
    for (unsigned p = 1; p <= v; ++p)
      if ((s >> p) & 1u) row.push_back(p);
    out.push_back(row);
  }
  return out;
}

TEST(Facade, VerifiesAndReducesAsBruteForceSays) {
  std::mt19937 rng(30);
  int failing = 0;
  for (int i = 0; i < 60; ++i) {
    test::Design d;
    d.v = test::Uniform(rng, 5, 11);
    d.k = test::Uniform(rng, 2, std::min(d.v, 5u));
    d.t = test::Uniform(rng, 1, d.k);
    d.m = test::Uniform(rng, d.t, std::min(d.v, 6u));
    d.l = test::Uniform(rng, 1, 2);
    for (unsigned b = test::Uniform(rng, 1, 25); b > 0; --b)
      d.blocks.push_back(test::RandomBlock(rng, d.v, d.k));
    SCOPED_TRACE(test::Describe(d));
    const std::vector<test::PointSet> losing = test::Uncovered(d);
    api::VerifyOptions o;
    o.maxLosing = 1000;
    o.threads = 1 + static_cast<unsigned>(i % 2);
    const api::Result<api::VerifyResult> r = api::Verify(Of(d), o);
    ASSERT_TRUE(r) << r.error().message;
    EXPECT_EQ(r->verdict, losing.empty() ? api::Verdict::kOk : api::Verdict::kFail);
    EXPECT_TRUE(r->counted);
    EXPECT_EQ(r->losingCount, losing.size());
    EXPECT_EQ(r->firstLosing, Rows(losing, d.v));
    failing += losing.empty() ? 0 : 1;
    if (!losing.empty()) continue;
    // What the reduction keeps still covers, and no block of it can go.
    const api::Result<api::Reduction> red = api::Reduce(Of(d), o);
    ASSERT_TRUE(red && red->done);
    test::Design kept = d;
    kept.blocks.clear();
    const auto& pts = red->kept.points;
    for (size_t b = 0; b < red->kept.BlockCount(); ++b) {
      test::PointSet s = 0;
      for (unsigned j = 0; j < d.k; ++j) s |= test::PointSet{1} << pts[b * d.k + j];
      kept.blocks.push_back(s);
    }
    EXPECT_TRUE(test::Uncovered(kept).empty());
    for (size_t drop = 0; drop < kept.blocks.size(); ++drop) {
      test::Design less = kept;
      less.blocks.erase(less.blocks.begin() + static_cast<ptrdiff_t>(drop));
      EXPECT_FALSE(test::Uncovered(less).empty()) << "block " << drop << " could go";
    }
  }
  EXPECT_GE(failing, 8);
  EXPECT_LE(failing, 52);
}

TEST(Facade, StepsLogErrorsAndTheStopFlag) {
  // The Fano plane, with a line missing: the pairs of that line lose.
  const std::vector<std::vector<unsigned>> fano = {{1, 2, 3}, {1, 4, 5}, {1, 6, 7}, {2, 4, 6},
                                                   {2, 5, 7}, {3, 4, 7}, {3, 5, 6}};
  std::vector<std::vector<unsigned>> six(fano.begin() + 1, fano.end());
  six.push_back({1, 2, 3}); // a repeated block: the analysis leaves it out
  const api::Result<api::Design> d = api::MakeDesign(six, {7, 3, 2, 2, 1}, 1, "six.txt");
  ASSERT_TRUE(d);
  std::string log;
  api::VerifyOptions o;
  o.maxLosing = 5;
  o.log.to = [&](std::string_view text) { log += text; };
  api::Result<api::Session> s = api::Session::Analyse(*d, o);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->result().redundant, 0u);
  EXPECT_EQ(s->result().kept.size(), 7u);
  ASSERT_TRUE(s->Report());
  const api::Result<api::VerifyResult> r = s->Test("named.txt");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->verdict, api::Verdict::kOk);
  EXPECT_NE(log.find("TestRetCode: OK (named.txt)"), std::string::npos) << log;

  const api::Result<api::Design> missing = api::MakeDesign(
      std::vector<std::vector<unsigned>>(fano.begin() + 1, fano.end()), {7, 3, 2, 2, 1});
  ASSERT_TRUE(missing);
  const api::Result<api::VerifyResult> lost = api::Verify(*missing, o);
  ASSERT_TRUE(lost);
  EXPECT_EQ(lost->losingCount, 3u);
  EXPECT_EQ(lost->firstLosing, (std::vector<std::vector<unsigned>>{{1, 2}, {1, 3}, {2, 3}}));

  // Errors come back with the command line's status and message; nothing
  // is printed on the console.
  const api::Result<api::Design> out = api::MakeDesign({{1, 2, 3}, {1, 2, 8}}, {7, 3, 2, 2, 1});
  ASSERT_FALSE(out);
  EXPECT_EQ(out.error().status, 6);
  EXPECT_EQ(out.error().message, "Err: <blocks> block 2: point 8 is outside 1..7");
  const api::Result<api::Design> twice = api::MakeDesign({{1, 2, 2}}, {7, 3, 2, 2, 1});
  ASSERT_FALSE(twice);
  EXPECT_EQ(twice.error().status, 7);
  const api::Result<api::Design> limits = api::MakeDesign({{1, 2, 3}}, {1100, 3, 2, 2, 1});
  ASSERT_FALSE(limits);
  EXPECT_EQ(limits.error().status, 1);
  const api::Result<api::Design> none = api::Load("no such file.txt");
  ASSERT_FALSE(none);
  EXPECT_NE(none.error().message.find("no such file.txt"), std::string::npos);

  // A raised stop flag ends the test undecided.
  const std::atomic<bool> stop{true};
  api::VerifyOptions stopped;
  stopped.stop = &stop;
  const api::Result<api::VerifyResult> u = api::Verify(*missing, stopped);
  ASSERT_TRUE(u);
  EXPECT_EQ(u->verdict, api::Verdict::kUndecided);
  EXPECT_TRUE(u->stopped);
}

} // namespace
} // namespace kovra
