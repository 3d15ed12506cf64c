// The design loader.
#include "formats/loader.hpp"

#include "base/console.hpp"
#include "base/fatal.hpp"
#include "base/input.hpp"
#include "base/memory.hpp"
#include "formats/cbin.hpp"
#include "formats/ctext.hpp"
#include "formats/idline.hpp"
#include "formats/nestedlist.hpp"
#include "formats/textfmt.hpp"
#include "formats/xmldesign.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>

namespace kovra {
namespace {

constexpr char kHeaderErr[] = "Err in SysData or SysHdr";

// Remembers the current directory and makes it current again when it goes,
// also when a fatal exit in a nested load unwinds through it.
class CurrentDirGuard {
public:
  CurrentDirGuard() { saved_ = std::filesystem::current_path(error_); }
  ~CurrentDirGuard() {
    std::error_code ignored;
    if (!error_) std::filesystem::current_path(saved_, ignored);
  }
  CurrentDirGuard(const CurrentDirGuard&) = delete;
  CurrentDirGuard& operator=(const CurrentDirGuard&) = delete;
  bool Saved() const { return !error_; }

private:
  std::filesystem::path saved_;
  std::error_code error_;
};

// The header values the loader keeps for itself rather than handing back.
struct HeaderState {
  uint32_t chi = 4, cei = 2, cll = 64;
  uint16_t cfExp = 1, x = 2;
  uint32_t headerB = 0; // b of a compressed-text header line
  uint8_t kind = 0;     // the working compression kind
};

// Reads an ID line over the values known so far and hands the numbers back.
void ParseIdInto(const char* line, const char* fileName, bool newFNameSchemeRun, LoadParams& io,
                 HeaderState& hs) {
  IdRecord id;
  id.v = io.v;
  id.b = 0;
  id.k = io.k;
  id.v1 = io.v;
  id.w1 = id.w2 = 0;
  id.t = io.t;
  id.m = io.m;
  id.L = io.l;
  id.x = 2;
  id.Base = io.base;
  id.bCmpr = 0;
  id.CHI = 4;
  id.CEI = 2;
  id.CLL = 64;
  id.CfExp = 1;
  ParseIdLine(id, line, false, fileName, newFNameSchemeRun);
  // The refusal named the number; its largest value must not be checked,
  // and named, as if it were the file's.
  if (id.tooLarge) ErrExit(2, kHeaderErr);
  io.v = id.v;
  io.b = id.b;
  io.k = id.k;
  io.v1 = id.v1;
  io.w1 = id.w1;
  io.w2 = id.w2;
  io.t = id.t;
  io.m = id.m;
  io.l = id.L;
  io.base = id.Base;
  hs.x = id.x;
  hs.kind = id.bCmpr;
  hs.chi = id.CHI;
  hs.cei = id.CEI;
  hs.cll = id.CLL;
  hs.cfExp = id.CfExp;
  io.idLine = true;
}

bool ParamsValid(const LoadParams& io) {
  return CheckDesignParams(io, io.b, static_cast<int16_t>(io.v1), true);
}

// The file named by a "load" line: the rest of the line from its significant
// start, without the line end and without the blanks a cut comment leaves.
std::string LoadTarget(const char* afterWord) {
  std::string name(SkipLead(afterWord));
  const size_t end = name.find_first_of("\r\n\x8D");
  if (end != std::string::npos) name.resize(end);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

// The number of a "base" line: from the sixth character of the keyword's
// line on, blanks skipped. A negative or oversized number is no usable base;
// it becomes 65535, out of every range, rather than wrapping to a valid one.
uint16_t BaseKeywordValue(const char* p) {
  if (std::strlen(p) < 5) return 0;
  const char* q = p + 5;
  while (*q == ' ') ++q;
  bool negative = false;
  if (*q == '-' || *q == '+') negative = *q++ == '-';
  const uint64_t value = LeadingDecimal(q, UINT16_MAX);
  return static_cast<uint16_t>(negative && value != 0 ? UINT16_MAX : value);
}

// False when the text is too short to hold b block lines: each needs k
// numbers and k-1 separators, so at least 2k-1 bytes.
bool TextCanHold(size_t size, uint32_t b, uint16_t k) {
  return static_cast<uintmax_t>(b) * (2u * k - 1u) <= size;
}

[[noreturn]] void AllocExit(const char* fileName) {
  std::string text(std::strlen(fileName) + 16, '\0');
  std::snprintf(text.data(), text.size(), "AllocErr: %s", fileName);
  ErrExit(3, text.c_str());
}

// The blocks too many for the memory bound: refused with both numbers.
[[noreturn]] void OverBoundExit(const char* fileName, uint64_t read, unsigned k, uint64_t bound) {
  char have[32];
  MemorySizeText(bound, have, sizeof have);
  DualPrint("Err: <%s> holds more than the %lu blocks of %u points that the memory bound of %s "
            "allows (--memory=SIZE).\n",
            fileName, static_cast<unsigned long>(read), k, have);
  AllocExit(fileName);
}

// The bytes b blocks of k points take, the design's own size.
uint64_t BlockBytes(uint64_t b, unsigned k) { return b * k * sizeof(Point); }

// A design whose blocks would pass the memory bound is refused before any of
// them is stored, with both sizes.
void CheckMemoryBound(const char* fileName, uint64_t b, unsigned k, uint64_t bound) {
  if (BlockBytes(b, k) <= bound) return;
  char need[32], have[32];
  MemorySizeText(BlockBytes(b, k), need, sizeof need);
  MemorySizeText(bound, have, sizeof have);
  DualPrint("Err: <%s>: %lu blocks of %u points take %s, more than the memory bound of %s "
            "(--memory=SIZE).\n",
            fileName, static_cast<unsigned long>(b), k, need, have);
  AllocExit(fileName);
}

// The block counter, shown only to a person watching a terminal, and then at
// most about ten times a second: a write per block would cost more than the
// reading itself.
struct LoadProgress {
  bool shown = false;
  std::chrono::steady_clock::time_point last;
};

LoadProgress StartProgress(const char* fileName) {
  LoadProgress pr;
  pr.shown = StderrIsConsole();
  if (pr.shown) {
    StderrPrint("%s \r", fileName);
    pr.last = std::chrono::steady_clock::now();
  }
  return pr;
}

void TickProgress(LoadProgress& pr, uint64_t count) {
  // The clock is asked only every few thousand blocks.
  if (!pr.shown || (count & 4095u) != 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - pr.last < std::chrono::milliseconds(100)) return;
  pr.last = now;
  StderrPrint("%lu \r", static_cast<unsigned long>(count));
}

void EndProgress(const LoadProgress& pr, uint64_t count) {
  if (pr.shown) StderrPrint("%lu \r", static_cast<unsigned long>(count));
}

// A line's text for a message: at most 60 bytes of it, control bytes shown
// as "?", so that a binary file cannot garble the terminal.
std::string ShownLineText(const char* text, size_t size) {
  constexpr size_t kShown = 60;
  std::string shown(text, std::min(size, kShown));
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  if (size > kShown) shown += "...";
  return shown;
}

// The line that says which block line failed and why, before the fatal exit
// with the code's own text.
[[noreturn]] void BlockLineExit(const char* fileName, int code, const BlockLineFault& fault,
                                unsigned k, long low, long high, uint64_t read, uint32_t b) {
  const auto line = static_cast<unsigned long>(fault.line);
  const int width = static_cast<int>(fault.digitCount);
  switch (code) {
  case BLK_RANGE:
    DualPrint("Err: <%s> line %lu: point %.*s is outside %ld..%ld\n", fileName, line, width,
              fault.digits, low, high);
    break;
  case BLK_DUP:
    DualPrint("Err: <%s> line %lu: point %.*s appears twice\n", fileName, line, width,
              fault.digits);
    break;
  case BLK_TOO_MANY:
    DualPrint("Err: <%s> line %lu: more than k=%u numbers (%.*s follows)\n", fileName, line, k,
              width, fault.digits);
    break;
  case BLK_TOO_FEW:
    DualPrint("Err: <%s> line %lu: %u numbers where k=%u are needed\n", fileName, line,
              fault.numbers, k);
    break;
  case BLK_MISSING:
    DualPrint("Err: <%s> ends after %lu of %lu blocks\n", fileName,
              static_cast<unsigned long>(read), static_cast<unsigned long>(b));
    break;
  case BLK_NOT_BLOCK:
    if (fault.notNumber)
      DualPrint("Err: <%s> line %lu: %s is not a point number\n", fileName, line,
                ShownLineText(fault.digits, fault.digitCount).c_str());
    else
      DualPrint("Err: <%s> line %lu is neither a block nor a comment: %s\n", fileName, line,
                ShownLineText(fault.digits, fault.digitCount).c_str());
    break;
  default: break;
  }
  ErrExit(code, BlockLineErrText(code));
}

// The range a block's numbers must lie in: the file's base and v, or under
// close-gaps anything up to MAX_N (renumbered afterwards).
void BlockRange(const LoadParams& io, bool closeGaps, long& low, long& high) {
  low = closeGaps ? 0 : io.base;
  high = closeGaps ? MAX_N : static_cast<long>(io.base) + io.v - 1;
}

// Renumbered points must stay within v (the engine is sized by it) and
// within the numbers -z takes.
void CloseGapsOrExit(Point* blocks, const LoadParams& io) {
  const unsigned distinct = CloseGaps(blocks, io.b, io.k, static_cast<int16_t>(io.base));
  if (distinct > io.v || io.base + distinct - 1 > MAX_N)
    ErrExit(BLK_RANGE, BlockLineErrText(BLK_RANGE));
}

// The plain block lines, b known beforehand, into an array that grows as
// they come: a file that claims more blocks than it holds costs what it holds.
void ReadPlainBlocks(BlockArray& blocks, TextCursor& text, const char* fileName,
                     const LoadParams& io, bool closeGaps) {
  long low = 0, high = 0;
  BlockRange(io, closeGaps, low, high);
  LoadProgress progress = StartProgress(fileName);
  BlockLineFault fault;
  uint64_t room = 0;
  for (uint32_t i = 0; i < io.b; ++i) {
    TickProgress(progress, i);
    if (i == room && !GrowBlocks(blocks, room, i + uint64_t{1}, io.b, io.k)) AllocExit(fileName);
    // Words may stand between the header and the first block; from there
    // on every line is a block or holds nothing.
    const int code =
        ReadBlockLine(blocks.get() + size_t{i} * io.k, io.k, low, high, text, &fault, i > 0);
    if (code != BLK_OK) BlockLineExit(fileName, code, fault, io.k, low, high, i, io.b);
  }
  EndProgress(progress, io.b);
  Point extra[MAX_K];
  if (ReadBlockLine(extra, io.k, low, high, text) == BLK_OK)
    ErrExit(13, "b wrong; too much blocks");
  if (closeGaps) CloseGapsOrExit(blocks.get(), io);
}

// The blocks of a plain file without ID line, read in the same pass that
// counts its data lines (the count is b): every line from the first data line
// on goes to the block reader as it would after the count, and what it would
// meet is kept, so that the checks after the count still come first.
struct PlainPass {
  bool active = false;
  long low = 0, high = 0;
  BlockArray blocks;
  uint64_t capacity = 0;
  uint64_t most = 0;   // blocks the memory bound allows
  uint64_t read = 0;   // blocks read in a row, stored or not
  uint64_t stored = 0; // of them in the array (fewer only when memory ran short)
  int code = BLK_OK;   // the first failing block line
  BlockLineFault fault;
  std::string digits; // the failing number: its line has left the window by the end
  LoadProgress progress;
};

void PassBlockLine(PlainPass& pass, const TextPiece& piece, const char* fileName, unsigned k,
                   uint64_t bound) {
  Point block[MAX_K];
  const int code = ParseBlockLineStrict(piece, block, k, pass.low, pass.high, &pass.fault);
  if (code == BLK_NONE) return;
  if (code != BLK_OK) {
    pass.code = code;
    if (pass.fault.digits != nullptr) pass.digits.assign(pass.fault.digits, pass.fault.digitCount);
    pass.fault.digits = pass.digits.data();
    return;
  }
  if (pass.read == pass.most) OverBoundExit(fileName, pass.read, k, bound);
  if (pass.stored == pass.capacity && pass.stored == pass.read)
    GrowBlocks(pass.blocks, pass.capacity, pass.stored + 1, pass.most, k);
  if (pass.stored < pass.capacity && pass.stored == pass.read)
    std::copy_n(block, k, pass.blocks.get() + pass.stored++ * k);
  ++pass.read;
  TickProgress(pass.progress, pass.read);
}

// Hands over the blocks of the pass as reading b of them would have: the
// first failing line within b ends the program, and so does a good block
// line behind the b-th.
BlockArray FinishPlainPass(PlainPass& pass, const char* fileName, const LoadParams& io,
                           bool closeGaps) {
  if (pass.stored < std::min<uint64_t>(pass.read, io.b)) AllocExit(fileName);
  // A line that is neither block nor comment fails the file wherever it
  // stands, also behind the last block.
  if (pass.read < io.b || pass.code == BLK_NOT_BLOCK) {
    const int code = pass.code != BLK_OK ? pass.code : BLK_MISSING;
    BlockLineExit(fileName, code, pass.fault, io.k, pass.low, pass.high, pass.read, io.b);
  }
  EndProgress(pass.progress, io.b);
  if (pass.read > io.b) ErrExit(13, "b wrong; too much blocks");
  if (closeGaps) CloseGapsOrExit(pass.blocks.get(), io);
  return std::move(pass.blocks);
}

// k from the first block of a file that nobody gave k for: the numbers of
// its first line. False, with a message, beyond the limit.
bool KFromFirstBlock(const TextPiece& piece, const char* fileName, LoadParams& io) {
  char line[LINE_BUFSIZE];
  PieceText(piece, line, false, true);
  int32_t numbers[LINE_BUFSIZE];
  const int n = ReadNumberLine(numbers, LINE_BUFSIZE, line, nullptr);
  if (n > MAX_K) {
    DualPrint("Err: <%s> line %lu: the first block has %d points; k = %d is above the limit "
              "%u.\n",
              fileName, static_cast<unsigned long>(piece.line), n, n, MAX_K);
    return false;
  }
  io.k = static_cast<uint16_t>(n);
  return true;
}

// An object acts like an ID line: every parameter it leaves out must come
// from the command line. False, naming what is missing, when one did not.
bool NamesEveryParam(const char* fileName, const LoadParams& io) {
  const struct {
    const char* name;
    uint16_t value;
  } params[] = {{"v", io.v}, {"k", io.k}, {"t", io.t}, {"m", io.m}, {"l", io.l}};
  std::string names, options;
  for (const auto& p : params) {
    if (p.value != 0) continue;
    names += std::string(names.empty() ? "" : ", ") + p.name;
    options += std::string(options.empty() ? "-" : ", -") + p.name;
  }
  if (names.empty()) return true;
  DualPrint("Err: <%s> gives no %s: name them in the object or give %s.\n", fileName, names.c_str(),
            options.c_str());
  return false;
}

// A design written as one nested list (JSON, GAP): read whole, then its
// points checked against the range the parameters give, which a JSON
// object may name only after its blocks.
BlockArray LoadNestedList(TextCursor& text, const char* fileName, LoadParams& io, bool closeGaps,
                          uint64_t bound) {
  BlockArray blocks;
  NestedListFault fault;
  if (!ReadNestedList(text, io, bound, blocks, fault)) {
    if (fault.overBound) OverBoundExit(fileName, io.b, io.k, bound);
    if (fault.code == BLK_NOT_BLOCK) {
      DualPrint("Err: <%s> line %lu: not a list of blocks: %s\n", fileName,
                static_cast<unsigned long>(fault.line), fault.text.c_str());
      ErrExit(BLK_NOT_BLOCK, BlockLineErrText(BLK_NOT_BLOCK));
    }
    if (fault.code == 13) ErrExit(13, "b wrong; too much blocks");
    long low = 0, high = 0;
    BlockRange(io, closeGaps, low, high);
    BlockLineFault where;
    where.line = fault.line;
    where.digits = fault.number.data();
    where.digitCount = fault.number.size();
    where.numbers = fault.numbers;
    BlockLineExit(fileName, fault.code, where, fault.k, low, high, io.b, fault.numbers);
  }
  if (!io.idLine) DualPrint("WARNING: No ID line found. ReCheck v,k and especially t,m,l ! \n");
  if (io.idLine && !NamesEveryParam(fileName, io)) return nullptr;
  if (!ParamsValid(io)) return nullptr;
  long low = 0, high = 0;
  BlockRange(io, closeGaps, low, high);
  const Point* const points = blocks.get();
  for (uint64_t i = 0; i < uint64_t{io.b} * io.k; ++i) {
    if (points[i] >= low && points[i] <= high) continue;
    DualPrint("Err: <%s> block %lu: point %u is outside %ld..%ld\n", fileName,
              static_cast<unsigned long>(i / io.k + 1), static_cast<unsigned>(points[i]), low,
              high);
    ErrExit(BLK_RANGE, BlockLineErrText(BLK_RANGE));
  }
  if (closeGaps) CloseGapsOrExit(blocks.get(), io);
  return blocks;
}

// A line the header scans pass over that holds a digit: no number is
// dropped without a word.
void WarnHeaderNumbers(const char* fileName, const TextPiece& piece) {
  if (!HeaderHoldsNumber(piece.begin, piece.end)) return;
  const char* text = SkipLead(piece.begin, piece.end);
  const char* end = text;
  while (end < piece.end && *end != '\r' && *end != '\n') ++end;
  DualPrint("Warn: <%s> line %lu holds a number but no block; read as a header: %s\n", fileName,
            static_cast<unsigned long>(piece.line),
            ShownLineText(text, static_cast<size_t>(end - text)).c_str());
}

// One design of an XML file (formats/xmldesign.hpp); its points are 0..v-1
// whatever -a says. A standard input that holds more than one design gives
// its first, with a warning: it cannot be read again for the others.
BlockArray LoadXml(TextCursor& text, const char* fileName, LoadParams& io, uint64_t bound) {
  BlockArray blocks;
  XmlFault fault;
  if (!ReadXmlDesign(text, io, bound, blocks, fault)) {
    DualPrint("Err: <%s> design %lu: %s\n", fileName, static_cast<unsigned long>(io.design) + 1,
              fault.text.c_str());
    if (fault.overBound) AllocExit(fileName);
    ErrExit(fault.code, BlockLineErrText(fault.code));
  }
  if (io.designsHeld > 1 && std::strcmp(fileName, STDIN_NAME) == 0)
    DualPrint("Warn: standard input holds %lu designs; it is read once, so the first alone is "
              "run.\n",
              static_cast<unsigned long>(io.designsHeld));
  if (!io.idLine) DualPrint("WARNING: No ID line found. ReCheck v,k and especially t,m,l ! \n");
  if (!ParamsValid(io)) return nullptr;
  return blocks;
}

enum class Scan { kId, kLoad, kNoHeader };

// The keyword scan: finds a "load" line, an ID line with the rest of the
// header, or a first block line before either. After an ID line the text is
// left at the first line the block reader is to see.
Scan KeywordScan(TextCursor& text, const char* fileName, bool newFNameSchemeRun, LoadParams& io,
                 HeaderState& hs, std::string& loadName) {
  char line[LINE_BUFSIZE];
  const char* p = nullptr;
  TextPiece piece;
  for (;;) {
    if (!NextTextPiece(text, true, piece)) ErrExit(3, kHeaderErr);
    PieceText(piece, line, false, true);
    p = SkipLead(line);
    if (IsKeyword(p, "load")) {
      loadName = LoadTarget(p + 4);
      return Scan::kLoad;
    }
    if (IsKeyword(p, "ID ")) break;
    if (IsDataLine(p)) {
      // The line-count scan goes on from here: the lines before held
      // neither an ID line nor a data line, so it would count none of them.
      UnreadPiece(text, piece);
      return Scan::kNoHeader;
    }
    WarnHeaderNumbers(fileName, piece);
  }
  ParseIdInto(p, fileName, newFNameSchemeRun, io, hs);
  bool valid = ParamsValid(io);
  if (valid && hs.kind == 0) {
    for (;;) {
      if (!NextTextPiece(text, true, piece)) {
        valid = false; // the file ends before its first block
        break;
      }
      PieceText(piece, line, false, true);
      p = SkipLead(line);
      if (IsKeyword(p, "data")) break;
      if (IsKeyword(p, "base")) {
        io.base = BaseKeywordValue(p);
        continue;
      }
      if (IsDataLine(p)) {
        UnreadPiece(text, piece); // the first block line
        break;
      }
      WarnHeaderNumbers(fileName, piece);
    }
  }
  if (!valid) {
    if (io.k > MAX_K) StdoutPrint("k(=%d) > K_MAX(=%d). Adjust K_MAX...\n", io.k, MAX_K);
    ErrExit(2, kHeaderErr);
  }
  return Scan::kId;
}

// The line-count scan over the rest of the text: takes the ID line if there
// is one (the text is left behind it); otherwise counts the data lines as b
// and, for compressed data, goes back to the first of them (false, with a
// message, when the input cannot). A plain file's blocks are read in the
// same pass (see PlainPass), up to the memory bound.
bool LineCountScan(TextCursor& text, const char* fileName, bool newFNameSchemeRun, LoadParams& io,
                   HeaderState& hs, bool closeGaps, uint64_t bound, PlainPass& pass) {
  char line[LINE_BUFSIZE];
  uint64_t dataLines = 0;
  TextMark firstData;
  TextPiece piece;
  while (NextTextPiece(text, true, piece)) {
    const char* p = SkipLead(piece.begin, piece.end);
    if (StartsWithNumber(piece.begin, piece.end)) {
      if (dataLines == 0) {
        firstData = MarkOf(text, piece);
        if (hs.kind != 0) {
          PieceText(piece, line, false, true);
          if (!SniffCTextHeader(line, hs.chi, hs.headerB)) hs.kind = 0;
        }
        if (hs.kind == 0) {
          if (io.kOpen) {
            if (!KFromFirstBlock(piece, fileName, io)) return false;
            io.kFromData = true;
          }
          pass.active = true;
          BlockRange(io, closeGaps, pass.low, pass.high);
          // (k is not checked yet; blocks of no points take no room.)
          pass.most = io.k != 0 ? bound / BlockBytes(1, io.k) : UINT64_MAX;
          pass.progress = StartProgress(fileName);
        }
      }
      ++dataLines;
    } else if (p < piece.end && (*p == 'I' || *p == 'i')) {
      PieceText(piece, line, false, true);
      p = SkipLead(line);
      if (IsKeyword(p, "ID ")) {
        if (dataLines > 0)
          DualPrint("Warn: <%s>: %lu lines of numbers before the ID line (line %lu) are read as "
                    "a header\n",
                    fileName, static_cast<unsigned long>(dataLines),
                    static_cast<unsigned long>(piece.line));
        ParseIdInto(p, fileName, newFNameSchemeRun, io, hs);
        hs.headerB = 0; // b is the ID line's alone
        io.kFromData = false;
        pass = PlainPass{};
        return true;
      }
    }
    if (dataLines == 0) WarnHeaderNumbers(fileName, piece);
    if (pass.active && pass.code == BLK_OK) PassBlockLine(pass, piece, fileName, io.k, bound);
  }
  DualPrint("WARNING: No ID line found. ReCheck v,k and especially t,m,l ! \n");
  // More lines than MAX_B must fail the parameter check, not wrap to a small b.
  io.b = static_cast<uint32_t>(std::min<uint64_t>(dataLines, uint64_t{MAX_B} + 1));
  if (pass.active || dataLines == 0 || SeekToMark(text, firstData)) return true;
  DualPrint("Err: can't read <%s> again from line %lu: standard input and FIFOs are read once; "
            "give the design as a file.\n",
            fileName, static_cast<unsigned long>(firstData.line));
  return false;
}

// The data offset of a compressed binary file: behind its first line (read
// as up to 255 characters through the newline). The cursor is at the start
// and stays there.
uint64_t CBinDataOffset(TextCursor& text) {
  text.source->Fill(text.pos, text.end, LINE_BUFSIZE);
  uint64_t n = 0;
  while (text.pos + n < text.end && n < LINE_BUFSIZE - 1)
    if (text.pos[n++] == '\n') break;
  return text.source->OffsetOf(text.pos + n);
}

BlockArray SysLoadAt(const char* fileName, LoadParams& io, bool nameGiven, uint8_t expectedKind,
                     bool closeGaps, bool newFNameSchemeRun, uint64_t bound, int depth);

// A "load" line: the named file, relative to this file's directory, is read
// instead of this one.
BlockArray IndirectLoad(const char* fileName, const std::string& target, LoadParams& io,
                        uint8_t expectedKind, bool closeGaps, bool newFNameSchemeRun,
                        uint64_t bound, int depth) {
  if (depth >= MAX_LOAD_DEPTH) {
    DualPrint("Err: more than %d nested \"load\" lines; is there a loop? %s\n", MAX_LOAD_DEPTH,
              fileName);
    return nullptr;
  }
  const PathParts parts = SplitPath(fileName);
  std::string dir(parts.dir);
  if (dir.size() > 1) dir.pop_back(); // the root keeps its "/"
  const std::string_view baseName = parts.base;

  BlockArray result;
  {
    CurrentDirGuard guard;
    if (!guard.Saved()) return nullptr;
    if (!dir.empty()) {
      std::error_code error;
      std::filesystem::current_path(dir, error);
      if (error) return nullptr;
    }
    result = SysLoadAt(target.c_str(), io, false, expectedKind, closeGaps, newFNameSchemeRun, bound,
                       depth + 1);
  }
  if (baseName.size() >= 3 && IsDigit(baseName[2])) io.t = static_cast<uint16_t>(baseName[2] - '0');
  if (baseName.size() >= 4 && IsDigit(baseName[3])) io.m = static_cast<uint16_t>(baseName[3] - '0');
  return result;
}

BlockArray SysLoadAt(const char* fileName, LoadParams& io, bool nameGiven, uint8_t expectedKind,
                     bool closeGaps, bool newFNameSchemeRun, uint64_t bound, int depth) {
  HeaderState hs;
  hs.kind = expectedKind;
  if (!nameGiven) {
    ParamsOf(io) = DesignParams{};
    io.base = 1;
  }
  io.v1 = nameGiven ? io.v : 0;
  io.b = io.w1 = io.w2 = 0;
  io.idLine = false;
  io.kFromData = io.vFromData = false;

  if (fileName == nullptr) return nullptr;
  InputStream input;
  if (!OpenDesignInput(fileName, input)) return nullptr;
  TextCursor text = CursorOn(input);
  const uint64_t cbinOffset = CBinDataOffset(text);
  if (StartsXml(text)) return LoadXml(text, fileName, io, bound);
  if (StartsNestedList(text)) return LoadNestedList(text, fileName, io, closeGaps, bound);

  if (!nameGiven) {
    std::string loadName;
    switch (KeywordScan(text, fileName, newFNameSchemeRun, io, hs, loadName)) {
    case Scan::kLoad:
      return IndirectLoad(fileName, loadName, io, expectedKind, closeGaps, newFNameSchemeRun, bound,
                          depth);
    case Scan::kNoHeader: nameGiven = true; break;
    case Scan::kId: break;
    }
  }
  PlainPass pass;
  if (nameGiven &&
      !LineCountScan(text, fileName, newFNameSchemeRun, io, hs, closeGaps, bound, pass))
    return nullptr;

  io.b = std::max(io.b, hs.headerB);
  if (!ParamsValid(io)) return nullptr;
  const uint64_t size = input.KnownSize();
  if (hs.kind == 0 && size != UINT64_MAX && !TextCanHold(size, io.b, io.k)) {
    DualPrint("Err: <%s> has %lu bytes, too few for %lu blocks\n", fileName,
              static_cast<unsigned long>(size), static_cast<unsigned long>(io.b));
    ErrExit(BLK_MISSING, BlockLineErrText(BLK_MISSING));
  }
  if (pass.active) return FinishPlainPass(pass, fileName, io, closeGaps);
  CheckMemoryBound(fileName, io.b, io.k, bound);
  // The array grows as blocks arrive, up to b: what a file claims costs
  // nothing until its data holds it.
  BlockArray blocks;
  try {
    switch (hs.kind) {
    case 0: ReadPlainBlocks(blocks, text, fileName, io, closeGaps); return blocks;
    case 1:
      if (ReadCText(blocks, text, io.v, io.k, io.b, hs.chi, hs.cei) != io.b) return nullptr;
      return blocks;
    case 2:
      if (!input.SeekTo(cbinOffset, text.pos, text.end)) {
        DualPrint("Err: can't read <%s> again from its second line: standard input and FIFOs "
                  "are read once; give the design as a file.\n",
                  fileName);
        return nullptr;
      }
      if (ReadCBin(blocks, text, io.v, io.k, io.b, hs.chi, hs.cei) != io.b) return nullptr;
      return blocks;
    default:
      DualPrint("Err: Invalid Compression Arg %hu\n", static_cast<unsigned short>(hs.kind));
      return nullptr;
    }
  } catch (const std::bad_alloc&) {
    AllocExit(fileName);
  }
}

} // namespace

bool OpenDesignInput(const char* fileName, InputStream& input) {
  std::string reason;
  if (input.Open(fileName, reason)) return true;
  DualPrint("Err: can't open <%s> (%s)\n", fileName, reason.c_str());
  return false;
}

BlockArray SysLoad(const char* fileName, LoadParams& io, bool nameGiven, uint8_t expectedKind,
                   bool closeGaps, bool newFNameSchemeRun, uint64_t memoryBound) {
  const uint64_t bound = memoryBound != 0 ? memoryBound : DefaultMemoryBound();
  return SysLoadAt(fileName, io, nameGiven, expectedKind, closeGaps, newFNameSchemeRun, bound, 0);
}

bool SniffCTextHeader(const char* line, uint32_t& chi, uint32_t& b) {
  const char* start = SkipLead(line);
  int commas = 0;
  for (const char* p = start; commas < 4 && (IsDigit(*p) || *p == ','); ++p)
    if (*p == ',') ++commas;
  if (commas < 4) return false;
  const char* second = std::strchr(start, ',') + 1;
  chi = static_cast<uint32_t>(LeadingDecimal(start, UINT32_MAX));
  b = static_cast<uint32_t>(LeadingDecimal(second, UINT32_MAX));
  return true;
}

uint32_t DesignsInFile(const char* fileName, uint64_t memoryBound) {
  InputStream input;
  std::string reason;
  // Only a regular file is read twice: a FIFO's designs are read as the
  // run reads them, the first alone.
  struct stat st {};
  if (::stat(fileName, &st) != 0 || !S_ISREG(st.st_mode) || !input.Open(fileName, reason)) return 1;
  TextCursor text = CursorOn(input);
  uint32_t count = 1;
  XmlFault fault;
  if (StartsXml(text) &&
      !CountXmlDesigns(text, memoryBound != 0 ? memoryBound : DefaultMemoryBound(), count, fault))
    return 1;
  return count;
}

bool ReadSys(Sys& sys, bool nameGiven, const LoadOptions& opt) {
  sys.fLoaded = 0;
  sys.blocks.reset();
  sys.b = 0;
  sys.ulAlloc = 0;
  if (opt.base >= 0) sys.base = static_cast<uint16_t>(opt.base);

  LoadParams io;
  ParamsOf(io) = sys;
  io.base = sys.base;
  io.b = sys.b;
  io.kOpen = sys.given.k == 0;
  io.design = opt.designIndex;
  BlockArray blocks = SysLoad(sys.szFileName, io, nameGiven, opt.bCompressed, opt.closeGaps,
                              sys.fNewFNameScheme != 0, opt.memoryBound);
  ParamsOf(sys) = io;
  sys.b = io.b;
  const bool haveArray = blocks != nullptr;
  sys.blocks = std::move(blocks);
  sys.ulAlloc = haveArray ? sys.b : 0;
  if (!haveArray || sys.b == 0) return false;

  sys.given.usFileBase = io.base;
  // The file's own base wins over -a, as it always did; a user who gave -a
  // is told, as for t, m and l.
  if (opt.baseGiven && opt.base >= 0 && io.base != opt.base)
    DualPrint("WARNING: the file gives base %hu, which is used instead of -a%hd.\n", io.base,
              opt.base);
  sys.fIdLine = io.idLine ? 1 : 0;
  sys.fKFromData = io.kFromData ? 1 : 0;
  sys.fVFromData = io.vFromData ? 1 : 0;
  if ((sys.given.v != 0 && sys.given.v != sys.v) || (sys.given.k != 0 && sys.given.k != sys.k)) {
    DualPrint("Err: v and k can't be overridden!\n");
    sys.b = 0;
    return false;
  }
  // A t, m or l given on the command line overrides the file's.
  DesignParams used = sys;
  if (sys.given.t != 0) used.t = sys.given.t;
  if (sys.given.m != 0) used.m = sys.given.m;
  if (sys.given.l != 0) used.l = sys.given.l;
  if (!CheckDesignParams(used, sys.b, static_cast<int16_t>(sys.v), true)) {
    sys.b = 0;
    return false;
  }
  if (used.t != sys.t || used.m != sys.m || used.l != sys.l) {
    DualPrint("WARNING: overriding design params from t=%hd,m=%hd,l=%hd \n"
              "         to the given:                 t=%hd,m=%hd,l=%hd.\n\n",
              static_cast<short>(sys.t), static_cast<short>(sys.m), static_cast<short>(sys.l),
              static_cast<short>(used.t), static_cast<short>(used.m), static_cast<short>(used.l));
    ParamsOf(sys) = used;
  }
  // The array is numbered in the file's base; bring it to the asked one.
  const uint16_t asked = sys.base;
  sys.base = io.base;
  ChangeBase(sys, static_cast<int16_t>(asked));
  if (opt.sort) SortBlocks(sys.blocks.get(), sys.b, sys.k, true);
  sys.fLoaded = 1;
  return true;
}

bool LoadSys(Sys& sys, const char* fileName, const LoadOptions& opt) {
  sys.fLoaded = 0;
  if (!SetSysFileName(sys, fileName)) return false;
  sys.fLoaded = ReadSys(sys, false, opt) ? 1 : 0;
  return sys.fLoaded != 0;
}

} // namespace kovra
