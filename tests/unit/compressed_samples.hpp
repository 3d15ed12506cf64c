// Sample designs, files and independent references for the tests of the two
// compressed encodings.
#pragma once

#include "design/sys.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace kovra::samples {

using BlockList = std::vector<std::vector<int>>;

// A loaded Sys holding the given blocks (points as given, in `base`).
inline Sys MakeDesign(unsigned v, unsigned k, const BlockList& blocks, unsigned t = 2,
                      unsigned m = 2, unsigned l = 1, unsigned base = 1) {
  Sys s;
  InitSys(s);
  EXPECT_TRUE(AllocSys(s, static_cast<uint32_t>(blocks.size()), k));
  SetSysParams(s, static_cast<uint16_t>(v), static_cast<uint16_t>(k), static_cast<uint16_t>(t),
               static_cast<uint16_t>(m), static_cast<uint16_t>(l));
  s.base = static_cast<uint16_t>(base);
  for (size_t i = 0; i < blocks.size(); ++i)
    for (size_t j = 0; j < blocks[i].size(); ++j)
      s.blocks[i].pt[j] = static_cast<uint8_t>(blocks[i][j]);
  if (!blocks.empty()) SetBlockK(s.blocks[0], k);
  s.b = static_cast<uint32_t>(blocks.size());
  return s;
}

// The worked example: v = 5, k = 2, ranks 1 2 6 9 (given out of order).
inline Sys ExampleDesign() { return MakeDesign(5, 2, {{3, 5}, {2, 1}, {2, 4}, {1, 3}}); }
inline const BlockList kExampleBlocks = {{1, 2}, {1, 3}, {2, 4}, {3, 5}};

inline BlockList ListOf(const Block* blocks, uint32_t b, unsigned k) {
  BlockList out(b);
  for (uint32_t i = 0; i < b; ++i) out[i].assign(blocks[i].pt, blocks[i].pt + k);
  return out;
}

// What a reader must give back: every block's points ascending, the blocks
// in lexicographic order, moved to base 1. Computed without the program's
// own sort.
inline BlockList SortedBase1(const BlockList& blocks, int base = 1) {
  BlockList out = blocks;
  for (auto& b : out) {
    for (int& p : b) p = p - base + 1;
    std::sort(b.begin(), b.end());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// b random k-subsets of 1..v, some of them repeated, in random order.
inline BlockList RandomBlocks(std::mt19937& rng, unsigned v, unsigned k, uint32_t b) {
  std::vector<int> points(v);
  for (unsigned i = 0; i < v; ++i) points[i] = static_cast<int>(i + 1);
  BlockList out;
  while (out.size() < b) {
    if (!out.empty() && rng() % 5 == 0) {
      out.push_back(out[rng() % out.size()]);
      continue;
    }
    std::shuffle(points.begin(), points.end(), rng);
    out.emplace_back(points.begin(), points.begin() + k);
  }
  return out;
}

// Every k-subset of 1..v in lexicographic order, by plain recursion: the
// position of a subset here is its rank minus 1.
inline void AllSubsets(unsigned v, unsigned k, unsigned from, std::vector<int>& cur,
                       BlockList& out) {
  if (cur.size() == k) {
    out.push_back(cur);
    return;
  }
  for (unsigned p = from; p <= v; ++p) {
    cur.push_back(static_cast<int>(p));
    AllSubsets(v, k, p + 1, cur, out);
    cur.pop_back();
  }
}
inline BlockList AllSubsets(unsigned v, unsigned k) {
  BlockList out;
  std::vector<int> cur;
  AllSubsets(v, k, 1, cur, out);
  return out;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
}

inline bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

inline std::string DataFile(const char* name) {
  return std::string(KOVRA_SOURCE_DIR) + "/tests/data/compressed/" + name;
}

// A fresh file name in /tmp, removed (if still there) when the object goes.
class TempPath {
public:
  TempPath() {
    char name[] = "/tmp/kovra-unit-XXXXXX";
    const int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    if (fd >= 0) close(fd);
    path_ = name;
  }
  ~TempPath() { std::remove(path_.c_str()); }
  TempPath(const TempPath&) = delete;
  TempPath& operator=(const TempPath&) = delete;
  const char* c_str() const { return path_.c_str(); }
  const std::string& str() const { return path_; }

private:
  std::string path_;
};

} // namespace kovra::samples
