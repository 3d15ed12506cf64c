// The clock in whole seconds, and the fixed English date text of logs and files.
#pragma once

#include <ctime>
#include <string>

namespace kovra {

// Current time in whole seconds.
std::time_t NowSeconds();

// Local date and time as 24 characters in English whatever the locale, with a
// two-digit day: "Sat Dec 05 22:09:05 2026".
std::string DateText(std::time_t when);

// Replaces the clock for tests (nullptr restores the real one).
using ClockFn = std::time_t (*)();
void SetClockForTest(ClockFn fn);

} // namespace kovra
