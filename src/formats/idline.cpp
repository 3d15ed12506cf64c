// The ID line: reading its 16 numbers and checking them against the file name.
#include "formats/idline.hpp"

#include "base/console.hpp"
#include "base/limits.hpp"
#include "formats/textfmt.hpp"

#include <algorithm>
#include <string_view>

namespace kovra {
namespace {

constexpr char kIdSeparators[] = "\t\r\n, /.";

// The columns in order: name, the largest number the column holds (beyond
// it a number would wrap), and the limit a refusal names (a design
// parameter's own, else the column's; a number between the two is refused
// later, by the parameter check, in the same words).
struct Column {
  const char* name;
  uint64_t width;
  uint64_t limit;
};
constexpr Column kColumns[16] = {
    {"v", UINT16_MAX, MAX_V},         {"b", UINT32_MAX, MAX_B},
    {"k", UINT16_MAX, MAX_K},         {"v1", UINT64_MAX, UINT64_MAX},
    {"w1", UINT16_MAX, UINT16_MAX},   {"w2", UINT16_MAX, UINT16_MAX},
    {"t", UINT16_MAX, MAX_T},         {"m", UINT16_MAX, MAX_M},
    {"L", UINT16_MAX, MAX_L},         {"x", UINT16_MAX, UINT16_MAX},
    {"Base", UINT16_MAX, UINT16_MAX}, {"bCmpr", UINT8_MAX, UINT8_MAX},
    {"CHI", UINT32_MAX, UINT32_MAX},  {"CEI", UINT32_MAX, UINT32_MAX},
    {"CLL", UINT32_MAX, UINT32_MAX},  {"CfExp", UINT64_MAX, UINT64_MAX}};

// The value of the leading digits of the characters from position `first`
// (1-based) on, at most `count` of them; positions past the end are empty.
unsigned long NameNumber(std::string_view part, size_t first, size_t count) {
  if (first > part.size()) return 0;
  return static_cast<unsigned long>(LeadingDecimal(part.substr(first - 1, count), ULONG_MAX));
}

// The digit at a 1-based position, or 0 when there is none.
uint16_t NameDigit(std::string_view part, size_t position) {
  if (position > part.size() || !IsDigit(part[position - 1])) return 0;
  return static_cast<uint16_t>(part[position - 1] - '0');
}

// True when the name follows the old-style scheme "VVBBBBTa.MLK" that
// KOVRA writes (seven digits and 'a', a dot, a digit, a digit or 'a', a
// digit; 'A' as the old systems wrote it): only such a name says something
// about the design, so only such a name is compared with the ID line.
bool FollowsOldStyleScheme(std::string_view name, std::string_view ext) {
  const auto isA = [](char c) { return c == 'a' || c == 'A'; };
  if (name.size() != 8 || ext.size() != 4 || ext[0] != '.') return false;
  for (size_t i = 0; i < 7; ++i)
    if (!IsDigit(name[i])) return false;
  return isA(name[7]) && IsDigit(ext[1]) && (IsDigit(ext[2]) || isA(ext[2])) && IsDigit(ext[3]);
}

} // namespace

int ParseIdLine(IdRecord& id, const char* line, bool reset, const char* path,
                bool newFNameSchemeRun) {
  if (reset) id = IdRecord{};
  const char* pos = line;
  while (*pos != '\0' && !IsDigit(*pos)) ++pos;
  if (*pos == '\0') return 0;

  int count = 0;
  Token token;
  while (NextToken(pos, kIdSeparators, token) && IsDigit(*token.begin)) {
    uint64_t value = LeadingDecimal(token.begin, UINT64_MAX);
    if (count < 16 && value > kColumns[count].width) {
      const Column& c = kColumns[count];
      size_t digits = 0;
      while (digits < token.size && IsDigit(token.begin[digits])) ++digits;
      DualPrint("Err: %s = %.*s is above the limit %llu.\n", c.name, static_cast<int>(digits),
                token.begin, static_cast<unsigned long long>(c.limit));
      id.tooLarge = true;
      value = c.width;
    }
    // v1 and CfExp read any number; every other value fits its column now.
    const auto u16 = static_cast<uint16_t>(std::min<uint64_t>(value, UINT16_MAX));
    const auto u32 = static_cast<uint32_t>(std::min<uint64_t>(value, UINT32_MAX));
    switch (count) {
    case 0: id.v = u16; break;
    case 1: id.b = u32; break;
    case 2: id.k = u16; break;
    case 3: id.v1 = u16; break; // saturated: above v it reads as v, however large
    case 4: id.w1 = u16; break;
    case 5: id.w2 = u16; break;
    case 6: id.t = u16; break;
    case 7: id.m = u16; break;
    case 8: id.L = u16; break;
    case 9: id.x = u16; break;
    case 10: id.Base = u16; break;
    case 11: id.bCmpr = static_cast<uint8_t>(value); break;
    case 12: id.CHI = u32; break;
    case 13: id.CEI = u32; break;
    case 14: id.CLL = u32; break;
    case 15: id.CfExp = value != 0 ? 1 : 0; break;
    default: break; // numbers after the 16th are read and ignored
    }
    ++count;
  }

  if (id.v1 == 0 || id.v1 > id.v) id.v1 = id.v;
  if (id.L == 0) id.L = 1;
  if (id.bCmpr != 0) id.Base = 1;
  if (id.CHI < 4) id.CHI = 4;
  if (id.CEI < 2) id.CEI = 2;

  if (path != nullptr && !id.tooLarge) CheckFNameAgainstId(id, path, newFNameSchemeRun);
  return count;
}

void CheckFNameAgainstId(IdRecord& id, const char* path, bool newFNameSchemeRun) {
  if (path == nullptr || newFNameSchemeRun) return;
  // Only the base name and the extension (with its dot) count; the directory
  // may hold digits of its own.
  const PathParts parts = SplitPath(path);
  const std::string_view name = parts.base;
  const std::string_view ext = parts.ext;

  if (id.t == 0) id.t = NameDigit(name, 7);
  if (id.m == 0) id.m = NameDigit(ext, 2);
  // A name of the user's own (reduced.txt) or of the new-style scheme
  // carries no parameters to compare.
  if (!FollowsOldStyleScheme(name, ext)) return;

  const unsigned long nameV = NameNumber(name, 1, 2);
  const unsigned long nameB = NameNumber(name, 3, 4);
  const unsigned long nameT = NameNumber(name, 7, 1);
  const unsigned long nameM = NameNumber(ext, 2, 1);
  const unsigned long nameK = NameNumber(ext, 4, 1);
  if (id.v != nameV) DualPrint("# v=%hu vs %lu: FName/ID mismatch! %s\n", id.v, nameV, path);
  if (id.b != nameB)
    DualPrint("# b=%lu vs %lu: FName/ID mismatch! %s\n", static_cast<unsigned long>(id.b), nameB,
              path);
  if (id.t != nameT) DualPrint("# t=%hu vs %lu: FName/ID mismatch! %s\n", id.t, nameT, path);
  if (id.m != nameM) DualPrint("# m=%hu vs %lu: FName/ID mismatch! %s\n", id.m, nameM, path);
  if (id.k != nameK) DualPrint("# k=%hu vs %lu: FName/ID mismatch! %s\n", id.k, nameK, path);
}

IdRecord IdLineOf(const DesignParams& p, uint32_t b) {
  IdRecord id;
  id.v = p.v;
  id.b = b;
  id.k = p.k;
  id.v1 = p.v;
  id.t = p.t;
  id.m = p.m;
  id.L = p.l;
  return id;
}

} // namespace kovra
