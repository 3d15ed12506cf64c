// Writing a design to a new file: it appears completely or not at all, and
// keeps the permissions of the file it replaces. The golden runs show the
// names, -e, -O, -D, -p and the compressed writers through the program.
#include "output/newfile.hpp"

#include "base/console.hpp"
#include "base/fatal.hpp"
#include "compressed_samples.hpp"
#include "output/safefile.hpp"
#include "scratch_dir.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

namespace kovra {
namespace {

namespace fs = std::filesystem;
using test::Listing;
using Names = std::set<std::string>;

struct NewFile : ::testing::Test {
  ~NewFile() override { SetPendingStreamHookForTest(nullptr); }
  test::ScratchDir dir;
};

// A C(49,6,3,6,1) design of 168 blocks; only their number counts here.
Sys Sample() {
  return samples::MakeDesign(49, 6, samples::BlockList(168, {1, 2, 3, 4, 5, 6}), 3, 6);
}

std::string gOut; // what the last Create printed

int Create(Sys& s, uint8_t method = 0) {
  NewFileRequest req;
  req.target = NewFileTarget(s, true, false);
  req.method = method;
  ConsoleCapture cap;
  gOut.clear();
  const int result = CreateNewSysFile(s, req);
  gOut = cap.out;
  return result;
}

// Streams that fail: one on a full device, one whose close fails, and one
// whose opening ends the program (ErrExit throws).
std::FILE* FullDevice(const char*) { return std::fopen("/dev/full", "w"); }

std::FILE* FailingClose(const char*) {
  cookie_io_functions_t io{};
  io.write = [](void*, const char*, size_t n) -> ssize_t { return static_cast<ssize_t>(n); };
  io.close = [](void*) -> int {
    errno = EIO;
    return -1;
  };
  return ::fopencookie(nullptr, "w", io);
}

std::FILE* Fatal(const char*) { throw FatalExit{99}; }

// Written, or (whatever way the stream fails) nothing at all: no temporary
// file is left beside the target, and a stored file (as under -O) is replaced
// keeping its permissions, or kept.
TEST_F(NewFile, AppearsCompletelyOrNotAtAll) {
  const std::pair<PendingStreamHook, std::string> hooks[] = {
      {FullDevice, "write: No space left on device"},
      {FailingClose, "close: Input/output error"},
      {Fatal, ""},
      {nullptr, ""}};
  for (const auto& [hook, why] : hooks) {
    SetPendingStreamHookForTest(hook);
    for (const bool stored : {false, true}) {
      fs::remove("4901683a.616");
      if (stored) test::WriteFile("4901683a.616", "stored\n");
      ::chmod("4901683a.616", 0640);
      Sys s = Sample();
      const bool written = hook == nullptr;
      if (hook == Fatal) {
        EXPECT_THROW(Create(s), FatalExit);
      } else {
        EXPECT_EQ(Create(s), written ? CREATE_FILE : CREATE_NOTHING);
        const std::string failed = "Err: Writing <4901683a.616> failed (" + why + ")";
        EXPECT_EQ(gOut, written ? "" : failed + "; no file was changed.\n");
      }
      EXPECT_EQ(Listing("."), stored || written ? Names{"4901683a.616"} : Names{});
      const std::string text = test::ReadFile("4901683a.616");
      EXPECT_EQ(written ? text.substr(0, 4) : text, written ? "#ID " : (stored ? "stored\n" : ""));
      struct stat st {};
      EXPECT_TRUE(!stored || (::stat("4901683a.616", &st) == 0 && (st.st_mode & 07777) == 0640));
    }
  }
  // A point above v has no rank: the binary writer fails.
  fs::remove("4901683a.616");
  Sys bad = Sample();
  BlockAt(bad, 1)[5] = 50;
  EXPECT_EQ(Create(bad, 2), CREATE_NOTHING);
  EXPECT_TRUE(Listing(".").empty());
}

} // namespace
} // namespace kovra
