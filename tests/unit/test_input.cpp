// Input read while it is parsed: a stream gives the pieces the whole text in
// memory gives, across every refill of its window, from a file and from a
// pipe; a line beyond the bound ends the reading with the file and line
// named; a pipe goes back only within its window, or over what standard
// input keeps for a second look.
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "base/input.hpp"
#include "formats/textfmt.hpp"
#include "scratch_dir.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kovra {
namespace {

// Every piece as "line:column:text|", then the count of line ends.
std::string Pieces(TextCursor text) {
  std::string out;
  TextPiece piece;
  while (NextTextPiece(text, true, piece)) {
    out += std::to_string(piece.line) + ":" + std::to_string(piece.column) + ":";
    out.append(piece.begin, piece.end).push_back('|');
  }
  return out + std::to_string(text.lineEnds);
}

// Opens `path` as a stream, writing `text` into it first when it is a FIFO.
struct Opened {
  InputStream input;
  std::thread writer;
  Opened(const char* path, const std::string& text, bool fifo) {
    if (fifo) writer = std::thread([path, &text] { test::WriteFile(path, text); });
    std::string reason;
    EXPECT_TRUE(input.Open(path, reason)) << reason;
  }
  ~Opened() {
    if (writer.joinable()) writer.join();
  }
};

TEST(InputStream, GivesThePiecesOfTheWholeText) {
  test::ScratchDir dir;
  std::mt19937 rng(2112);
  const std::string parts[] = {"1 2 3", "#c",       ";",    "\r",
                               "\n",    "\n",       "\r\n", std::string(1, '\0'),
                               " ",     "ID 7 1 3", "\t",   "45"};
  std::string text;
  while (text.size() < 1500000) {
    text += rng() % 50 == 0 ? std::string(rng() % 3000, "x#"[rng() % 2]) : parts[rng() % 12];
  }
  const std::string whole = Pieces(CursorOver(text.data(), text.size()));
  ASSERT_EQ(::mkfifo("fifo", 0600), 0);
  test::WriteFile("file", text);
  for (const bool fifo : {false, true}) {
    Opened in(fifo ? "fifo" : "file", text, fifo);
    EXPECT_EQ(Pieces(CursorOn(in.input)), whole) << fifo;
  }
}

TEST(InputStream, ALineBeyondTheBoundEndsTheReading) {
  test::ScratchDir dir;
  const std::string longest(MAX_LINE_BYTES, '7');
  for (const std::string& third : {"#" + longest, std::string(1, '\0') + longest, longest + "7"}) {
    test::WriteFile("f.txt", "1 2 3\n\n" + third + "\n4 5 6\n");
    InputStream in;
    std::string reason;
    ASSERT_TRUE(in.Open("f.txt", reason));
    ConsoleCapture cap;
    try {
      Pieces(CursorOn(in));
      ADD_FAILURE() << "read to the end";
    } catch (const FatalExit& e) {
      EXPECT_EQ(e.code, 2);
    }
    EXPECT_EQ(cap.out.substr(0, 54), "Err: <f.txt> line 3 is longer than 65536 bytes; no des");
  }
  // The longest line a file may have, a comment as well, reads.
  test::WriteFile("f.txt", "1 2 3\n" + longest.substr(1) + "\n#" + longest.substr(2) + "\r\n4\n");
  InputStream in;
  std::string reason;
  ASSERT_TRUE(in.Open("f.txt", reason));
  EXPECT_EQ(Pieces(CursorOn(in)).substr(0, 14), "1:0:1 2 3\n|2:0");
}

// A mark far behind: a file seeks back to it, a pipe that has moved on
// cannot; a mark still in the window serves both.
TEST(InputStream, GoesBackWhereItCan) {
  test::ScratchDir dir;
  std::string text;
  for (int i = 0; i < 200000; ++i) text += std::to_string(i) + "\n";
  ASSERT_EQ(::mkfifo("fifo", 0600), 0);
  test::WriteFile("file", text);
  for (const bool fifo : {false, true}) {
    Opened in(fifo ? "fifo" : "file", text, fifo);
    TextCursor cursor = CursorOn(in.input);
    TextPiece piece;
    ASSERT_TRUE(NextTextPiece(cursor, true, piece));
    const TextMark first = MarkOf(cursor, piece);
    ASSERT_TRUE(NextTextPiece(cursor, true, piece));
    const TextMark second = MarkOf(cursor, piece);
    EXPECT_TRUE(SeekToMark(cursor, second));
    ASSERT_TRUE(NextTextPiece(cursor, true, piece));
    EXPECT_EQ(std::string(piece.begin, piece.end) + std::to_string(piece.line), "1\n2");
    while (NextTextPiece(cursor, true, piece)) {
    }
    EXPECT_EQ(SeekToMark(cursor, first), !fifo);
    EXPECT_TRUE(fifo || Pieces(cursor) == Pieces(CursorOver(text.data(), text.size())));
  }
}

// Standard input on a pipe: read twice while it is kept, refused once it is
// not, with the reason.
TEST(InputStream, StandardInputIsKeptForASecondLook) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string text = "ID 3 1 3 3 0/0 3/3 1\n1 2 3\n";
  ASSERT_EQ(::write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ::close(fds[1]);
  const int saved = ::dup(STDIN_FILENO);
  ::dup2(fds[0], STDIN_FILENO);
  ::close(fds[0]);
  KeepStandardInput(1024);
  std::string reason;
  for (int look = 0; look < 2; ++look) {
    InputStream in;
    ASSERT_TRUE(in.Open(STDIN_NAME, reason)) << reason;
    EXPECT_EQ(Pieces(CursorOn(in)), "1:0:ID 3 1 3 3 0/0 3/3 1\n|2:0:1 2 3\n|2") << look;
  }
  KeepStandardInput(0);
  InputStream in;
  EXPECT_FALSE(in.Open(STDIN_NAME, reason));
  EXPECT_EQ(reason.substr(0, 43), "standard input can be read only once, and i");
  ::dup2(saved, STDIN_FILENO);
  ::close(saved);
}

} // namespace
} // namespace kovra
