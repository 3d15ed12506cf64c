// The plain design text format.
#include "formats/textfmt.hpp"

#include "base/clock.hpp"
#include "base/console.hpp"
#include "base/fatal.hpp"

#include <cctype>
#include <cstring>

namespace kovra {
namespace {

bool IsSignificant(unsigned char c) {
  if (std::isalnum(c) != 0 && c < 0x80) return true;
  static const char kPunct[] = "\\{}[]!$%&/()\"=?+*#'-_:.,;<>|^";
  if (c != 0 && std::strchr(kPunct, c) != nullptr) return true;
  // Code-page-437 letters: section sign, sharp s and the umlauts.
  switch (c) {
  case 0x15:
  case 0xE1:
  case 0x84:
  case 0x8E:
  case 0x94:
  case 0x99:
  case 0x81:
  case 0x9A: return true;
  default: return false;
  }
}

// Consumes what follows a CR: the LF of a CR LF pair belongs to the same line
// end; anything else starts the next line.
void SkipLfAfterCr(std::FILE* stream) {
  const int next = std::getc(stream);
  if (next != '\n' && next != EOF) std::ungetc(next, stream);
}

// Consumes the rest of a physical line up to and including its line end.
void SkipRestOfLine(std::FILE* stream) {
  for (int c = std::getc(stream); c != EOF; c = std::getc(stream)) {
    if (c == '\n') return;
    if (c == '\r') {
      SkipLfAfterCr(stream);
      return;
    }
  }
}

} // namespace

bool ReadTextLine(char* buf, std::FILE* stream, bool cutLineEnd, bool cutComments,
                  bool tabsToBlanks) {
  // Read byte by byte rather than with fgets so that a lone CR ends a line
  // too, and so that the count of bytes is known even when a NUL is among them.
  int n = 0;
  bool lineEnded = false;
  bool atEof = false;
  while (n < LINE_BUFSIZE - 1) {
    const int c = std::getc(stream);
    if (c == EOF) {
      atEof = true;
      break;
    }
    buf[n++] = static_cast<char>(c);
    if (c == '\n') {
      lineEnded = true;
      break;
    }
    if (c == '\r') {
      // Keep the LF of a CR LF pair in the buffer when there is room for it.
      const int next = std::getc(stream);
      if (next == '\n' && n < LINE_BUFSIZE - 1)
        buf[n++] = '\n';
      else if (next != '\n' && next != EOF)
        std::ungetc(next, stream);
      lineEnded = true;
      break;
    }
  }
  buf[n] = '\0';
  if (n == 0 && atEof) return false;
  if (!lineEnded && !atEof) {
    // The buffer is full. A line end right behind it still belongs to this
    // line; otherwise the rest of the line will be read as the next one.
    const int next = std::getc(stream);
    if (next == '\r')
      SkipLfAfterCr(stream);
    else if (next != '\n' && next != EOF)
      std::ungetc(next, stream);
    lineEnded = next == '\n' || next == '\r' || next == EOF;
  }
  // A NUL byte ends the text of its line, as a comment sign does.
  bool cut = std::strlen(buf) < static_cast<size_t>(n);
  if (cutComments) {
    if (char* p = std::strchr(buf, '#')) {
      *p = '\0';
      cut = true;
    }
    if (char* p = std::strchr(buf, ';')) {
      *p = '\0';
      cut = true;
    }
  }
  // A comment runs to the true end of its line: the part of an overlong line
  // that did not fit the buffer must not come back as a line of data.
  if (cut && !lineEnded) SkipRestOfLine(stream);
  if (tabsToBlanks)
    for (char* p = buf; *p != '\0'; ++p)
      if (*p == '\t') *p = ' ';
  if (cutLineEnd)
    for (char* p = buf; *p != '\0'; ++p)
      if (*p == '\r' || *p == '\n' || static_cast<unsigned char>(*p) == 0x8D) {
        *p = '\0';
        break;
      }
  return true;
}

const char* SkipLead(const char* line) {
  while (*line != '\0' && !IsSignificant(static_cast<unsigned char>(*line))) ++line;
  return line;
}

bool IsKeyword(const char* p, const char* keyword) {
  for (; *keyword != '\0'; ++p, ++keyword)
    if (std::tolower(static_cast<unsigned char>(*p)) !=
        std::tolower(static_cast<unsigned char>(*keyword)))
      return false;
  return true;
}

bool IsDataLine(const char* line) {
  const char* p = SkipLead(line);
  return *p >= '0' && *p <= '9';
}

bool NextToken(const char*& pos, const char* separators, Token& token) {
  const auto isSeparator = [separators](char c) {
    return c != '\0' && std::strchr(separators, c) != nullptr;
  };
  while (isSeparator(*pos)) ++pos;
  if (*pos == '\0') return false;
  token.begin = pos;
  while (*pos != '\0' && !isSeparator(*pos)) ++pos;
  token.size = static_cast<size_t>(pos - token.begin);
  return true;
}

uint64_t LeadingDecimal(const char* text, uint64_t cap) {
  uint64_t value = 0;
  for (; IsDecimalDigit(*text); ++text) {
    const auto digit = static_cast<uint64_t>(*text - '0');
    if (value > (cap - digit) / 10) return cap;
    value = value * 10 + digit;
  }
  return value;
}

namespace {

// Separators of a block line.
constexpr char kBlockSeparators[] = "/ \t\n,\r-";
// Separators of a general number line.
constexpr char kNumberSeparators[] = "\t,/\r\n ";

// Any value above this is out of every range a block number can have.
constexpr uint64_t kBlockNumberCap = 0xFFFFFFFFu;

bool StartsWithDigit(const Token& token) { return IsDecimalDigit(*token.begin); }

} // namespace

int ReadBlockLine(Block& block, unsigned k, long low, long high, std::FILE* stream,
                  const char* firstLine) {
  // A block holds at most 7 points, each one byte.
  if (k > MAX_K) return BLK_TOO_MANY;
  if (high > static_cast<long>(MAX_N)) high = MAX_N;

  char buf[LINE_BUFSIZE];
  const char* pending = firstLine;
  const char* pos = nullptr;
  Token token;
  for (;;) {
    if (pending != nullptr) {
      pos = pending;
      pending = nullptr;
    } else {
      if (!ReadTextLine(buf, stream, false, true, true)) return BLK_MISSING;
      pos = buf;
    }
    if (NextToken(pos, kBlockSeparators, token) && StartsWithDigit(token)) break;
  }

  uint64_t values[MAX_K] = {};
  for (unsigned i = 0; i < k; ++i) {
    if (i > 0 && (!NextToken(pos, kBlockSeparators, token) || !StartsWithDigit(token)))
      return BLK_TOO_FEW;
    const uint64_t value = LeadingDecimal(token.begin, kBlockNumberCap);
    if (static_cast<int64_t>(value) < low || static_cast<int64_t>(value) > high) return BLK_RANGE;
    for (unsigned j = 0; j < i; ++j)
      if (values[j] == value) return BLK_DUP;
    values[i] = value;
    block.pt[i] = static_cast<uint8_t>(value);
  }
  if (NextToken(pos, kBlockSeparators, token) && StartsWithDigit(token)) return BLK_TOO_MANY;
  return BLK_OK;
}

const char* BlockLineErrText(int code) {
  switch (code) {
  case BLK_RANGE: return "Range Err; check Base and try the \"CloseGaps\" option";
  case BLK_DUP: return "Dup Err";
  case BLK_TOO_MANY: return "More than k nbr in line";
  case BLK_MISSING: return "Missing blocks";
  case BLK_TOO_FEW: return "Less than k nbrs in line";
  default: return "";
  }
}

void ReadBlockLineOrExit(Block& block, unsigned k, long low, long high, std::FILE* stream,
                         const char* firstLine) {
  const int code = ReadBlockLine(block, k, low, high, stream, firstLine);
  if (code != BLK_OK) ErrExit(code, BlockLineErrText(code));
}

int ReadNumberLine(int32_t* dst, int capacity, const char* line, bool* overflow) {
  if (overflow != nullptr) *overflow = false;
  const char* pos = SkipLead(line);
  if (!IsDecimalDigit(*pos)) return 0;
  int count = 0;
  Token token;
  while (NextToken(pos, kNumberSeparators, token) && StartsWithDigit(token)) {
    if (count >= capacity) {
      if (overflow != nullptr) *overflow = true;
      break;
    }
    dst[count++] = static_cast<int32_t>(LeadingDecimal(token.begin, INT32_MAX));
  }
  return count;
}

void WriteIdHeader(std::FILE* stream, uint16_t v, uint16_t k, uint16_t t, uint16_t m, uint16_t l,
                   uint32_t b, uint16_t x, uint16_t base, const char* comment, uint8_t bCmpr,
                   uint32_t chi, uint32_t cei, uint32_t cll, uint16_t cfExp, bool author) {
  const bool plain = bCmpr == 0;
  if (plain)
    std::fprintf(stream, "#ID      v b k v1 w1/w2 t/m L x Base bCmpr CHI CEI CLL CfExp ...\n");
  std::fprintf(stream,
               "ID %*s%hu %lu %hu %hu %hu/%hu %hu/%hu %hu %hu %hu %hu %lu %lu %lu %hu ...\n",
               plain ? 6 : 0, "", v, static_cast<unsigned long>(b), k, v, static_cast<uint16_t>(0),
               static_cast<uint16_t>(0), t, m, l, x, plain ? base : static_cast<uint16_t>(1),
               static_cast<uint16_t>(bCmpr), static_cast<unsigned long>(chi),
               static_cast<unsigned long>(cei), static_cast<unsigned long>(cll), cfExp);
  if (plain) {
    std::fprintf(stream, "Date     %s\n", DateText(NowSeconds()).c_str());
    // No caller sets the author flag; the line then stays empty.
    std::fprintf(stream, "Author   %s\n", author ? "KOVRA user" : "");
    std::fprintf(stream, "Comments %s\n", comment != nullptr ? comment : "");
    std::fprintf(stream, "Data\n");
  }
  std::fflush(stream);
}

void WriteBlockLines(const Block* blocks, uint32_t count, std::FILE* stream) {
  if (blocks == nullptr || count == 0) return;
  const unsigned k = BlockK(blocks[0]) > MAX_K ? MAX_K : BlockK(blocks[0]);
  for (uint32_t i = 0; i < count; ++i) {
    if ((blocks[i].kf & BLOCK_SKIP) != 0) continue;
    for (unsigned j = 0; j < k; ++j) std::fprintf(stream, j == 0 ? "%2d" : " %2d", blocks[i].pt[j]);
    std::fputc('\n', stream);
  }
}

} // namespace kovra
