// The compressed text format, and the rank-difference walker and decoder that
// the compressed binary format shares with it.
#include "formats/ctext.hpp"

#include "base/console.hpp"
#include "formats/textfmt.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <new>

namespace kovra {
namespace {

// Longest item: two 20-digit numbers, "^" and ",".
constexpr size_t kItemCapacity = 48;

void AppendNumber(std::string& line, uint64_t value) {
  char text[24];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  line.append(text, static_cast<size_t>(end - text));
}

// "%lu,"
void AppendItem(std::string& line, uint64_t value) {
  AppendNumber(line, value);
  line.push_back(',');
}

// "%lu^%lu,"
void AppendRepeatItem(std::string& line, uint64_t value, uint64_t count) {
  AppendNumber(line, value);
  line.push_back('^');
  AppendItem(line, count);
}

// The separators of an item line (TABs are blanks by now).
bool IsItemSeparator(char c) {
  return c == ' ' || c == '\t' || c == ',' || c == '/' || c == '\r' || c == '\n';
}

// The value of the digits at p (none gives 0), saturating instead of wrapping
// so that an absurdly long number can never pass for a small one.
uint64_t LeadingValue(const char* p, const char* end) {
  return LeadingDecimal(std::string_view(p, static_cast<size_t>(end - p)), UINT64_MAX);
}

} // namespace

bool CompressedRanksFit(unsigned v, unsigned k) { return BinomialWide(v, k) <= UINT32_MAX; }

void PrintRanksDoNotFit(unsigned v, unsigned k) {
  char count[48];
  Count128Text(BinomialWide(v, k), count, sizeof count);
  DualPrint("Err: the %s blocks of C(%u,%u) have ranks beyond the 32 bits of the compressed "
            "formats;\n     write and read such a design as plain text (-g0).\n",
            count, v, k);
}

uint64_t RankOfBlock(const RankTable& table, const Point* block, unsigned base) {
  Point comb[MAX_K];
  int previous = 0;
  for (unsigned j = 0; j < table.t; ++j) {
    const int p = static_cast<int>(block[j]) - static_cast<int>(base) + 1;
    if (p <= previous || p > static_cast<int>(table.n)) return 0;
    comb[j] = static_cast<Point>(p);
    previous = p;
  }
  return RankFast(table, comb);
}

bool InitRankDecoder(RankDecoder& dec, Point* blocks, uint32_t capacity, unsigned v, unsigned k,
                     BlockArray* growing) {
  if (k < 1 || k > MAX_K || v < k || v > MAX_V ||
      (blocks == nullptr && capacity != 0 && growing == nullptr))
    return false;
  if (!CompressedRanksFit(v, k)) {
    PrintRanksDoNotFit(v, k);
    return false;
  }
  dec.growing = growing;
  dec.room = 0;
  dec.blocks = growing != nullptr ? growing->get() : blocks;
  dec.capacity = capacity;
  dec.count = 0;
  dec.v = v;
  dec.k = k;
  dec.maxRank = Binomial(v, k);
  dec.rank = 0;
  dec.badRank = 0;
  dec.rankError = false;
  dec.sums = RankSums{};
  dec.binom.assign(size_t{v + 1} * (k + 1), 0);
  for (unsigned n = 0; n <= v; ++n)
    for (unsigned j = 0; j <= k; ++j) dec.binom[size_t{n} * (k + 1) + j] = Binomial(n, j);
  return true;
}

bool DecodeRankDiff(RankDecoder& dec, uint64_t d) {
  // dec.rank never exceeds maxRank, so the subtraction cannot wrap.
  if (d > dec.maxRank - dec.rank || dec.rank + d == 0) {
    dec.badRank = d > UINT64_MAX - dec.rank ? UINT64_MAX : dec.rank + d;
    dec.rankError = true;
    return false;
  }
  if (dec.growing != nullptr && dec.count >= dec.room) {
    if (!GrowBlocks(*dec.growing, dec.room, dec.count + uint64_t{1}, dec.capacity, dec.k))
      throw std::bad_alloc();
    dec.blocks = dec.growing->get();
  }
  dec.rank += d;
  dec.sums.cs2 += static_cast<uint32_t>(d);
  dec.sums.cs1 += static_cast<uint32_t>(dec.rank);
  // The reference UnrankComb with the binomials from the table.
  Point* out = dec.blocks + size_t{dec.count} * dec.k;
  const unsigned v = dec.v;
  const unsigned k = dec.k;
  unsigned i = 1;
  uint64_t below = 0;
  for (unsigned j = 1; j <= k; ++j) {
    while (i + k <= v + j) {
      const uint64_t next = below + dec.binom[size_t{v - i} * (k + 1) + (k - j)];
      if (next >= dec.rank) break;
      below = next;
      ++i;
    }
    out[j - 1] = static_cast<Point>(i);
    ++i;
  }
  ++dec.count;
  return true;
}

void RepeatLastBlock(RankDecoder& dec, uint64_t count) {
  const uint64_t total = dec.count + count;
  if (dec.growing != nullptr && total > dec.room) {
    if (!GrowBlocks(*dec.growing, dec.room, total, dec.capacity, dec.k)) throw std::bad_alloc();
    dec.blocks = dec.growing->get();
  }
  // A long run costs its memory and little time: never unranked, and copied
  // in ever larger pieces (each copy doubles the rows done).
  Point* const first = dec.blocks + size_t{dec.count} * dec.k;
  std::copy_n(first - dec.k, dec.k, first);
  for (uint64_t done = 1; done < count;) {
    const uint64_t piece = std::min(done, count - done);
    std::copy_n(first, piece * dec.k, first + done * dec.k);
    done += piece;
  }
  dec.count = static_cast<uint32_t>(total);
  // The checksums as count additions of the rank (and of 0) would leave them.
  dec.sums.cs1 += static_cast<uint32_t>(dec.rank) * static_cast<uint32_t>(count);
}

bool CheckCompressedRead(const RankDecoder& dec, const ReadOutcome& got, uint32_t chi, uint32_t b,
                         uint16_t v, uint16_t k) {
  using UL = unsigned long;
  const uint32_t cs1 = dec.sums.cs1 % CHECKSUM_MODULUS;
  const uint32_t cs2 = dec.sums.cs2 % CHECKSUM_MODULUS;
  if (got.hdrItems != chi) {
    DualPrint("Err cH=%lu vs. AulHdrItems=%lu\n", static_cast<UL>(got.hdrItems),
              static_cast<UL>(chi));
  } else if (got.hdrB != b) {
    DualPrint("Err bH=%lu vs. Ab=%lu\n", static_cast<UL>(got.hdrB), static_cast<UL>(b));
  } else if (got.hdrV != v) {
    DualPrint("Err vH=%lu vs. Av=%lu\n", static_cast<UL>(got.hdrV), static_cast<UL>(v));
  } else if (got.hdrK != k) {
    DualPrint("Err kH=%lu vs. Ak=%lu\n", static_cast<UL>(got.hdrK), static_cast<UL>(k));
  } else if (dec.rankError) {
    DualPrint("Err rank=%lu vs. Cn(v,k)=%lu\n", static_cast<UL>(dec.badRank),
              static_cast<UL>(dec.maxRank));
  } else if (got.blocksRead == 0 || got.blocksRead != b) {
    DualPrint("Err b=%lu vs. Ab=%lu\n", static_cast<UL>(got.blocksRead), static_cast<UL>(b));
  } else if (cs1 != got.cs1File) {
    DualPrint("Err CS1=%lu vs. CS1File=%lu\n", static_cast<UL>(cs1), static_cast<UL>(got.cs1File));
  } else if (cs2 != got.cs2File) {
    DualPrint("Err CS2=%lu vs. CS2File=%lu\n", static_cast<UL>(cs2), static_cast<UL>(got.cs2File));
  } else {
    return true;
  }
  return false;
}

void FlushCTextLine(std::FILE* stream, std::string& line, size_t threshold, bool final) {
  const size_t n = line.size();
  if (n == 0 || (n < threshold && !final)) return;
  if (final && line.back() == ',') line.pop_back();
  std::fputs(line.c_str(), stream);
  std::fputc('\n', stream);
  line.clear();
}

bool WriteCText(Sys& sys, std::FILE* stream, uint32_t cll, bool cfExp) {
  if (cll < MIN_CLL || cll > MAX_CLL) {
    DualPrint("\rErr: AvgLineLen given not in range. Should be 32..%ld\n",
              static_cast<long>(MAX_CLL));
    return false;
  }
  if (!sys.blocks && sys.b != 0) return false;
  if (!CompressedRanksFit(sys.v, sys.k)) {
    PrintRanksDoNotFit(sys.v, sys.k);
    return false;
  }
  SortBlocks(sys.blocks.get(), sys.b, sys.k, false);
  IdRecord id = IdLineOf(sys, sys.b);
  id.bCmpr = 1;
  id.CLL = cll;
  id.CfExp = cfExp ? 1 : 0;
  WriteIdHeader(stream, id, nullptr);

  // One buffer for the whole file: a line is flushed before it passes
  // CLL - 4 + one item, well inside the capacity reserved here.
  std::string line;
  line.reserve(LINE_BUFSIZE + kItemCapacity);
  AppendItem(line, MIN_HDR_ITEMS);
  AppendItem(line, sys.b);
  AppendItem(line, sys.v);
  AppendItem(line, sys.k);
  const size_t threshold = cll - 4;

  const auto emitRun = [&](uint64_t d, uint64_t count) {
    if (cfExp && count >= 2) {
      AppendRepeatItem(line, d, count);
      FlushCTextLine(stream, line, threshold, false);
      return;
    }
    for (uint64_t i = 0; i < count; ++i) {
      AppendItem(line, d);
      FlushCTextLine(stream, line, threshold, false);
    }
  };
  RankSums sums;
  if (!ForEachRankRun(sys.blocks.get(), sys.b, sys.v, sys.k, sys.base, sums, emitRun)) return false;

  AppendItem(line, sums.cs1 % CHECKSUM_MODULUS);
  FlushCTextLine(stream, line, threshold, false);
  AppendItem(line, sums.cs2 % CHECKSUM_MODULUS);
  FlushCTextLine(stream, line, threshold, true);
  return true;
}

namespace {

uint32_t ReadCTextInto(Point* blocks, BlockArray* growing, TextCursor& text, uint16_t v, uint16_t k,
                       uint32_t b, uint32_t chi, uint32_t cei) {
  if (chi < MIN_HDR_ITEMS || chi > MAX_HDR_ITEMS || cei < MIN_END_ITEMS || cei > MAX_END_ITEMS)
    return 0;
  RankDecoder dec;
  if (!InitRankDecoder(dec, blocks, b, v, k, growing)) return 0;

  // A header item that never comes must not count as a mismatch.
  ReadOutcome got;
  got.hdrItems = chi;
  got.hdrB = b;
  got.hdrV = v;
  got.hdrK = k;
  const uint64_t dataEnd = static_cast<uint64_t>(chi) + b;
  uint64_t n = 0; // items taken so far
  bool stop = false;

  // Takes one item; false when reading is to stop.
  const auto take = [&](uint64_t d) {
    ++n;
    if (n <= chi) {
      switch (n) {
      case 1: got.hdrItems = d; return d == chi;
      case 2: got.hdrB = d; return d == b;
      case 3: got.hdrV = d & 0xFFFFu; return got.hdrV == v;
      case 4: got.hdrK = d & 0xFFFFu; return got.hdrK == k;
      default: return true; // further header items carry nothing we use
      }
    }
    if (n <= dataEnd) return DecodeRankDiff(dec, d);
    if (n == dataEnd + 1) {
      got.cs1File = d;
      return true;
    }
    if (n == dataEnd + 2) {
      got.cs2File = d;
      return true;
    }
    return false;
  };

  char buf[LINE_BUFSIZE];
  while (!stop && ReadTextLine(buf, text, false, true, true)) {
    const char* p = SkipLead(buf);
    while (!stop && IsDigit(*p)) {
      const char* end = p;
      while (*end != '\0' && !IsItemSeparator(*end)) ++end;
      const uint64_t d = LeadingValue(p, end);
      uint64_t repeat = 1;
      if (const void* caret = std::memchr(p, '^', static_cast<size_t>(end - p)))
        repeat = LeadingValue(static_cast<const char*>(caret) + 1, end);
      if (repeat == 0) stop = true;
      // A run of repeated blocks within the data goes in one step.
      if (d == 0 && !stop && n > chi && n < dataEnd && dec.count > 0) {
        const uint64_t run = std::min(repeat, dataEnd - n);
        RepeatLastBlock(dec, run);
        n += run;
        repeat -= run;
      }
      // Every pass takes an item, and take() stops after CHI + b + 3 items,
      // so a huge repeat count costs no more than the design itself.
      for (uint64_t i = 0; i < repeat && !stop; ++i) stop = !take(d);
      p = end;
      while (*p != '\0' && IsItemSeparator(*p)) ++p;
    }
  }

  got.blocksRead = dec.count;
  return CheckCompressedRead(dec, got, chi, b, v, k) ? b : 0;
}

} // namespace

uint32_t ReadCText(Point* blocks, TextCursor& text, uint16_t v, uint16_t k, uint32_t b,
                   uint32_t chi, uint32_t cei) {
  return ReadCTextInto(blocks, nullptr, text, v, k, b, chi, cei);
}

uint32_t ReadCText(BlockArray& blocks, TextCursor& text, uint16_t v, uint16_t k, uint32_t b,
                   uint32_t chi, uint32_t cei) {
  return ReadCTextInto(nullptr, &blocks, text, v, k, b, chi, cei);
}

} // namespace kovra
