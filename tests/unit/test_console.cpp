// A run ended by a signal. (What the console prints, and where, is shown by
// the golden transcripts, which run the real program.)
#include "base/console.hpp"
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

} // namespace
} // namespace kovra
