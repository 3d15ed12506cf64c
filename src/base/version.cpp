// Version text and build stamp, from the fixed release date of the build.
#include "base/version.hpp"

#include "base/text.hpp"

#include <cstdio>

#ifndef KOVRA_BD_YEAR
#error "the build date must be configured (KOVRA_BUILD_DATE)"
#endif

namespace kovra {
namespace {

constexpr int kYear = KOVRA_BD_YEAR;
constexpr int kMonth = KOVRA_BD_MONTH;
constexpr int kDay = KOVRA_BD_DAY;

// Day of the week, 0 = Sunday, or -1 for a date that is not a calendar date.
int Weekday(int year, int month, int day) {
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return -1;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && day == 29 && !leap) return -1;
  static const int kOffset[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  const int y = month < 3 ? year - 1 : year;
  return (y + y / 4 - y / 100 + y / 400 + kOffset[month - 1] + day) % 7;
}

} // namespace

std::string VersionText() {
  char text[32];
  std::snprintf(
      text, sizeof text, "v%hu.%02hu%s", static_cast<unsigned short>(VERSION_NUMBER / 100),
      static_cast<unsigned short>(VERSION_NUMBER % 100), VERSION_NUMBER % 2 ? "beta" : "");
  return text;
}

std::string BuildStamp() {
  static const char* const kNames[] = {"Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"};
  const int wd = Weekday(kYear, kMonth, kDay);
  char text[32];
  std::snprintf(text, sizeof text, "%02hu%02hu%02hu%-2.2s",
                static_cast<unsigned short>(kYear % 100), static_cast<unsigned short>(kMonth),
                static_cast<unsigned short>(kDay), wd < 0 ? "Dd" : kNames[wd]);
  return text;
}

std::string BuildDateText() {
  char text[32];
  std::snprintf(text, sizeof text, "%s %2d %04d", MONTH_NAMES[(kMonth - 1 + 12) % 12], kDay, kYear);
  return text;
}

std::string BuildTimeText() {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", KOVRA_BD_HOUR, KOVRA_BD_MIN, KOVRA_BD_SEC);
  return text;
}

} // namespace kovra
