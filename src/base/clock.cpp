// The clock and the date text.
#include "base/clock.hpp"

#include "base/text.hpp"

#include <cstdio>

namespace kovra {
namespace {
ClockFn gClock = nullptr;
} // namespace

std::time_t NowSeconds() { return gClock != nullptr ? gClock() : std::time(nullptr); }

void SetClockForTest(ClockFn fn) { gClock = fn; }

std::string DateText(std::time_t when) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::tm tm{};
  if (localtime_r(&when, &tm) == nullptr) tm = std::tm{};
  char text[64];
  std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %04d",
                kDays[(tm.tm_wday % 7 + 7) % 7], MONTH_NAMES[(tm.tm_mon % 12 + 12) % 12],
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_year + 1900);
  return text;
}

} // namespace kovra
