// One call of the library facade.
#include "api/call.hpp"

namespace kovra::api {

Call::Call(const Log& log)
    : log_(log), tap_([this](std::string_view text) { Take(text); }, log.console) {}

void Call::Take(std::string_view text) {
  if (log_.to) log_.to(text);
  for (const char c : text) {
    if (c != '\n') {
      line_ += c;
      continue;
    }
    const size_t start = line_.find_first_not_of("\r ");
    if (start != std::string::npos) {
      lastLine_ = line_.substr(start);
      // The lines that say what is wrong; the fatal exit's own line only
      // when there is none.
      if (line_.compare(start, 3, "Err") == 0 && line_.compare(start, 8, "ErrExit:") != 0) {
        if (!errLines_.empty()) errLines_ += '\n';
        errLines_ += lastLine_;
      }
    }
    line_.clear();
  }
}

Error Call::Fail(int status) const {
  Error e;
  e.status = status;
  e.message = !errLines_.empty() ? errLines_ : lastLine_;
  if (e.message.empty()) e.message = "error " + std::to_string(status);
  return e;
}

} // namespace kovra::api
