// One call of the library facade: its log goes where the caller asked, and
// a fatal exit of the code below it becomes the call's Error, with the
// message that code printed.
#pragma once

#include "base/console.hpp"
#include "base/fatal.hpp"
#include "kovra/kovra.hpp"

#include <new>
#include <string>
#include <string_view>

namespace kovra::api {

class Call {
public:
  explicit Call(const Log& log);
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  // Runs fn and returns its value, or the Error of a fatal exit on the way.
  template <class T, class Fn>
  Result<T> Run(Fn&& fn) {
    try {
      return Result<T>(fn());
    } catch (const FatalExit& e) {
      return Fail(e.code);
    } catch (const std::bad_alloc&) {
      return Fail(13);
    }
  }

  // The Error of status `status`: the "Err" lines the call printed, or its
  // last line when it printed none of them.
  Error Fail(int status) const;

private:
  void Take(std::string_view text);

  Log log_;
  std::string line_;     // the line printed so far
  std::string errLines_; // the lines starting with "Err"
  std::string lastLine_; // the last line printed that holds more than blanks
  ConsoleTap tap_;
};

} // namespace kovra::api
