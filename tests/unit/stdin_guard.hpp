// Standard input on /dev/null for the lifetime of a guard, so that a key
// prompt reached by a test fails at once instead of waiting on the
// developer's terminal.
#pragma once

#include <fcntl.h>
#include <unistd.h>

namespace kovra {

class StdinFromDevNull {
public:
  StdinFromDevNull() : saved_(dup(STDIN_FILENO)) {
    const int fd = open("/dev/null", O_RDONLY);
    dup2(fd, STDIN_FILENO);
    close(fd);
  }
  ~StdinFromDevNull() {
    dup2(saved_, STDIN_FILENO);
    close(saved_);
  }
  StdinFromDevNull(const StdinFromDevNull&) = delete;
  StdinFromDevNull& operator=(const StdinFromDevNull&) = delete;

private:
  int saved_;
};

} // namespace kovra
