// Small text helpers that the readers, the option parser and the file naming
// share: digits, letters without case, and the parts of a path.
#pragma once

#include <cctype>
#include <cstdint>
#include <string_view>

namespace kovra {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Letters compared without case, as file names and keywords are.
inline bool SameIgnoringCase(char a, char b) {
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

// The value of the decimal digits at the start of `text` (0 when there are
// none), saturated at `cap`, so that a number of any length is read without
// overflow and never passes for a small one.
inline uint64_t LeadingDecimal(std::string_view text, uint64_t cap) {
  uint64_t value = 0;
  for (const char c : text) {
    if (!IsDigit(c)) break;
    const auto digit = static_cast<uint64_t>(c - '0');
    if (value > (cap - digit) / 10) return cap;
    value = value * 10 + digit;
  }
  return value;
}

// A path cut into its directory (with its last "/"; empty for a bare name),
// its base name and its extension (from the last "." of the name on, dot
// included; empty when there is none).
struct PathParts {
  std::string_view dir;
  std::string_view base;
  std::string_view ext;
};

inline PathParts SplitPath(std::string_view path) {
  PathParts parts;
  const size_t slash = path.rfind('/');
  if (slash != std::string_view::npos) {
    parts.dir = path.substr(0, slash + 1);
    path.remove_prefix(slash + 1);
  }
  const size_t dot = path.rfind('.');
  parts.base = path.substr(0, dot);
  if (dot != std::string_view::npos) parts.ext = path.substr(dot);
  return parts;
}

// English month names for the date texts, whatever the locale.
inline constexpr const char* MONTH_NAMES[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace kovra
