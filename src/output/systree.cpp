// The system tree.
#include "output/systree.hpp"

#include "base/text.hpp"
#include "output/fnames.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

namespace kovra {
namespace {

// "V:" names the drive of the tree where drives exist; here it names nothing.
constexpr const char* kRootPrefix = "";
constexpr const char* kRootDir = "../system";

// No stored file can have this many blocks in four digits: "none found".
constexpr uint32_t kNoCount = 65535;

// Decimal value of the leading digits of name[2..5]; 0 when there are none.
uint32_t CountInName(const std::string& name) {
  return name.size() <= 2 ? 0 : static_cast<uint32_t>(LeadingDecimal(name.substr(2, 4), 9999));
}

// The old-style name a design of the class with b blocks takes, b in full.
std::string ClassFileName(const DesignParams& p, uint32_t b) { return OldStyleFName(p, b, 'a'); }

} // namespace

std::string SysClassDir(uint16_t k, uint16_t t, uint16_t m) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s%s/K%d/%d%c%d%c%d", kRootPrefix, kRootDir, k, t, 'a', m, 'a',
                k);
  return buf;
}

std::string SysNamePattern(uint16_t v, uint16_t k, uint16_t t, uint16_t m) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d????%d%c.%d%c%d", v, t, 'a', m, 'a', k);
  return buf;
}

bool MatchSysName(const char* name, const char* pattern) {
  for (; *pattern != '\0'; ++name, ++pattern) {
    if (*name == '\0') return false;
    if (*pattern == '?') continue;
    if (!SameIgnoringCase(*name, *pattern)) return false;
  }
  return *name == '\0';
}

bool FindBestSysFile(const DesignParams& p, std::string& path, uint32_t& count) {
  namespace fs = std::filesystem;
  const std::string dir = SysClassDir(p.k, p.t, p.m);
  const std::string pattern = SysNamePattern(p.v, p.k, p.t, p.m);

  // A directory listing comes in whatever order the file system keeps; the
  // names are sorted so that the choice among equal counts is reproducible.
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    if (!it->is_regular_file(typeEc)) continue;
    const std::string name = it->path().filename().string();
    if (MatchSysName(name.c_str(), pattern.c_str())) names.push_back(name);
  }
  std::sort(names.begin(), names.end());

  std::string best = pattern;
  uint32_t bestCount = kNoCount;
  for (const std::string& name : names) {
    const uint32_t n = CountInName(name);
    if (n > 0 && n < bestCount) {
      bestCount = n;
      best = name;
    }
  }
  count = bestCount == kNoCount ? 0 : bestCount;
  path = dir + "/" + best;
  return count != 0;
}

bool SetSysDirFName(Sys& sys) {
  std::string path;
  uint32_t bestCount = 0;
  if (!FindBestSysFile(sys, path, bestCount)) {
    SetSysFileName(sys, path.c_str());
    return false;
  }
  // The design is counted, tested and written by its b afterwards: b may
  // name only blocks the array holds, and only four digits fit the name.
  // Adopting the stored file's count instead would test and write a
  // different number of blocks than the design has, and could replace that
  // file by a shorter design.
  const uint32_t b = sys.b;
  if (b == 0 || b > 9999 || b > sys.ulAlloc || !sys.blocks) {
    SetSysFileName(sys, (SysClassDir(sys.k, sys.t, sys.m) + "/" + ClassFileName(sys, b)).c_str());
    return false;
  }
  // The best file's name (its letters as stored) with this design's count.
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04lu", static_cast<unsigned long>(b));
  const size_t slash = path.rfind('/');
  path.replace(slash + 1 + 2, 4, digits);
  return SetSysFileName(sys, path.c_str());
}

} // namespace kovra
