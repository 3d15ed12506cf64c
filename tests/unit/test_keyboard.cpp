// The key prompt and the ESC poll, on a pseudo-terminal standing in for the
// console, and without any terminal at all.
#include "base/clock.hpp"
#include "base/console.hpp"
#include "base/keyboard.hpp"

#include "stdin_guard.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace kovra {
namespace {

// Standard input on the slave side of a fresh pseudo-terminal; what the test
// writes to the master arrives as typed keys.
class FakeTerminal {
public:
  FakeTerminal() {
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return;
    saved_ = dup(STDIN_FILENO);
    dup2(slave_, STDIN_FILENO);
  }
  ~FakeTerminal() {
    if (saved_ >= 0) {
      dup2(saved_, STDIN_FILENO);
      close(saved_);
    }
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
  }
  FakeTerminal(const FakeTerminal&) = delete;
  FakeTerminal& operator=(const FakeTerminal&) = delete;

  bool ok() const { return saved_ >= 0; }
  void Type(const std::string& keys) const {
    ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  tcflag_t LocalFlags() const {
    termios t{};
    tcgetattr(slave_, &t);
    return t.c_lflag;
  }
  int slave() const { return slave_; }

private:
  int master_ = -1;
  int slave_ = -1;
  int saved_ = -1;
};

constexpr const char* kPromptAndErase = "\rPress a key...\r               \r";

TEST(WaitKey, BatchModePrintsOnlyALineEnd) {
  FakeTerminal term;
  ASSERT_TRUE(term.ok());
  term.Type("x"); // must stay unread
  ConsoleCapture cap;
  EXPECT_EQ(WaitKey(true), 0);
  EXPECT_EQ(cap.out, "\n");
  EXPECT_EQ(cap.err, "");
  EXPECT_EQ(WaitKey(false), 'x');
}

TEST(WaitKey, WithoutATerminalFailsAtOnce) {
  StdinFromDevNull guard;
  ConsoleCapture cap;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitKey(false), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(cap.out, "\n");
  EXPECT_EQ(cap.err, kPromptAndErase);
}

TEST(WaitKey, ReadsOneKeyAndRestoresTheTerminal) {
  FakeTerminal term;
  ASSERT_TRUE(term.ok());
  const tcflag_t before = term.LocalFlags();
  ASSERT_NE(before & ICANON, 0u);
  ASSERT_NE(before & ECHO, 0u);
  term.Type("q");
  ConsoleCapture cap;
  EXPECT_EQ(WaitKey(false), 'q'); // no line end needed
  EXPECT_EQ(cap.err, kPromptAndErase);
  EXPECT_EQ(term.LocalFlags(), before);
}

TEST(WaitKey, FunctionKeysCountAsOneKey) {
  FakeTerminal term;
  ASSERT_TRUE(term.ok());
  ConsoleCapture cap;
  // All typed ahead at once: each sequence is one key, the letters after it
  // stay queued for the next prompt.
  term.Type(std::string("\x1b[11~a") + "\x1bOPb" + "\x1b[1;5Cc" + "\x1b[[Ad" +
            std::string("\0;", 2) + "e");
  const int expected[] = {'~', 'a', 'P', 'b', 'C', 'c', 'A', 'd', ';', 'e'};
  for (const int key : expected) EXPECT_EQ(WaitKey(false), key);
}

TEST(WaitKey, LoneEscapeIsEscape) {
  FakeTerminal term;
  ASSERT_TRUE(term.ok());
  ConsoleCapture cap;
  term.Type("\x1b");
  EXPECT_EQ(WaitKey(false), KEY_ESC);
}

TEST(WaitKey, InterruptRestoresTheTerminal) {
  FakeTerminal term;
  ASSERT_TRUE(term.ok());
  const tcflag_t before = term.LocalFlags();
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDERR_FILENO);
    dup2(null, STDOUT_FILENO);
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
  EXPECT_TRUE(WIFSIGNALED(status));
  if (WIFSIGNALED(status)) {
    EXPECT_EQ(WTERMSIG(status), SIGINT);
  }
  EXPECT_EQ(term.LocalFlags(), before);
}

std::time_t gFakeNow = 0;
std::time_t FakeNow() { return gFakeNow; }

class PollKeyTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetPollKeyForTest();
    SetClockForTest(FakeNow);
  }
  void TearDown() override {
    SetClockForTest(nullptr);
    ResetPollKeyForTest();
  }
};

TEST_F(PollKeyTest, LooksOnlyMoreThanFiveSecondsAfterTheLastLook) {
  FakeTerminal term;
  ASSERT_TRUE(term.ok());
  ConsoleCapture cap;
  gFakeNow = 1000;
  term.Type("Q");
  EXPECT_EQ(PollKey(), 0); // first call: only starts the clock
  gFakeNow = 1005;
  EXPECT_EQ(PollKey(), 0); // not later than 1005: the key stays queued
  gFakeNow = 1006;
  EXPECT_EQ(PollKey(), 'q'); // lower-cased
  term.Type("\x1b");
  gFakeNow = 1011;
  EXPECT_EQ(PollKey(), 0);
  gFakeNow = 1012;
  EXPECT_EQ(PollKey(), KEY_ESC);
  gFakeNow = 1100;
  EXPECT_EQ(PollKey(), 0); // nothing waiting: no block
  term.Type("7");
  gFakeNow = 1103;
  EXPECT_EQ(PollKey(), 0);
  gFakeNow = 1106;
  EXPECT_EQ(PollKey(), '7');
  EXPECT_EQ(cap.out, "");
  EXPECT_EQ(cap.err, ""); // the poll never prompts
}

TEST_F(PollKeyTest, WithoutATerminalNeverFindsAKey) {
  StdinFromDevNull guard;
  gFakeNow = 50;
  EXPECT_EQ(PollKey(), 0);
  gFakeNow = 500;
  EXPECT_EQ(PollKey(), 0);
}

} // namespace
} // namespace kovra
