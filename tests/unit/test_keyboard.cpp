// The key prompt and the ESC poll, on a pseudo-terminal standing in for the
// console.
#include "base/clock.hpp"
#include "base/console.hpp"
#include "base/keyboard.hpp"

#include "stdin_guard.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>

namespace kovra {
namespace {

TEST(WaitKey, OneKeyPerEscapeSequenceAndTheTerminalRestored) {
  StdinFromTerminal term;
  ASSERT_TRUE(term.ok());
  const tcflag_t before = term.LocalFlags();
  ASSERT_NE(before & ICANON, 0u);
  ConsoleCapture cap;
  // All typed ahead at once: a function key's sequence (parameters and all,
  // or the Linux console's ESC [ [) is one key, its final byte, and so is a
  // NUL with the code after it; the letter after each stays queued for the
  // next prompt, and a lone ESC is ESC.
  term.Type(std::string("\x1b[11~a") + "\x1bOPb" + "\x1b[1;5Cc" + "\x1b[[Ad" +
            std::string("\0;", 2) + "e\x1b");
  for (const int key :
       std::initializer_list<int>{'~', 'a', 'P', 'b', 'C', 'c', 'A', 'd', ';', 'e', KEY_ESC})
    EXPECT_EQ(WaitKey(false), key);
  EXPECT_EQ(term.LocalFlags(), before);
  term.Type("x");
  EXPECT_EQ(WaitKey(true), 0); // batch mode never waits
}

TEST(WaitKey, InterruptRestoresTheTerminal) {
  StdinFromTerminal term;
  ASSERT_TRUE(term.ok());
  const tcflag_t before = term.LocalFlags();
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    WaitKey(false);
    _exit(0);
  }
  ASSERT_GT(pid, 0);
  // Wait until the child has the terminal in raw mode, then interrupt it.
  for (int i = 0; i < 400 && (term.LocalFlags() & ICANON) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(term.LocalFlags() & ICANON, 0u);
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_EQ(term.LocalFlags(), before);
}

std::time_t gFakeNow = 0;
std::time_t FakeNow() { return gFakeNow; }

TEST(PollKey, LooksOnlyMoreThanFiveSecondsAfterTheLastLook) {
  ResetPollKeyForTest();
  SetClockForTest(FakeNow);
  StdinFromTerminal term;
  ASSERT_TRUE(term.ok());
  const struct {
    std::time_t now;
    const char* typed;
    int key;
  } steps[] = {
      {1000, "Q", 0},  // the first call only starts the clock
      {1005, "", 0},   // not later than 1005: the key stays queued
      {1006, "", 'q'}, // lower-cased
      {1011, "\x1b", 0}, {1012, "", KEY_ESC}, {1100, "", 0}, // nothing waiting: no block
  };
  ConsoleCapture cap;
  for (const auto& s : steps) {
    term.Type(s.typed);
    gFakeNow = s.now;
    EXPECT_EQ(PollKey(), s.key) << s.now;
  }
  EXPECT_EQ(cap.out + cap.err, ""); // the poll never prompts
  SetClockForTest(nullptr);
  ResetPollKeyForTest();
}

} // namespace
} // namespace kovra
