// Golden-transcript runner: runs the built kovra for every tests/golden/*.case
// and compares its exit status, standard output and standard error (and any
// files it was asked to keep) with the expected files beside the case.
//
// A case file holds "key: value" lines ("#" lines are comments):
//   args:   the command line after the program name; "..." groups blanks,
//           \xNN, \t, \n and \\ are escapes. Several args lines run one
//           after another in the same directory (a file written, then read
//           back); their outputs follow each other and NAME.status holds one
//           status per run
//   copy:   SRC [DST]  a file of the repository copied into the scratch
//           directory the program runs in (DST defaults to SRC's base name;
//           DST may name a subdirectory, which is created)
//   write:  DST TEXT   a file written into the scratch directory (escapes as in args)
//   stdin:  FILE       standard input read from a file of the scratch directory
//                      (otherwise /dev/null)
//   pipe:   yes        standard input is a pipe that the runner fills with
//                      the stdin FILE: a stream that can be read only once
//   tty:    yes        standard output (and input) on a pseudo-terminal
//   keys:   TEXT       bytes typed on the terminal (escapes as in args)
//   keep:   FILE       a file the run must leave, compared with NAME.files/FILE
//   absent: FILE       a file the run must not leave
//   stdout: PATH       standard output goes to PATH (a device such as
//                      /dev/full) instead of being captured
//   merge:  yes        standard error goes where standard output goes
//   fifo:   NAME       a named pipe nobody writes to (a read of it blocks)
//   term:   MS         SIGTERM is sent MS milliseconds after the start
// Expected results: NAME.status, NAME.stdout, NAME.stderr. Dates, times,
// speeds and temporary names are masked before comparing. Run with
// KOVRA_UPDATE_GOLDEN=1 to rewrite the expected files after a reviewed change.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Case {
  std::string name;
  std::vector<std::vector<std::string>> runs;
  std::vector<std::pair<std::string, std::string>> copies;
  std::vector<std::pair<std::string, std::string>> writes;
  std::string stdinFile;
  bool pipe = false;
  bool tty = false;
  std::string keys;
  std::vector<std::string> keep;
  std::vector<std::string> absent;
  std::string stdoutPath;
  bool merge = false;
  std::vector<std::string> fifos;
  int termAfterMs = -1;
};

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    if (c == 'n')
      out += '\n';
    else if (c == 't')
      out += '\t';
    else if (c == 'r')
      out += '\r';
    else if (c == 'e')
      out += '\x1b';
    else if (c == 'x' && i + 2 < s.size() + 1) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else
      out += c;
  }
  return out;
}

std::vector<std::string> SplitArgs(const std::string& line) {
  std::vector<std::string> args;
  std::string cur;
  bool inQuotes = false;
  bool have = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      inQuotes = !inQuotes;
      have = true;
    } else if (c == ' ' && !inQuotes) {
      if (have) args.push_back(Unescape(cur));
      cur.clear();
      have = false;
    } else {
      if (c == '\\' && i + 1 < line.size()) cur += line[i++];
      cur += line[i];
      have = true;
    }
  }
  if (have) args.push_back(Unescape(cur));
  return args;
}

Case ParseCase(const fs::path& file) {
  Case c;
  c.name = file.stem().string();
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string key = line.substr(0, colon);
    std::string value = line.substr(colon + 1);
    if (!value.empty() && value[0] == ' ') value.erase(0, 1);
    if (key == "args") {
      c.runs.push_back(SplitArgs(value));
    } else if (key == "copy") {
      const auto parts = SplitArgs(value);
      if (parts.empty()) continue;
      c.copies.emplace_back(parts[0],
                            parts.size() > 1 ? parts[1] : fs::path(parts[0]).filename().string());
    } else if (key == "write") {
      const auto sp = value.find(' ');
      c.writes.emplace_back(value.substr(0, sp),
                            sp == std::string::npos ? "" : Unescape(value.substr(sp + 1)));
    } else if (key == "stdin") {
      c.stdinFile = value;
    } else if (key == "pipe") {
      c.pipe = value == "yes";
    } else if (key == "tty") {
      c.tty = value == "yes";
    } else if (key == "keys") {
      c.keys = Unescape(value);
    } else if (key == "keep") {
      c.keep.push_back(value);
    } else if (key == "absent") {
      c.absent.push_back(value);
    } else if (key == "stdout") {
      c.stdoutPath = value;
    } else if (key == "merge") {
      c.merge = value == "yes";
    } else if (key == "fifo") {
      c.fifos.push_back(value);
    } else if (key == "term") {
      c.termAfterMs = std::stoi(value);
    }
  }
  return c;
}

std::vector<std::string> ListCases() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(KOVRA_GOLDEN_DIR))
    if (e.path().extension() == ".case") names.push_back(e.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Dates, elapsed times, speeds, estimates and temporary names change from run
// to run; everything else must match byte for byte.
std::string Mask(const std::string& text) {
  static const std::vector<std::pair<std::regex, std::string>> kRules = [] {
    std::vector<std::pair<std::regex, std::string>> r;
    r.emplace_back(
        std::regex(
            "(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
            "[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}"),
        "<DATE>");
    r.emplace_back(std::regex("\\([0-9]+ seconds\\)"), "(<SECS> seconds)");
    r.emplace_back(std::regex("Time       : [0-9]+ seconds"), "Time       : <SECS> seconds");
    r.emplace_back(std::regex("\"seconds\":[0-9.eE+-]+"), "\"seconds\":<SECS>");
    r.emplace_back(std::regex("would take about [^;]+;"), "would take about <ESTIMATE>;");
    // Progress lines: rank, elapsed m:ss, speed ("-" for counts beyond 64
    // bits), estimated m:ss.
    r.emplace_back(std::regex("([0-9]+) +[0-9]+:[0-9]{2} +(-?[0-9]+|-)  +[0-9]+:[0-9]{2}\n"),
                   "$1 <ELAPSED> <SPEED> <ESTIMATE>\n");
    r.emplace_back(std::regex("/[A-Za-z0-9_./-]*kovra[A-Za-z0-9_]*\\.tmp[A-Za-z0-9]*"),
                   "<TMPFILE>");
    return r;
  }();
  std::string out = text;
  for (const auto& [re, repl] : kRules) out = std::regex_replace(out, re, repl);
  return out;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& p, const std::string& data) {
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  out << data;
}

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// Reads the terminal until the child's side closes. A child that waits for a
// key that never comes would keep it open for ever, so after the same deadline
// as WaitChild the child is killed, which closes its side.
std::string Drain(int fd, pid_t pid) {
  std::string data;
  char buf[4096];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
  for (;;) {
    pollfd pfd{fd, POLLIN, 0};
    const int ready = poll(&pfd, 1, 100);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) {
      if (std::chrono::steady_clock::now() > deadline) kill(pid, SIGKILL);
      continue;
    }
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      data.append(buf, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break; // EOF, or EIO once the terminal's last writer is gone
  }
  return data;
}

[[noreturn]] void ExecKovra(const fs::path& dir, const std::vector<std::string>& args) {
  if (chdir(dir.c_str()) != 0) _exit(126);
  std::vector<char*> argv;
  static std::string prog = KOVRA_BINARY;
  argv.push_back(prog.data());
  std::vector<std::string> copy = args;
  for (auto& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  execv(prog.c_str(), argv.data());
  _exit(127);
}

int WaitChild(pid_t pid) {
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
  for (;;) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -2;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

Result RunPlain(const fs::path& dir, const fs::path& io, const Case& c,
                const std::vector<std::string>& args) {
  const bool captured = c.stdoutPath.empty();
  const fs::path outPath = captured ? io / "stdout" : fs::path(c.stdoutPath);
  const fs::path errPath = io / "stderr";
  const fs::path inPath = c.stdinFile.empty() ? fs::path("/dev/null") : dir / c.stdinFile;
  int feed[2] = {-1, -1};
  if (c.pipe && ::pipe(feed) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    if (c.pipe) close(feed[1]);
    const int in = c.pipe ? feed[0] : open(inPath.c_str(), O_RDONLY);
    const int out = captured ? open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)
                             : open(outPath.c_str(), O_WRONLY);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(125);
    dup2(in, 0);
    dup2(out, 1);
    dup2(c.merge ? out : err, 2);
    ExecKovra(dir, args);
  }
  if (c.pipe) {
    // Written while the program reads; it may stop reading early.
    close(feed[0]);
    std::signal(SIGPIPE, SIG_IGN);
    const std::string bytes = ReadFile(inPath);
    for (size_t at = 0; at < bytes.size();) {
      const ssize_t n = write(feed[1], bytes.data() + at, bytes.size() - at);
      if (n <= 0) break;
      at += static_cast<size_t>(n);
    }
    close(feed[1]);
  }
  Result r;
  if (c.termAfterMs >= 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(c.termAfterMs));
    kill(pid, SIGTERM);
  }
  r.status = WaitChild(pid);
  if (captured) r.out = ReadFile(outPath);
  r.err = ReadFile(errPath);
  return r;
}

// Standard input and output on a pseudo-terminal, standard error in a file.
// Echo and output processing are off so the bytes arrive as written.
Result RunTty(const fs::path& dir, const fs::path& io, const Case& c,
              const std::vector<std::string>& args) {
  const fs::path errPath = io / "stderr";
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    termios tio{};
    tcgetattr(0, &tio);
    tio.c_oflag &= static_cast<tcflag_t>(~OPOST);
    tio.c_lflag &= static_cast<tcflag_t>(~ECHO);
    tcsetattr(0, TCSANOW, &tio);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err < 0) _exit(125);
    dup2(err, 2);
    ExecKovra(dir, args);
  }
  Result r;
  if (!c.keys.empty()) {
    // Give the child time to set up the terminal before the keys arrive.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (write(master, c.keys.data(), c.keys.size()) < 0) r.status = -3;
  }
  r.out = Drain(master, pid);
  r.status = WaitChild(pid);
  close(master);
  r.err = ReadFile(errPath);
  return r;
}

class Golden : public ::testing::TestWithParam<std::string> {};

TEST_P(Golden, Transcript) {
  const fs::path golden = KOVRA_GOLDEN_DIR;
  const Case c = ParseCase(golden / (GetParam() + ".case"));

  char tmpl[] = "/tmp/kovra-golden-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const fs::path root = tmpl;
  const fs::path dir = root / "work";
  const fs::path io = root / "io";
  fs::create_directories(dir);
  fs::create_directories(io);
  for (const auto& [src, dst] : c.copies) {
    fs::create_directories((dir / dst).parent_path());
    fs::copy_file(fs::path(KOVRA_SOURCE_DIR) / src, dir / dst,
                  fs::copy_options::overwrite_existing);
  }
  for (const auto& [dst, text] : c.writes) WriteFile(dir / dst, text);
  for (const auto& name : c.fifos) ASSERT_EQ(mkfifo((dir / name).c_str(), 0600), 0) << name;

  std::string status, out, err;
  for (const auto& args : c.runs) {
    const Result r = c.tty ? RunTty(dir, io, c, args) : RunPlain(dir, io, c, args);
    status += std::to_string(r.status) + "\n";
    out += Mask(r.out);
    err += Mask(r.err);
  }
  const std::string base = (golden / c.name).string();

  if (std::getenv("KOVRA_UPDATE_GOLDEN") != nullptr) {
    WriteFile(base + ".status", status);
    WriteFile(base + ".stdout", out);
    WriteFile(base + ".stderr", err);
    for (const auto& f : c.keep)
      if (fs::exists(dir / f)) WriteFile(base + ".files/" + f, Mask(ReadFile(dir / f)));
  } else {
    EXPECT_EQ(status, ReadFile(base + ".status")) << "exit status";
    EXPECT_EQ(ReadFile(base + ".stdout"), out) << "standard output";
    EXPECT_EQ(ReadFile(base + ".stderr"), err) << "standard error";
    for (const auto& f : c.keep) {
      ASSERT_TRUE(fs::exists(dir / f)) << "missing file " << f;
      EXPECT_EQ(ReadFile(base + ".files/" + f), Mask(ReadFile(dir / f))) << "file " << f;
    }
  }
  for (const auto& f : c.absent) EXPECT_FALSE(fs::exists(dir / f)) << "unexpected file " << f;
  fs::remove_all(root);
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, ::testing::ValuesIn(ListCases()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                           std::string n = param.param;
                           for (char& ch : n)
                             if (std::isalnum(static_cast<unsigned char>(ch)) == 0) ch = '_';
                           return n;
                         });

} // namespace
