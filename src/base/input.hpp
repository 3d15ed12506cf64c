// Design input read while it is parsed: a file or standard input passes
// through a window of fixed size, so that memory never holds the text as a
// whole, whatever its size (a stream that never ends included).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kovra {

// The name that stands for standard input.
inline constexpr char STDIN_NAME[] = "-";

// Longest line a design file may have. Anything longer is no design text (a
// binary file, /dev/zero through a pipe) and ends the reading with a message
// naming the file and the line.
inline constexpr size_t MAX_LINE_BYTES = 65536;

// One open input. The window [pos, end) that a reader holds stays valid until
// it calls Fill or SeekTo again.
class InputStream {
public:
  InputStream() = default;
  ~InputStream();
  InputStream(const InputStream&) = delete;
  InputStream& operator=(const InputStream&) = delete;

  // Opens `name`: "-" is standard input; otherwise only a regular file or a
  // FIFO, since anything else (a directory, a device such as /dev/zero)
  // either holds no lines or never ends. False with `reason` set to the
  // system's text or a sentence of its own.
  bool Open(const char* name, std::string& reason);

  const std::string& name() const { return name_; }

  // Gives up everything before pos and makes the window hold at least `want`
  // bytes from pos on (at most the buffer's 4 * MAX_LINE_BYTES), or all that
  // is left. A read error ends the program ("Err: can't read ...").
  void Fill(const char*& pos, const char*& end, size_t want);

  // True when nothing is left beyond the window.
  bool AtEnd() const { return atEnd_; }

  // The position of `pos` (in the window) counted from the input's start.
  uint64_t OffsetOf(const char* pos) const;

  // Makes the window start at `offset`: within the window, in what standard
  // input keeps (see KeepStandardInput), or by seeking a regular file. False
  // when the input cannot go back that far (a pipe has moved on).
  bool SeekTo(uint64_t offset, const char*& pos, const char*& end);

  // The bytes from the start to the end of a regular file; UINT64_MAX when
  // the input does not say (a pipe).
  uint64_t KnownSize() const { return size_; }

  // Ends the program with "Err: <NAME> line N is longer than ... bytes".
  [[noreturn]] void LineTooLong(uint64_t line) const;

private:
  size_t ReadSome(char* to, size_t room);

  std::string name_;
  int fd_ = -1;
  bool ownFd_ = false; // opened here (standard input is not closed)
  bool stdin_ = false; // reads standard input through its keeper
  bool seekable_ = false;
  uint64_t start_ = 0; // offset in the file where the input starts
  uint64_t size_ = UINT64_MAX;
  uint64_t bufStart_ = 0; // offset of buf_[0] from the input's start
  uint64_t next_ = 0;     // offset of the next byte to read
  size_t filled_ = 0;     // bytes of buf_ in use
  bool atEnd_ = false;
  std::string buf_;
};

// For a caller that reads standard input twice (the parameter search): what
// is read of it from now on is kept, up to `bound` bytes, and the next Open
// of "-" reads that again before it goes on with the stream. Past the bound
// nothing is kept, and a later Open of "-" is refused with a reason that
// says so. A standard input that is a regular file is simply read again.
// A bound of 0 frees what was kept and keeps nothing more.
void KeepStandardInput(uint64_t bound);

} // namespace kovra
