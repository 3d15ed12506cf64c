// Console output: DualPrint on a redirected and on a terminal standard output,
// the single-stream printers, the capture used by the tests, ErrExit and the
// range check.
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "base/range.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <pty.h>
#include <sstream>
#include <string>
#include <unistd.h>

namespace kovra {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Points standard output at `outFd` and standard error at a fresh file for
// its lifetime; the real streams come back in the destructor.
class Redirect {
public:
  explicit Redirect(int outFd) {
    std::fflush(stdout);
    std::fflush(stderr);
    savedOut_ = dup(STDOUT_FILENO);
    savedErr_ = dup(STDERR_FILENO);
    char name[] = "/tmp/kovra-console-XXXXXX";
    const int errFd = mkstemp(name);
    errPath_ = name;
    dup2(outFd, STDOUT_FILENO);
    dup2(errFd, STDERR_FILENO);
    close(errFd);
  }
  ~Redirect() {
    Restore();
    std::remove(errPath_.c_str());
  }
  Redirect(const Redirect&) = delete;
  Redirect& operator=(const Redirect&) = delete;

  // Flushes and puts the real streams back; returns what reached standard error.
  std::string Restore() {
    if (savedOut_ >= 0) {
      std::fflush(stdout);
      std::fflush(stderr);
      dup2(savedOut_, STDOUT_FILENO);
      dup2(savedErr_, STDERR_FILENO);
      close(savedOut_);
      close(savedErr_);
      savedOut_ = savedErr_ = -1;
    }
    return ReadAll(errPath_);
  }

private:
  int savedOut_ = -1;
  int savedErr_ = -1;
  std::string errPath_;
};

TEST(DualPrint, RedirectedOutputIsMirroredOnStandardError) {
  char name[] = "/tmp/kovra-stdout-XXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  std::string err;
  int16_t n = 0;
  {
    Redirect r(fd);
    EXPECT_FALSE(StdoutIsConsole());
    n = DualPrint("\rline %d of %s\n", 1, "two");
    StdoutPrint("dump only\n");
    StderrPrint("prompt only");
    err = r.Restore();
  }
  close(fd);
  EXPECT_EQ(ReadAll(name), "\rline 1 of two\ndump only\n");
  EXPECT_EQ(err, "\rline 1 of two\nprompt only");
  EXPECT_EQ(n, 15);
  std::remove(name);
}

TEST(DualPrint, TerminalOutputIsPrintedOnce) {
  int master = -1;
  int slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  std::string err;
  {
    Redirect r(slave);
    EXPECT_TRUE(StdoutIsConsole());
    DualPrint("on the terminal\n");
    err = r.Restore();
  }
  close(slave);
  EXPECT_EQ(err, "");
  char buf[256] = {};
  const ssize_t got = read(master, buf, sizeof buf - 1);
  close(master);
  ASSERT_GT(got, 0);
  // The terminal's output processing turns "\n" into "\r\n".
  EXPECT_EQ(std::string(buf, static_cast<size_t>(got)), "on the terminal\r\n");
}

TEST(DualPrint, CaptureRecordsEachStreamOnceAndNests) {
  ConsoleCapture outer;
  DualPrint("a%s", "b");
  {
    ConsoleCapture inner;
    EXPECT_EQ(DualPrint("%05.1f|%-3hu|%lu", 2.5, static_cast<unsigned short>(7), 8ul), 11);
    StderrPrint("e");
    StdoutPrint("o");
    EXPECT_EQ(inner.out, "002.5|7  |8o");
    EXPECT_EQ(inner.err, "e");
  }
  DualPrint("%s", "");
  EXPECT_EQ(outer.out, "ab");
  EXPECT_EQ(outer.err, "");
}

TEST(DualPrint, LongTextsArePrintedWhole) {
  const std::string big(100000, 'x');
  ConsoleCapture cap;
  DualPrint("<%s>", big.c_str());
  EXPECT_EQ(cap.out, "<" + big + ">");
}

TEST(ErrExitTest, PrintsItsLinesAndThrowsTheCode) {
  struct Row {
    int code;
    const char *t1, *t2;
    std::string expected;
  };
  const Row rows[] = {
      {2, "Err in SysData or SysHdr", nullptr, "\nErrExit: 2 <Err in SysData or SysHdr>\n"},
      {21, "ToSysdir and FName3 xor...\n", nullptr,
       "\nErrExit: 21 <ToSysdir and FName3 xor...\n>\n"},
      {3, "AllocErr: x.616", "", "\nErrExit: 3 <AllocErr: x.616>\n"},
      {13, "", "second", "\nErrExit: 13 <second>\n"},
      {7, "one", "two", "\nErrExit: 7 <one> <two>\n"},
      {1, nullptr, nullptr, "\nErrExit: 1\n"},
      {0, "ignored", nullptr, "\n"},
  };
  for (const auto& r : rows) {
    ConsoleCapture cap;
    try {
      ErrExit(r.code, r.t1, r.t2);
      ADD_FAILURE() << "ErrExit returned";
    } catch (const FatalExit& e) {
      EXPECT_EQ(e.code, r.code);
    }
    EXPECT_EQ(cap.out, r.expected);
  }
}

TEST(CheckRangeTest, BoundsAreInclusiveAndSigned) {
  {
    ConsoleCapture cap;
    CheckRange(1, 1, 7, "t");
    CheckRange(7, 1, 7, "t");
    CheckRange(0, 0, 0, "x");
    EXPECT_EQ(cap.out, "");
  }
  struct Row {
    int64_t value, lo, hi;
    std::string shown;
  };
  const Row rows[] = {{8, 1, 7, "8"},
                      {0, 1, 7, "0"},
                      {4294967295, 0, 25, "-1"},
                      {2147483648, 0, 2147483647, "-2147483648"}};
  for (const auto& r : rows) {
    ConsoleCapture cap;
    EXPECT_THROW(CheckRange(r.value, r.lo, r.hi, "lbl"), FatalExit);
    EXPECT_EQ(cap.out, "Error: Wrong value (" + r.shown +
                           ") for lbl !\n       It should be between " + std::to_string(r.lo) +
                           " and " + std::to_string(r.hi) +
                           ". Confer the internal limits (-j).\n\nErrExit: 1\n");
  }
}

} // namespace
} // namespace kovra
