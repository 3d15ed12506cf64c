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

} // namespace

bool ReadTextLine(char* buf, std::FILE* stream, bool cutLineEnd, bool cutComments,
                  bool tabsToBlanks) {
  if (std::fgets(buf, LINE_BUFSIZE, stream) == nullptr) {
    buf[0] = '\0';
    return false;
  }
  // A NUL byte inside the line ends the text the program sees; the rest of the
  // line up to the line end is simply not looked at.
  if (cutComments) {
    if (char* p = std::strchr(buf, '#')) *p = '\0';
    if (char* p = std::strchr(buf, ';')) *p = '\0';
  }
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

// Block lines and number lines are read by the loader's helpers below.
int ReadBlockLine(Block&, unsigned, long, long, std::FILE*, const char*) { return BLK_MISSING; }

void ReadBlockLineOrExit(Block& block, unsigned k, long low, long high, std::FILE* stream,
                         const char* firstLine) {
  const int code = ReadBlockLine(block, k, low, high, stream, firstLine);
  if (code != BLK_OK) ErrExit(code, "Missing blocks");
}

int ReadNumberLine(int32_t*, int, const char*, bool* overflow) {
  *overflow = false;
  return 0;
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
