// Console output, ErrExit and the range check. Where DualPrint sends its text
// (once on a terminal, mirrored on standard error when standard output is
// redirected) is shown by the golden transcripts, which run the real program
// both ways.
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "base/range.hpp"
#include "base/shutdown.hpp"
#include "base/tempfile.hpp"
#include "unit/scratch_dir.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace kovra {
namespace {

TEST(DualPrint, CaptureNestsAndLongTextsArePrintedWhole) {
  const std::string big(100000, 'x');
  ConsoleCapture outer;
  DualPrint("a");
  {
    ConsoleCapture inner;
    DualPrint("<%s>", big.c_str());
    StderrPrint("e");
    StdoutPrint("o");
    EXPECT_EQ(inner.out, "<" + big + ">o");
    EXPECT_EQ(inner.err, "e");
  }
  DualPrint("b");
  EXPECT_EQ(outer.out, "ab");
}

// A run ended by SIGTERM: what it printed reaches the log, and the temporary
// file it was writing is gone.
TEST(SignalCleanup, TerminationWritesTheLogAndDeletesTemporaryFiles) {
  test::ScratchDir dir;
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int log = open("log", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(log, STDOUT_FILENO);
    InitConsole();
    InstallSignalCleanup();
    TempFile tmp;
    if (!tmp.Create(".", ".tmp")) _exit(2);
    DualPrint("%s\n", tmp.path().c_str());
    raise(SIGTERM);
    _exit(3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  std::string path = test::ReadFile("log");
  ASSERT_FALSE(path.empty());
  path.pop_back();
  EXPECT_EQ(path.rfind("./kovra", 0), 0u) << path;
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(ErrExitTest, PrintsItsLinesAndThrowsTheCode) {
  const struct {
    int code;
    const char *t1, *t2;
    std::string expected;
  } rows[] = {
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

// Further range errors, with their messages, are in the option tests.
TEST(CheckRangeTest, BoundsAreInclusiveAndSigned) {
  {
    ConsoleCapture cap;
    CheckRange(1, 1, 7, "t");
    CheckRange(7, 1, 7, "t");
    CheckRange(0, 0, 0, "x");
    CheckRange(4294967295, -1, 0, "x"); // -1 as a signed 32-bit number
    EXPECT_EQ(cap.out, "");
  }
  // Compared as signed 32-bit numbers.
  ConsoleCapture cap;
  EXPECT_THROW(CheckRange(2147483648, 0, 2147483647, "lbl"), FatalExit);
  EXPECT_EQ(cap.out, "Error: Wrong value (-2147483648) for lbl !\n       It should be between 0 "
                     "and 2147483647. Confer the internal limits (-j).\n\nErrExit: 1\n");
}

} // namespace
} // namespace kovra
