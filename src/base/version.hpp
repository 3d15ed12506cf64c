// Program name, version text and the build stamp of the release.
#pragma once

#include <string>

namespace kovra {

inline constexpr const char* PROGRAM_NAME = "KOVRA";
inline constexpr unsigned VERSION_NUMBER = 123;

// "v1.23beta": odd version numbers are beta releases.
std::string VersionText();

// "961209Mo" for the release date 9 December 1996: yymmdd and the weekday.
std::string BuildStamp();

// The release date as "Dec  9 1996" and its time as "21:03:52".
std::string BuildDateText();
std::string BuildTimeText();

} // namespace kovra
