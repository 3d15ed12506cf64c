// Whole-program helpers for the design-run and round-trip tests: small
// designs as point sets, their files, an in-process run of the program with
// its console captured, what the run printed, and an independent brute-force
// count of the m-subsets a design leaves uncovered.
#pragma once

#include "app/entry.hpp"
#include "base/console.hpp"
#include "stdin_guard.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace kovra::test {

using PointSet = uint64_t; // bit p = point p (1..v, v <= 63)

struct Design {
  unsigned v = 1, k = 1, t = 1, m = 1, l = 1;
  std::vector<PointSet> blocks; // in file order; a block may repeat
};

inline std::string SetText(PointSet s) {
  std::ostringstream out;
  out << '{';
  const char* sep = "";
  for (unsigned p = 1; p < 64; ++p)
    if ((s >> p) & 1u) {
      out << sep << p;
      sep = ",";
    }
  out << '}';
  return out.str();
}

inline std::string Describe(const Design& d) {
  std::ostringstream out;
  out << "C(" << d.v << ',' << d.k << ',' << d.t << ',' << d.m << ',' << d.l << ") blocks:";
  for (const PointSet b : d.blocks) out << ' ' << SetText(b);
  return out.str();
}

// The design as a plain file with an ID line, one block per line.
inline std::string PlainText(const Design& d) {
  std::ostringstream s;
  s << "ID " << d.v << " " << d.blocks.size() << " " << d.k << " " << d.v << " 0/0 " << d.t << "/"
    << d.m << " " << d.l << " 2 1 0 4 2 64 1 ...\n";
  for (const PointSet b : d.blocks) {
    const char* sep = "";
    for (unsigned p = 1; p < 64; ++p)
      if ((b >> p) & 1u) {
        s << sep << p;
        sep = " ";
      }
    s << "\n";
  }
  return s.str();
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The blocks of a plain design file as KOVRA writes it: every line whose
// first significant character is a digit, comments cut.
inline std::vector<PointSet> PlainBlocks(const std::string& text) {
  std::vector<PointSet> blocks;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    line = line.substr(0, line.find('#'));
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] < '0' || line[start] > '9') continue;
    std::istringstream nums(line);
    PointSet b = 0;
    for (unsigned p = 0; nums >> p;) b |= PointSet{1} << p;
    blocks.push_back(b);
  }
  return blocks;
}

inline std::vector<PointSet> Sorted(std::vector<PointSet> blocks) {
  // Lexicographic order of the ascending point lists.
  auto key = [](PointSet s) {
    std::vector<unsigned> pts;
    for (unsigned p = 1; p < 64; ++p)
      if ((s >> p) & 1u) pts.push_back(p);
    return pts;
  };
  std::sort(blocks.begin(), blocks.end(), [&](PointSet a, PointSet b) { return key(a) < key(b); });
  return blocks;
}

// Every block of `part` occurs in `whole` at least as often.
inline bool IsSubMultiset(const std::vector<PointSet>& part, const std::vector<PointSet>& whole) {
  std::map<PointSet, int> count;
  for (const PointSet b : whole) ++count[b];
  for (const PointSet b : part)
    if (--count[b] < 0) return false;
  return true;
}

// ---- The program, in process ----

struct Ran {
  int status = -1;
  std::string out; // standard output (every DualPrint message once)
  std::string err; // standard error only
};

inline Ran RunKovra(const std::vector<std::string>& args) {
  std::vector<std::string> all{"kovra"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<const char*> argv;
  for (const auto& a : all) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  StdinFromDevNull stdinGuard;
  ConsoleCapture cap;
  Ran r;
  r.status = KovraMain(static_cast<int>(all.size()), argv.data());
  r.out = cap.out;
  r.err = cap.err;
  return r;
}

// The first capture of `pattern` in `text`, or "" when it does not occur.
inline std::string Find(const std::string& text, const std::string& pattern) {
  std::smatch m;
  const std::regex re(pattern);
  return std::regex_search(text, m, re) && m.size() > 1 ? m[1].str() : std::string();
}

inline long FindNumber(const std::string& text, const std::string& pattern) {
  const std::string s = Find(text, pattern);
  return s.empty() ? -1 : std::stol(s);
}

// The combinations printed as "LOSING combination", in the order printed.
inline std::vector<PointSet> LosingCombinations(const std::string& out) {
  std::vector<PointSet> sets;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    const auto pos = line.find(" : LOSING combination !!!");
    if (pos == std::string::npos) continue;
    std::istringstream nums(line.substr(0, pos));
    PointSet s = 0;
    for (unsigned p = 0; nums >> p;) s |= PointSet{1} << p;
    sets.push_back(s);
  }
  return sets;
}

inline std::string CreatedFile(const std::string& out) {
  return Find(out, "Created new file <([^>]*)>\\.");
}

// ---- Brute force ----

// The m-subsets of 1..v in lexicographic order.
inline std::vector<PointSet> AllSubsets(unsigned v, unsigned m) {
  std::vector<PointSet> sets;
  if (m > v || m == 0) return sets;
  std::vector<unsigned> c(m);
  for (unsigned i = 0; i < m; ++i) c[i] = i + 1;
  for (;;) {
    PointSet s = 0;
    for (const unsigned p : c) s |= PointSet{1} << p;
    sets.push_back(s);
    int i = static_cast<int>(m) - 1;
    while (i >= 0 && c[static_cast<size_t>(i)] == v - m + 1 + static_cast<unsigned>(i)) --i;
    if (i < 0) return sets;
    ++c[static_cast<size_t>(i)];
    for (size_t j = static_cast<size_t>(i) + 1; j < m; ++j) c[j] = c[j - 1] + 1;
  }
}

// Whether the m-subset s is covered: at least l blocks of the list (a block
// listed twice counts twice) meet it in at least t points.
inline bool IsCovered(const Design& d, PointSet s) {
  unsigned meeting = 0;
  for (const PointSet b : d.blocks)
    if (static_cast<unsigned>(std::popcount(s & b)) >= d.t) ++meeting;
  return meeting >= d.l;
}

// The uncovered m-subsets in lexicographic order.
inline std::vector<PointSet> Uncovered(const Design& d) {
  std::vector<PointSet> out;
  for (const PointSet s : AllSubsets(d.v, d.m))
    if (!IsCovered(d, s)) out.push_back(s);
  return out;
}

// ---- Random small designs ----

inline PointSet RandomBlock(std::mt19937& rng, unsigned v, unsigned k) {
  std::vector<unsigned> pts(v);
  for (unsigned i = 0; i < v; ++i) pts[i] = i + 1;
  std::shuffle(pts.begin(), pts.end(), rng);
  PointSet b = 0;
  for (unsigned i = 0; i < k; ++i) b |= PointSet{1} << pts[i];
  return b;
}

inline unsigned Uniform(std::mt19937& rng, unsigned lo, unsigned hi) {
  return std::uniform_int_distribution<unsigned>(lo, hi)(rng);
}

} // namespace kovra::test
