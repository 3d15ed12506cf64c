// Console output: standard output, mirrored on standard error when redirected.
#include "base/console.hpp"

#include <cstdio>
#include <unistd.h>

namespace kovra {
namespace {

ConsoleCapture* gCapture = nullptr;

std::string FormatToString(const char* format, va_list args) KOVRA_PRINTF(1, 0);
std::string FormatToString(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::string text(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(n));
  return text;
}

} // namespace

bool StdoutIsConsole() { return isatty(STDOUT_FILENO) != 0; }

bool StderrIsConsole() { return isatty(STDERR_FILENO) != 0; }

int16_t VDualPrint(const char* format, va_list args) {
  if (gCapture != nullptr) {
    const std::string text = FormatToString(format, args);
    gCapture->out += text;
    return static_cast<int16_t>(text.size());
  }
  va_list copy;
  va_copy(copy, args);
  int written = std::vfprintf(stdout, format, args);
  if (!StdoutIsConsole()) {
    written = std::vfprintf(stderr, format, copy);
  }
  va_end(copy);
  return static_cast<int16_t>(written);
}

int16_t DualPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int16_t n = VDualPrint(format, args);
  va_end(args);
  return n;
}

void StdoutPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (gCapture != nullptr) {
    gCapture->out += FormatToString(format, args);
  } else {
    std::vfprintf(stdout, format, args);
  }
  va_end(args);
}

void StderrPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (gCapture != nullptr) {
    gCapture->err += FormatToString(format, args);
  } else {
    std::vfprintf(stderr, format, args);
  }
  va_end(args);
}

void ConsoleFlush() {
  std::fflush(stdout);
  std::fflush(stderr);
}

ConsoleCapture::ConsoleCapture() : previous_(gCapture) { gCapture = this; }
ConsoleCapture::~ConsoleCapture() { gCapture = previous_; }

} // namespace kovra
