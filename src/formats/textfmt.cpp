// The plain design text format.
#include "formats/textfmt.hpp"

#include "base/clock.hpp"

#include <algorithm>
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

// Bytes that end or cut a line: LF, CR, NUL, and the comment signs.
enum : uint8_t { kPlain = 0, kLineEnd = 1, kNul = 2, kComment = 3 };

struct ByteClasses {
  uint8_t of[256] = {};
  constexpr ByteClasses() {
    of[static_cast<uint8_t>('\n')] = kLineEnd;
    of[static_cast<uint8_t>('\r')] = kLineEnd;
    of[0] = kNul;
    of[static_cast<uint8_t>('#')] = kComment;
    of[static_cast<uint8_t>(';')] = kComment;
  }
};
constexpr ByteClasses kByteClass;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A ";" with a digit on both sides (blanks between allowed) separates values,
// as in "1;2;3"; any other starts a comment. [begin, limit) is the piece.
bool SemicolonSeparates(const char* begin, const char* at, const char* limit) {
  const char* before = at;
  while (before > begin && IsBlank(before[-1])) --before;
  if (before == begin || !IsDigit(before[-1])) return false;
  const char* after = at + 1;
  while (after < limit && IsBlank(*after)) ++after;
  return after < limit && IsDigit(*after);
}

// Passes the line end at p (LF, CR LF or a lone CR); p < end.
const char* PassLineEnd(const char* p, const char* end) {
  if (*p++ == '\r' && p < end && *p == '\n') ++p;
  return p;
}

} // namespace

TextCursor CursorOn(InputStream& input) {
  TextCursor text;
  text.source = &input;
  input.SeekTo(0, text.pos, text.end);
  // A UTF-8 byte-order mark is no part of the text: left in, it would hide
  // the first line's first number.
  input.Fill(text.pos, text.end, 3);
  if (text.end - text.pos >= 3 && std::memcmp(text.pos, "\xEF\xBB\xBF", 3) == 0) text.pos += 3;
  return text;
}

bool NextTextPiece(TextCursor& text, bool cutComments, TextPiece& piece) {
  // A window that holds the longest line a file may have, so that the piece
  // and the rest of its line are in memory.
  constexpr size_t kWindow = MAX_LINE_BYTES + 2;
  if (text.source != nullptr && static_cast<size_t>(text.end - text.pos) < kWindow &&
      !text.source->AtEnd())
    text.source->Fill(text.pos, text.end, kWindow);
  const char* p = text.pos;
  const char* const end = text.end;
  if (p == end) return false;
  piece.line = text.lineEnds + 1;
  piece.column = text.lineBytes;
  piece.begin = p;
  // At most 255 bytes are the line's text; a line end right behind them still
  // belongs to it, anything else comes back as the next piece.
  const char* const limit = end - p > LINE_BUFSIZE - 1 ? p + (LINE_BUFSIZE - 1) : end;
  const char* cut = nullptr;     // a comment sign or NUL hides the rest
  const char* lineEnd = nullptr; // where the line end starts, once found
  while (p < limit) {
    const uint8_t cls = kByteClass.of[static_cast<uint8_t>(*p)];
    if (cls == kPlain) {
      ++p;
      continue;
    }
    if (cls == kLineEnd) {
      lineEnd = p;
      p = PassLineEnd(p, end);
      break;
    }
    if (cut == nullptr && (cls == kNul || cutComments) &&
        !(*p == ';' && SemicolonSeparates(piece.begin, p, limit)))
      cut = p;
    ++p;
  }
  // A CR LF whose LF falls behind the 255 bytes is still one line end.
  const char* textEnd = p < limit ? p : limit;
  if (lineEnd == nullptr && p < end && kByteClass.of[static_cast<uint8_t>(*p)] == kLineEnd) {
    lineEnd = p;
    p = PassLineEnd(p, end);
  }
  // A comment runs to the true end of its line: the part of an overlong line
  // behind the 255 bytes must not come back as a line of data.
  if (cut != nullptr && lineEnd == nullptr) {
    while (p < end && *p != '\n' && *p != '\r') ++p;
    if (p < end) {
      lineEnd = p;
      p = PassLineEnd(p, end);
    }
  }
  const bool lineEnded = lineEnd != nullptr;
  // A line that passes the bound is no text; the window holds any line
  // within it, so a comment that runs to the window's end passes it too.
  if (text.source != nullptr &&
      (text.lineBytes + static_cast<uint64_t>((lineEnded ? lineEnd : p) - piece.begin) >
           MAX_LINE_BYTES ||
       (!lineEnded && p == end && !text.source->AtEnd())))
    text.source->LineTooLong(piece.line);
  if (lineEnded) {
    ++text.lineEnds;
    text.lineBytes = 0;
  } else {
    text.lineBytes += static_cast<uint64_t>(p - piece.begin);
  }
  piece.end = cut != nullptr ? cut : textEnd;
  text.pos = p;
  return true;
}

void UnreadPiece(TextCursor& text, const TextPiece& piece) {
  text.pos = piece.begin;
  text.lineEnds = piece.line - 1;
  text.lineBytes = piece.column;
}

TextMark MarkOf(const TextCursor& text, const TextPiece& piece) {
  TextMark mark;
  mark.at = piece.begin;
  if (text.source != nullptr) mark.offset = text.source->OffsetOf(piece.begin);
  mark.line = piece.line;
  mark.column = piece.column;
  return mark;
}

bool SeekToMark(TextCursor& text, const TextMark& mark) {
  text.lineEnds = mark.line - 1;
  text.lineBytes = mark.column;
  if (text.source != nullptr) return text.source->SeekTo(mark.offset, text.pos, text.end);
  text.pos = mark.at;
  return true;
}

void PieceText(const TextPiece& piece, char* buf, bool cutLineEnd, bool tabsToBlanks) {
  const auto n = static_cast<size_t>(piece.end - piece.begin);
  std::memcpy(buf, piece.begin, n);
  buf[n] = '\0';
  if (tabsToBlanks)
    for (char* p = buf; *p != '\0'; ++p)
      if (*p == '\t') *p = ' ';
  if (cutLineEnd)
    for (char* p = buf; *p != '\0'; ++p)
      if (*p == '\r' || *p == '\n' || static_cast<unsigned char>(*p) == 0x8D) {
        *p = '\0';
        break;
      }
}

bool ReadTextLine(char* buf, TextCursor& text, bool cutLineEnd, bool cutComments,
                  bool tabsToBlanks) {
  TextPiece piece;
  if (!NextTextPiece(text, cutComments, piece)) return false;
  PieceText(piece, buf, cutLineEnd, tabsToBlanks);
  return true;
}

const char* SkipLead(const char* line) {
  while (*line != '\0' && !IsSignificant(static_cast<unsigned char>(*line))) ++line;
  return line;
}

const char* SkipLead(const char* begin, const char* end) {
  while (begin < end && !IsSignificant(static_cast<unsigned char>(*begin))) ++begin;
  return begin;
}

bool IsKeyword(const char* p, const char* keyword) {
  for (; *keyword != '\0'; ++p, ++keyword)
    if (!SameIgnoringCase(*p, *keyword)) return false;
  return true;
}

namespace {

// What may stand before the first number of a block line: "[1, 2, 3]",
// "(1 2 3)", "{1,2,3}", "\"1\",\"2\"".
bool IsOpener(char c) { return c == '[' || c == '(' || c == '{' || c == '"'; }

// A line of nothing but these (and blanks) holds no data: "]", "],", "];".
bool IsStructural(char c) {
  return IsOpener(c) || c == ']' || c == ')' || c == '}' || c == ',' || c == ';';
}

} // namespace

bool HoldsNoData(const char* begin, const char* end) {
  const char* p = SkipLead(begin, end);
  if (p == end) return true;
  static const char* const kKeywords[] = {"ID ",  "Date", "Author", "Comment",
                                          "Data", "base", "load"};
  for (const char* keyword : kKeywords) {
    const size_t n = std::strlen(keyword);
    if (static_cast<size_t>(end - p) >= n && IsKeyword(p, keyword)) return true;
  }
  for (; p < end; ++p)
    if (!IsStructural(*p) && !IsBlank(*p) && *p != '\r' && *p != '\n') return false;
  return true;
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

namespace {

// Separators of a block line (and of the numbers the parameter search reads).
constexpr char kBlockSeparators[] = "/ \t\n,\r-;[](){}\"";

struct SeparatorSet {
  bool is[256] = {};
  constexpr SeparatorSet() {
    for (const char c : kBlockSeparators)
      if (c != '\0') is[static_cast<uint8_t>(c)] = true;
  }
};
constexpr SeparatorSet kBlockSeparator;

// Any value above this is out of every range a block number can have.
constexpr uint64_t kBlockNumberCap = 0xFFFFFFFFu;

// The tokens of one line piece, split on the block separators.
bool IsSeparator(char c) { return kBlockSeparator.is[static_cast<uint8_t>(c)]; }

struct BlockTokens {
  const char* begin; // of the line, for the look behind a token
  const char* pos;
  const char* end;

  // Moves to the next token; false when only separators are left.
  bool Next() {
    while (pos < end && IsSeparator(*pos)) ++pos;
    return pos < end;
  }
  bool AtDigit() const { return pos < end && IsDigit(*pos); }
  // A minus sign right before the digits, at the start or after a blank,
  // a bracket, a comma or a semicolon: not the dash of "01-02-03" or "3--4"
  // between two numbers.
  bool Negative() const {
    if (pos - begin < 1 || pos[-1] != '-') return false;
    if (pos - begin == 1) return true;
    const char before = pos[-2];
    return !IsDigit(before) && before != '-' && before != '/';
  }
  // Reads a number token (its sign included in `digits` for a message):
  // false, having passed the whole token, when something is glued to its
  // digits. The value saturates at the cap; a negative one is -1.
  bool TakeNumber(int64_t& value, const char*& digits, size_t& digitCount) {
    const bool negative = Negative();
    digits = negative ? pos - 1 : pos;
    uint64_t magnitude = 0;
    for (; pos < end && IsDigit(*pos); ++pos) {
      magnitude = magnitude * 10 + static_cast<uint64_t>(*pos - '0');
      if (magnitude > kBlockNumberCap) magnitude = kBlockNumberCap + 1;
    }
    const bool clean = pos == end || IsSeparator(*pos);
    while (pos < end && !IsSeparator(*pos)) ++pos;
    digitCount = static_cast<size_t>(pos - digits);
    value = negative && magnitude != 0 ? -1 : static_cast<int64_t>(magnitude);
    return clean;
  }
};

} // namespace

bool StartsWithNumber(const char* begin, const char* end) {
  BlockTokens tokens{begin, begin, end};
  return tokens.Next() && tokens.AtDigit();
}

bool IsDataLine(const char* line) { return StartsWithNumber(line, line + std::strlen(line)); }

bool HeaderHoldsNumber(const char* begin, const char* end) {
  if (HoldsNoData(begin, end)) return false;
  return std::any_of(begin, end, [](char c) { return IsDigit(c); });
}

int ParseBlockLine(const TextPiece& piece, Point* block, unsigned k, long low, long high,
                   BlockLineFault* fault) {
  BlockTokens tokens{piece.begin, piece.begin, piece.end};
  if (!tokens.Next() || !tokens.AtDigit()) return BLK_NONE;
  if (k > MAX_K) return BLK_TOO_MANY;
  if (high > static_cast<long>(UINT16_MAX)) high = UINT16_MAX; // a point is 16 bits
  BlockLineFault local;
  BlockLineFault& f = fault != nullptr ? *fault : local;
  f.line = piece.line;
  f.notNumber = false;

  for (unsigned i = 0; i < k; ++i) {
    if (i > 0 && (!tokens.Next() || !tokens.AtDigit())) {
      f.numbers = i;
      return BLK_TOO_FEW;
    }
    int64_t value = 0;
    if (!tokens.TakeNumber(value, f.digits, f.digitCount)) {
      f.notNumber = true;
      return BLK_NOT_BLOCK;
    }
    if (value < low || value > high) return BLK_RANGE;
    for (unsigned j = 0; j < i; ++j)
      if (block[j] == value) return BLK_DUP;
    block[i] = static_cast<Point>(value);
  }
  if (tokens.Next() && tokens.AtDigit()) {
    int64_t ignored = 0;
    tokens.TakeNumber(ignored, f.digits, f.digitCount);
    return BLK_TOO_MANY;
  }
  return BLK_OK;
}

int ParseBlockLineStrict(const TextPiece& piece, Point* block, unsigned k, long low, long high,
                         BlockLineFault* fault) {
  const int code = ParseBlockLine(piece, block, k, low, high, fault);
  if (code != BLK_NONE || HoldsNoData(piece.begin, piece.end)) return code;
  if (fault != nullptr) {
    fault->line = piece.line;
    fault->digits = SkipLead(piece.begin, piece.end);
    const char* end = fault->digits;
    while (end < piece.end && *end != '\r' && *end != '\n') ++end;
    fault->digitCount = static_cast<size_t>(end - fault->digits);
  }
  return BLK_NOT_BLOCK;
}

int ReadBlockLine(Point* block, unsigned k, long low, long high, TextCursor& text,
                  BlockLineFault* fault, bool strict) {
  if (k > MAX_K) return BLK_TOO_MANY;
  TextPiece piece;
  while (NextTextPiece(text, true, piece)) {
    const int code = strict ? ParseBlockLineStrict(piece, block, k, low, high, fault)
                            : ParseBlockLine(piece, block, k, low, high, fault);
    if (code != BLK_NONE) return code;
  }
  if (fault != nullptr) fault->line = text.lineEnds + 1;
  return BLK_MISSING;
}

const char* BlockLineErrText(int code) {
  switch (code) {
  case BLK_RANGE: return "Range Err; check Base and try the \"CloseGaps\" option";
  case BLK_DUP: return "Dup Err";
  case BLK_TOO_MANY: return "More than k nbr in line";
  case BLK_MISSING: return "Missing blocks";
  case BLK_TOO_FEW: return "Less than k nbrs in line";
  case BLK_NOT_BLOCK: return "Neither block nor comment";
  default: return "";
  }
}

int ReadNumberLine(int32_t* dst, int capacity, const char* line, bool* overflow) {
  if (overflow != nullptr) *overflow = false;
  BlockTokens tokens{line, line, line + std::strlen(line)};
  int count = 0;
  while (tokens.Next() && tokens.AtDigit()) {
    if (count >= capacity) {
      if (overflow != nullptr) *overflow = true;
      break;
    }
    const bool negative = tokens.Negative();
    dst[count++] = negative ? -1 : static_cast<int32_t>(LeadingDecimal(tokens.pos, INT32_MAX));
    int64_t ignored = 0;
    const char* digits = nullptr;
    size_t size = 0;
    tokens.TakeNumber(ignored, digits, size);
  }
  return count;
}

void WriteIdHeader(std::FILE* stream, const IdRecord& id, const char* comment) {
  const bool plain = id.bCmpr == 0;
  if (plain)
    std::fprintf(stream, "#ID      v b k v1 w1/w2 t/m L x Base bCmpr CHI CEI CLL CfExp ...\n");
  std::fprintf(stream,
               "ID %*s%hu %lu %hu %hu %hu/%hu %hu/%hu %hu %hu %hu %hu %lu %lu %lu %hu ...\n",
               plain ? 6 : 0, "", id.v, static_cast<unsigned long>(id.b), id.k, id.v1, id.w1, id.w2,
               id.t, id.m, id.L, id.x, plain ? id.Base : static_cast<uint16_t>(1),
               static_cast<uint16_t>(id.bCmpr), static_cast<unsigned long>(id.CHI),
               static_cast<unsigned long>(id.CEI), static_cast<unsigned long>(id.CLL), id.CfExp);
  if (plain) {
    std::fprintf(stream, "Date     %s\n", DateText(NowSeconds()).c_str());
    std::fprintf(stream, "Author   \n");
    std::fprintf(stream, "Comments %s\n", comment != nullptr ? comment : "");
    std::fprintf(stream, "Data\n");
  }
  std::fflush(stream);
}

void WriteBlockLines(const Point* blocks, uint32_t count, unsigned k, std::FILE* stream) {
  if (blocks == nullptr || count == 0) return;
  for (uint32_t i = 0; i < count; ++i) {
    const Point* row = blocks + size_t{i} * k;
    for (unsigned j = 0; j < k; ++j) std::fprintf(stream, j == 0 ? "%2d" : " %2d", row[j]);
    std::fputc('\n', stream);
  }
}

} // namespace kovra
