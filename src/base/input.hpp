// A whole input in memory: a design file read at once, or the standard
// input, read once and kept for every later reader of "-".
#pragma once

#include <cstddef>
#include <string>

namespace kovra {

// The name that stands for standard input.
inline constexpr char STDIN_NAME[] = "-";

// The bytes of one input, released when the holder goes. They live on the
// heap; standard input is read once for the whole process.
class InputBytes {
public:
  InputBytes() = default;
  ~InputBytes();
  InputBytes(const InputBytes&) = delete;
  InputBytes& operator=(const InputBytes&) = delete;

  const char* data() const { return data_; }
  size_t size() const { return size_; }

  // Takes the bytes of `name`: "-" is standard input; otherwise only a
  // regular file or a FIFO, since anything else (a directory, a device such
  // as /dev/zero) either holds no lines or never ends. False with `reason`
  // set to the system's text or "not a regular file or FIFO".
  bool Read(const char* name, std::string& reason);

private:
  void Release();

  const char* data_ = "";
  size_t size_ = 0;
  std::string heap_; // the bytes of a file
};

} // namespace kovra
