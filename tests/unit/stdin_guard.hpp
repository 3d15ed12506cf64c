// Standard input replaced for the lifetime of a guard: by /dev/null, so that a
// key prompt reached by a test fails at once instead of waiting on the
// developer's terminal; or by the slave side of a fresh pseudo-terminal, so
// that what the test types on the master side arrives as keys.
#pragma once

#include <gtest/gtest.h>

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

class StdinFromTerminal {
public:
  StdinFromTerminal() {
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return;
    saved_ = dup(STDIN_FILENO);
    dup2(slave_, STDIN_FILENO);
  }
  ~StdinFromTerminal() {
    if (saved_ >= 0) {
      dup2(saved_, STDIN_FILENO);
      close(saved_);
    }
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
  }
  StdinFromTerminal(const StdinFromTerminal&) = delete;
  StdinFromTerminal& operator=(const StdinFromTerminal&) = delete;

  bool ok() const { return saved_ >= 0; }
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
  int saved_ = -1;
};

} // namespace kovra
