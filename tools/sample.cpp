// The sample design samples/4901683a.616.
#include "sample.hpp"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <set>
#include <sstream>

namespace kovra::sample {
namespace {

// The header is the one KOVRA writes for a plain file, with a fixed date so
// that the generator gives the same bytes every time, in every time zone.
constexpr const char* kDate = "Sun Dec 06 12:00:00 2026";
constexpr const char* kComment = "S(3,6,22) on 1-22, C(27,6,3,4,1) on 23-49, 5 mixed blocks";

using Triple = uint32_t; // three points packed into bytes

std::vector<Triple> Triples(const Block6& b) {
  std::vector<Triple> out;
  for (int i = 0; i < 6; ++i)
    for (int j = i + 1; j < 6; ++j)
      for (int k = j + 1; k < 6; ++k) {
        std::array<uint8_t, 3> p = {b[i], b[j], b[k]};
        std::sort(p.begin(), p.end());
        out.push_back(static_cast<Triple>(p[0]) << 16 | static_cast<Triple>(p[1]) << 8 | p[2]);
      }
  return out;
}

} // namespace

std::vector<uint32_t> ExtendedGolayCode() {
  // Generator matrix of the cyclic code: the shifts x^s * g(x), s = 0..11.
  constexpr uint32_t g =
      (1u << 11) | (1u << 10) | (1u << 6) | (1u << 5) | (1u << 4) | (1u << 2) | 1u;
  std::vector<uint32_t> words;
  words.reserve(4096);
  for (uint32_t msg = 0; msg < 4096; ++msg) {
    uint32_t w = 0;
    for (unsigned s = 0; s < 12; ++s)
      if ((msg >> s & 1u) != 0) w ^= g << s;
    if ((std::popcount(w) & 1) != 0) w |= 1u << 23;
    words.push_back(w);
  }
  std::sort(words.begin(), words.end());
  return words;
}

std::vector<Block6> SteinerS3622() {
  constexpr uint32_t fixed = (1u << 22) | (1u << 23);
  std::vector<Block6> blocks;
  for (const uint32_t w : ExtendedGolayCode()) {
    if (std::popcount(w) != 8 || (w & fixed) != fixed) continue;
    Block6 b{};
    int n = 0;
    for (unsigned i = 0; i < 22; ++i)
      if ((w >> i & 1u) != 0) b[n++] = static_cast<uint8_t>(i + 1);
    blocks.push_back(b);
  }
  std::sort(blocks.begin(), blocks.end());
  return blocks;
}

bool ParseC27(const std::string& text, std::vector<Block6>& blocks, std::string& firstLine,
              std::string& error) {
  blocks.clear();
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    if (++lineNo == 1) firstLine = line;
    if (line.empty() || line[0] == '#') continue;
    std::istringstream nums(line);
    std::vector<int> v;
    int x = 0;
    while (nums >> x) v.push_back(x);
    if (!nums.eof()) {
      error = "line " + std::to_string(lineNo) + ": not a number";
      return false;
    }
    if (v.empty()) continue;
    std::set<int> distinct(v.begin(), v.end());
    if (v.size() != 6 || distinct.size() != 6 || *distinct.begin() < 0 || *distinct.rbegin() > 26) {
      error = "line " + std::to_string(lineNo) + ": not six distinct points 0..26";
      return false;
    }
    Block6 b{};
    for (int i = 0; i < 6; ++i) b[i] = static_cast<uint8_t>(v[i]);
    blocks.push_back(b);
  }
  return true;
}

bool HasGreedyRedundancy(const std::vector<Block6>& blocks) {
  std::set<Triple> seen;
  for (const Block6& b : blocks) {
    bool fresh = false;
    for (const Triple tr : Triples(b)) fresh = seen.insert(tr).second || fresh;
    if (!fresh) return true;
  }
  return false;
}

bool OrderWithoutRedundancy(std::vector<Block6>& blocks) {
  // A block may stand last exactly when it holds a triple no other block
  // holds; taking it away only makes the others' triples rarer, so building
  // the order from the back never paints itself into a corner.
  std::vector<Block6> rest = blocks;
  std::vector<Block6> reversed;
  std::multiset<Triple> held;
  for (const Block6& b : rest)
    for (const Triple tr : Triples(b)) held.insert(tr);
  while (!rest.empty()) {
    size_t pick = rest.size();
    for (size_t i = rest.size(); i-- > 0 && pick == rest.size();) {
      for (const Triple tr : Triples(rest[i]))
        if (held.count(tr) == 1) {
          pick = i;
          break;
        }
    }
    if (pick == rest.size()) return false;
    for (const Triple tr : Triples(rest[pick])) held.erase(held.find(tr));
    reversed.push_back(rest[pick]);
    rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(pick));
  }
  blocks.assign(reversed.rbegin(), reversed.rend());
  return true;
}

bool MakeSampleText(const std::string& c27Text, std::string& out, std::string& error) {
  std::vector<Block6> c27;
  std::string firstLine;
  if (!ParseC27(c27Text, c27, firstLine, error)) return false;
  if (c27.size() != 86) {
    error = "the C(27,6,3,4,1) design must have 86 blocks, not " + std::to_string(c27.size());
    return false;
  }
  const std::string sourceTag = "# source:";
  if (firstLine.compare(0, sourceTag.size(), sourceTag) != 0) {
    error = "the first line must name the design's source (\"# source: ...\")";
    return false;
  }
  for (Block6& b : c27) {
    for (uint8_t& p : b) p = static_cast<uint8_t>(p + 23);
    std::sort(b.begin(), b.end());
  }
  // Steiner blocks share no triple, so their order is free; the two parts
  // share no triple either, so only the C27 part's own order matters, and the
  // mixed blocks go last where nothing after them can lose a triple to them.
  if (!OrderWithoutRedundancy(c27)) {
    error = "the C(27,6,3,4,1) design has no order without redundant blocks";
    return false;
  }
  std::vector<Block6> blocks = SteinerS3622();
  blocks.insert(blocks.end(), c27.begin(), c27.end());
  // Five pairwise disjoint blocks of three points from each part: each of
  // their mixed triples lies in no other block.
  for (uint8_t j = 0; j < 5; ++j)
    blocks.push_back({static_cast<uint8_t>(3 * j + 1), static_cast<uint8_t>(3 * j + 2),
                      static_cast<uint8_t>(3 * j + 3), static_cast<uint8_t>(23 + 3 * j),
                      static_cast<uint8_t>(24 + 3 * j), static_cast<uint8_t>(25 + 3 * j)});
  if (blocks.size() != 168 || HasGreedyRedundancy(blocks)) {
    error = "the blocks do not form the 168 irredundant blocks of the sample";
    return false;
  }

  std::string text = "# source of points 23-49:" + firstLine.substr(sourceTag.size()) + "\n";
  char line[160];
  text += "#ID      v b k v1 w1/w2 t/m L x Base bCmpr CHI CEI CLL CfExp ...\n";
  std::snprintf(line, sizeof line, "ID       49 %zu 6 49 0/0 3/6 1 2 1 0 4 2 64 1 ...\n",
                blocks.size());
  text += line;
  text += std::string("Date     ") + kDate + "\n";
  text += "Author   \n";
  text += std::string("Comments ") + kComment + "\n";
  text += "Data\n";
  for (const Block6& b : blocks) {
    std::snprintf(line, sizeof line, "%2d %2d %2d %2d %2d %2d\n", b[0], b[1], b[2], b[3], b[4],
                  b[5]);
    text += line;
  }
  out = std::move(text);
  return true;
}

} // namespace kovra::sample
