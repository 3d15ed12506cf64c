// The design loader.
#include "formats/loader.hpp"

#include "base/console.hpp"
#include "base/fatal.hpp"
#include "base/file.hpp"
#include "formats/cbin.hpp"
#include "formats/ctext.hpp"
#include "formats/idline.hpp"
#include "formats/textfmt.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
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
}

// b as the parameter check sees it. The check reads -1 as "not known", so a
// header's 4294967295 would pass it; every b above the limit shows as the
// most negative value instead and fails.
int32_t CheckedB(uint32_t b) {
  return b > static_cast<uint32_t>(MAX_B) ? INT32_MIN : static_cast<int32_t>(b);
}

bool ParamsValid(const LoadParams& io) {
  return CheckDesignParams(static_cast<int16_t>(io.v), static_cast<int16_t>(io.k),
                           static_cast<int16_t>(io.t), static_cast<int16_t>(io.m),
                           static_cast<int16_t>(io.l), CheckedB(io.b), static_cast<int16_t>(io.v1),
                           true);
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

// False only when the file is a regular one too short to hold b block lines:
// each needs k numbers and k-1 separators, so at least 2k-1 bytes.
bool FileCanHold(const char* fileName, uint32_t b, uint16_t k) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(fileName, error);
  if (error) return true; // not a regular file; nothing to judge by
  return static_cast<uintmax_t>(b) * (2u * k - 1u) <= size;
}

enum class Scan { kId, kLoad, kNoHeader };

// The keyword scan: finds a "load" line, an ID line with the rest of the
// header, or a first block line before either.
Scan KeywordScan(std::FILE* file, const char* fileName, bool newFNameSchemeRun, LoadParams& io,
                 HeaderState& hs, std::string& pending, std::string& loadName) {
  char line[LINE_BUFSIZE];
  const char* p = nullptr;
  for (;;) {
    if (!ReadTextLine(line, file, false, true, true)) ErrExit(3, kHeaderErr);
    p = SkipLead(line);
    if (IsKeyword(p, "load")) {
      loadName = LoadTarget(p + 4);
      return Scan::kLoad;
    }
    if (IsKeyword(p, "ID ")) break;
    if (IsDecimalDigit(*p)) return Scan::kNoHeader;
  }
  ParseIdInto(p, fileName, newFNameSchemeRun, io, hs);
  bool valid = ParamsValid(io);
  if (valid && hs.kind == 0) {
    for (;;) {
      if (!ReadTextLine(line, file, false, true, true)) {
        valid = false; // the file ends before its first block
        break;
      }
      p = SkipLead(line);
      if (IsKeyword(p, "data")) break;
      if (IsKeyword(p, "base")) {
        io.base = BaseKeywordValue(p);
        continue;
      }
      if (IsDecimalDigit(*p)) {
        pending = line;
        break;
      }
    }
  }
  if (!valid) {
    if (io.k > MAX_K) StdoutPrint("k(=%d) > K_MAX(=%d). Adjust K_MAX...\n", io.k, MAX_K);
    ErrExit(2, kHeaderErr);
  }
  return Scan::kId;
}

// The line-count scan: takes the ID line if there is one; otherwise counts
// the block lines and leaves the file at the first of them. False when the
// file cannot be positioned (a pipe, say).
bool LineCountScan(std::FILE* file, const char* fileName, bool newFNameSchemeRun, LoadParams& io,
                   HeaderState& hs) {
  if (std::fseek(file, 0, SEEK_SET) != 0) return false;
  char line[LINE_BUFSIZE];
  uint64_t dataLines = 0;
  uint64_t leadingLines = 0;
  while (ReadTextLine(line, file, false, true, true)) {
    const char* p = SkipLead(line);
    if (IsKeyword(p, "ID ")) {
      ParseIdInto(p, fileName, newFNameSchemeRun, io, hs);
      hs.headerB = 0; // b is the ID line's alone
      return true;
    }
    if (IsDecimalDigit(*p)) {
      if (dataLines == 0 && hs.kind != 0 && !SniffCTextHeader(p, hs.chi, hs.headerB)) hs.kind = 0;
      ++dataLines;
    } else if (dataLines == 0) {
      ++leadingLines;
    }
  }
  if (std::fseek(file, 0, SEEK_SET) != 0) return false;
  for (uint64_t i = 0; i < leadingLines; ++i) ReadTextLine(line, file, false, true, true);
  DualPrint("WARNING: No ID line found. ReCheck v,k and especially t,m,l ! \n");
  // More lines than MAX_B must fail the parameter check, not wrap to a small b.
  io.b = static_cast<uint32_t>(std::min<uint64_t>(dataLines, uint64_t{MAX_B} + 1));
  return true;
}

// The plain block lines, straight into the array.
void ReadPlainBlocks(Block* blocks, std::FILE* file, const char* fileName, const LoadParams& io,
                     bool closeGaps, const char* firstLine) {
  long low = io.base;
  long high = static_cast<long>(io.base) + io.v - 1;
  if (closeGaps) {
    low = 0;
    high = MAX_N;
  }
  StderrPrint("%s \r", fileName);
  for (uint32_t i = 0; i < io.b; ++i) {
    StderrPrint("%d \r", static_cast<int>(i));
    ReadBlockLineOrExit(blocks[i], io.k, low, high, file, i == 0 ? firstLine : nullptr);
  }
  Block extra{};
  if (ReadBlockLine(extra, io.k, low, high, file, nullptr) == BLK_OK)
    ErrExit(13, "b wrong; too much blocks");
  if (closeGaps) {
    // Renumbered points must stay within v (the counters are sized by it)
    // and within a byte.
    const unsigned distinct = CloseGaps(blocks, io.b, static_cast<int16_t>(io.base));
    if (distinct > io.v || io.base + distinct - 1 > MAX_N)
      ErrExit(BLK_RANGE, BlockLineErrText(BLK_RANGE));
  }
}

// The data offset of a compressed binary file: behind its first line (read
// as up to 255 characters through the newline), in binary mode.
bool CBinDataOffset(const char* fileName, long& offset) {
  FilePtr file(std::fopen(fileName, "rb"));
  if (!file) return false;
  for (int n = 0; n < LINE_BUFSIZE - 1; ++n) {
    const int c = std::getc(file.get());
    if (c == EOF || c == '\n') break;
  }
  offset = std::ftell(file.get());
  return offset >= 0;
}

BlockArray SysLoadAt(const char* fileName, LoadParams& io, bool nameGiven, uint8_t expectedKind,
                     bool closeGaps, bool newFNameSchemeRun, int depth);

// A "load" line: the named file, relative to this file's directory, is read
// instead of this one (whose file is closed by now).
BlockArray IndirectLoad(const char* fileName, const std::string& target, LoadParams& io,
                        uint8_t expectedKind, bool closeGaps, bool newFNameSchemeRun, int depth) {
  if (depth >= MAX_LOAD_DEPTH) {
    DualPrint("Err: more than %d nested \"load\" lines; is there a loop? %s\n", MAX_LOAD_DEPTH,
              fileName);
    return nullptr;
  }
  const std::string_view name(fileName);
  const size_t slash = name.rfind('/');
  std::string dir;
  std::string_view baseName = name;
  if (slash != std::string_view::npos) {
    dir = std::string(name.substr(0, slash + 1));
    baseName.remove_prefix(slash + 1);
    if (dir.size() > 1) dir.pop_back(); // the root keeps its "/"
  }
  baseName = baseName.substr(0, baseName.rfind('.'));

  BlockArray result;
  {
    CurrentDirGuard guard;
    if (!guard.Saved()) return nullptr;
    if (!dir.empty()) {
      std::error_code error;
      std::filesystem::current_path(dir, error);
      if (error) return nullptr;
    }
    result =
        SysLoadAt(target.c_str(), io, false, expectedKind, closeGaps, newFNameSchemeRun, depth + 1);
  }
  if (baseName.size() >= 3 && IsDecimalDigit(baseName[2]))
    io.t = static_cast<uint16_t>(baseName[2] - '0');
  if (baseName.size() >= 4 && IsDecimalDigit(baseName[3]))
    io.m = static_cast<uint16_t>(baseName[3] - '0');
  return result;
}

BlockArray SysLoadAt(const char* fileName, LoadParams& io, bool nameGiven, uint8_t expectedKind,
                     bool closeGaps, bool newFNameSchemeRun, int depth) {
  HeaderState hs;
  hs.kind = expectedKind;
  if (!nameGiven) {
    io.v = io.k = io.t = io.m = io.l = 0;
    io.base = 1;
  }
  io.v1 = nameGiven ? io.v : 0;
  io.b = io.w1 = io.w2 = 0;

  if (fileName == nullptr) return nullptr;
  // A directory opens like a file on some systems but has no lines to read.
  std::error_code error;
  if (std::filesystem::is_directory(fileName, error)) return nullptr;
  FilePtr file(std::fopen(fileName, "r"));
  if (!file) return nullptr;

  std::string pending; // a first block line met while reading the header
  if (!nameGiven) {
    // Just opened, the file is at its start; not seeking lets a pipe through
    // as long as its header needs no second pass.
    std::string loadName;
    switch (KeywordScan(file.get(), fileName, newFNameSchemeRun, io, hs, pending, loadName)) {
    case Scan::kLoad:
      file.reset();
      return IndirectLoad(fileName, loadName, io, expectedKind, closeGaps, newFNameSchemeRun,
                          depth);
    case Scan::kNoHeader: nameGiven = true; break;
    case Scan::kId: break;
    }
  }
  if (nameGiven && !LineCountScan(file.get(), fileName, newFNameSchemeRun, io, hs)) return nullptr;

  io.b = std::max(io.b, hs.headerB);
  if (!ParamsValid(io)) return nullptr;
  if (hs.kind == 0 && !FileCanHold(fileName, io.b, io.k))
    ErrExit(BLK_MISSING, BlockLineErrText(BLK_MISSING));
  BlockArray blocks = AllocBlocks(io.b);
  if (!blocks) {
    std::string text(std::strlen(fileName) + 16, '\0');
    std::snprintf(text.data(), text.size(), "AllocErr: %s", fileName);
    ErrExit(3, text.c_str());
  }
  SetBlockK(blocks[0], io.k);

  switch (hs.kind) {
  case 0:
    ReadPlainBlocks(blocks.get(), file.get(), fileName, io, closeGaps,
                    pending.empty() ? nullptr : pending.c_str());
    return blocks;
  case 1:
    if (ReadCText(blocks.get(), file.get(), io.v, io.k, io.b, hs.chi, hs.cei) != io.b)
      return nullptr;
    return blocks;
  case 2: {
    file.reset();
    long offset = 0;
    if (!CBinDataOffset(fileName, offset)) return nullptr;
    if (ReadCBin(blocks.get(), fileName, offset, io.v, io.k, io.b, hs.chi, hs.cei) != io.b)
      return nullptr;
    return blocks;
  }
  default:
    DualPrint("Err: Invalid Compression Arg %hu\n", static_cast<unsigned short>(hs.kind));
    return nullptr;
  }
}

} // namespace

BlockArray SysLoad(const char* fileName, LoadParams& io, bool nameGiven, uint8_t expectedKind,
                   bool closeGaps, bool newFNameSchemeRun) {
  return SysLoadAt(fileName, io, nameGiven, expectedKind, closeGaps, newFNameSchemeRun, 0);
}

bool SniffCTextHeader(const char* line, uint32_t& chi, uint32_t& b) {
  const char* start = SkipLead(line);
  int commas = 0;
  for (const char* p = start; commas < 4 && (IsDecimalDigit(*p) || *p == ','); ++p)
    if (*p == ',') ++commas;
  if (commas < 4) return false;
  const char* second = std::strchr(start, ',') + 1;
  chi = static_cast<uint32_t>(LeadingDecimal(start, UINT32_MAX));
  b = static_cast<uint32_t>(LeadingDecimal(second, UINT32_MAX));
  return true;
}

bool ReadSys(Sys& sys, bool sort, int16_t base, bool nameGiven, uint8_t bCompressed,
             bool closeGaps) {
  sys.fLoaded = 0;
  sys.blocks.reset();
  sys.b = 0;
  sys.ulAlloc = 0;
  sys.fSorted = 0;
  if (base < 0) base = static_cast<int16_t>(sys.base);
  sys.base = static_cast<uint16_t>(base);

  LoadParams io;
  io.v = sys.v;
  io.k = sys.k;
  io.t = sys.t;
  io.m = sys.m;
  io.l = sys.l;
  io.base = sys.base;
  io.b = sys.b;
  BlockArray blocks =
      SysLoad(sys.szFileName, io, nameGiven, bCompressed, closeGaps, sys.fNewFNameScheme != 0);
  SetSysParams(sys, io.v, io.k, io.t, io.m, io.l);
  sys.b = io.b;
  const bool haveArray = blocks != nullptr;
  sys.blocks = std::move(blocks);
  sys.ulAlloc = haveArray ? sys.b : 0;
  if (!haveArray || sys.b == 0) return false;

  sys.given.usFileBase = io.base;
  if ((sys.given.V != 0 && sys.given.V != sys.v) || (sys.given.K != 0 && sys.given.K != sys.k)) {
    DualPrint("Err: v and k can't be overridden!\n");
    sys.b = 0;
    return false;
  }
  const uint16_t t = sys.given.T != 0 ? sys.given.T : sys.t;
  const uint16_t m = sys.given.M != 0 ? sys.given.M : sys.m;
  const uint16_t l = sys.given.L != 0 ? sys.given.L : sys.l;
  if (!CheckDesignParams(static_cast<int16_t>(sys.v), static_cast<int16_t>(sys.k),
                         static_cast<int16_t>(t), static_cast<int16_t>(m), static_cast<int16_t>(l),
                         static_cast<int32_t>(sys.b), static_cast<int16_t>(sys.v), true)) {
    sys.b = 0;
    return false;
  }
  if (t != sys.t || m != sys.m || l != sys.l) {
    DualPrint("WARNING: overriding design params from t=%hd,m=%hd,l=%hd \n"
              "         to the given:                 t=%hd,m=%hd,l=%hd.\n\n",
              static_cast<short>(sys.t), static_cast<short>(sys.m), static_cast<short>(sys.l),
              static_cast<short>(t), static_cast<short>(m), static_cast<short>(l));
    sys.t = t;
    sys.m = m;
    sys.l = l;
  }
  // The array is numbered in the file's base; bring it to the asked one.
  const uint16_t asked = sys.base;
  sys.base = io.base;
  ChangeBase(sys, static_cast<int16_t>(asked));
  sys.fSorted = sort ? 1 : 0;
  if (sort) SortBlocks(sys.blocks.get(), sys.b, true);
  sys.fLoaded = 1;
  return true;
}

bool LoadSys(Sys& sys, const char* fileName, bool sort, int16_t base, uint8_t bCompressed,
             bool closeGaps) {
  sys.fLoaded = 0;
  if (!SetSysFileName(sys, fileName)) return false;
  sys.fLoaded = ReadSys(sys, sort, base, false, bCompressed, closeGaps) ? 1 : 0;
  return sys.fLoaded != 0;
}

} // namespace kovra
