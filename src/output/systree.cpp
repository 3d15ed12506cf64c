// The system tree.
#include "output/systree.hpp"

#include "formats/loader.hpp"

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
  uint32_t n = 0;
  for (size_t i = 2; i < 6 && i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (std::isdigit(c) == 0) break;
    n = n * 10 + (c - '0');
  }
  return n;
}

// The old-style name a design of the class with b blocks takes, b in full.
std::string ClassFileName(uint16_t v, uint32_t b, uint16_t t, uint16_t m, uint16_t k) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02hu%04lu%hu%c.%hu%c%hu", v, static_cast<unsigned long>(b), t,
                'a', m, 'a', k);
  return buf;
}

} // namespace

std::string SysClassDir(uint16_t k, uint16_t t, uint16_t m) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s%s/K%d/%d%c%d%c%d", kRootPrefix, kRootDir, k, t, 'a', m, 'a',
                k);
  return buf;
}

std::string SysNamePattern(uint16_t v, uint16_t t, uint16_t m, uint16_t k) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d????%d%c.%d%c%d", v, t, 'a', m, 'a', k);
  return buf;
}

bool MatchSysName(const char* name, const char* pattern) {
  for (; *pattern != '\0'; ++name, ++pattern) {
    if (*name == '\0') return false;
    if (*pattern == '?') continue;
    if (std::tolower(static_cast<unsigned char>(*name)) !=
        std::tolower(static_cast<unsigned char>(*pattern)))
      return false;
  }
  return *name == '\0';
}

bool FindBestSysFile(uint16_t k, uint16_t t, uint16_t m, uint16_t v, std::string& path,
                     uint32_t& count) {
  namespace fs = std::filesystem;
  const std::string dir = SysClassDir(k, t, m);
  const std::string pattern = SysNamePattern(v, t, m, k);

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

bool SetSysDirFName(Sys& sys, uint16_t v, uint16_t k, uint16_t t, uint16_t m, uint16_t l,
                    uint32_t b) {
  std::string path;
  uint32_t bestCount = 0;
  if (!FindBestSysFile(k, t, m, v, path, bestCount)) {
    SetSysFileName(sys, path.c_str());
    return false;
  }
  // The design is counted, tested and written by its b afterwards: b may
  // name only blocks the array holds, and only four digits fit the name.
  // Adopting the stored file's count instead would test and write a
  // different number of blocks than the design has, and could replace that
  // file by a shorter design.
  const uint32_t held = std::max(sys.b, sys.ulAlloc);
  if (b == 0 || b > 9999 || b > held || !sys.blocks) {
    SetSysFileName(sys, (SysClassDir(k, t, m) + "/" + ClassFileName(v, b, t, m, k)).c_str());
    return false;
  }
  SetSysParams(sys, v, k, t, m, l);
  sys.b = b;
  // The best file's name (its letters as stored) with this design's count.
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04lu", static_cast<unsigned long>(b));
  const size_t slash = path.rfind('/');
  path.replace(slash + 1 + 2, 4, digits);
  return SetSysFileName(sys, path.c_str());
}

bool MakeSys(Sys& sys, uint16_t v, uint16_t k, uint16_t t, uint16_t m, uint16_t l, bool sort,
             int16_t base, const char* fileName, uint8_t bCompressed, bool closeGaps) {
  sys.fLoaded = 0;
  SetSysParams(sys, v, k, t, m, l);
  if (base >= 0) sys.base = static_cast<uint16_t>(base);
  const bool nameGiven = fileName != nullptr && fileName[0] != '\0';
  if (nameGiven) {
    if (!SetSysFileName(sys, fileName)) return false;
  } else {
    std::string path;
    uint32_t count = 0;
    const bool found = FindBestSysFile(k, t, m, v, path, count);
    if (!SetSysFileName(sys, path.c_str()) || !found) return false;
  }
  sys.fLoaded = ReadSys(sys, sort, base, nameGiven, bCompressed, closeGaps) ? 1 : 0;
  return sys.fLoaded != 0;
}

} // namespace kovra
