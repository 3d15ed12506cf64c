// Standard input replaced for the lifetime of a guard: by /dev/null, so that a
// key prompt reached by a test fails at once instead of waiting on the
// developer's terminal; or (with standard output and error) by the slave side
// of a fresh pseudo-terminal, so that what the test types on the master side
// arrives as keys.
#pragma once

#include "base/console.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <pty.h>
#include <string>
#include <termios.h>
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

// Standard input, output and error on one pseudo-terminal, as when a user
// runs the program at a console (output is captured by ConsoleCapture).
class StdinFromTerminal {
public:
  StdinFromTerminal() {
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return;
    std::fflush(nullptr);
    for (int fd = 0; fd <= 2; ++fd) {
      saved_[fd] = dup(fd);
      dup2(slave_, fd);
    }
    InitConsole();
  }
  ~StdinFromTerminal() {
    std::fflush(nullptr);
    for (int fd = 0; fd <= 2; ++fd) {
      if (saved_[fd] < 0) continue;
      dup2(saved_[fd], fd);
      close(saved_[fd]);
    }
    InitConsole();
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
  }
  StdinFromTerminal(const StdinFromTerminal&) = delete;
  StdinFromTerminal& operator=(const StdinFromTerminal&) = delete;

  bool ok() const { return saved_[0] >= 0; }
  void Type(const std::string& keys) const {
    EXPECT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  tcflag_t LocalFlags() const {
    termios t{};
    tcgetattr(slave_, &t);
    return t.c_lflag;
  }

private:
  int master_ = -1;
  int slave_ = -1;
  int saved_[3] = {-1, -1, -1};
};

} // namespace kovra
