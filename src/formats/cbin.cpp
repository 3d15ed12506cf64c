// The compressed binary format.
#include "formats/cbin.hpp"

#include "base/console.hpp"
#include "formats/ctext.hpp"
#include "formats/textfmt.hpp"

#include <algorithm>

namespace kovra {
namespace {

void EmitByte(BitStream& s) {
  if (s.out != nullptr && std::fputc(s.outByte, s.out) == EOF) s.writeError = true;
  ++s.bytesWritten;
  s.outByte = 0;
  s.outBit = s.bitsPerByte - 1;
}

// Loads the next input byte; false (for good) at the end of the input.
bool LoadByte(BitStream& s) {
  if (s.endOfInput) return false;
  if (s.in != nullptr && s.in == s.inEnd && s.source != nullptr && !s.source->AtEnd()) {
    auto pos = reinterpret_cast<const char*>(s.in);
    auto end = reinterpret_cast<const char*>(s.inEnd);
    s.source->Fill(pos, end, MAX_LINE_BYTES);
    s.in = reinterpret_cast<const uint8_t*>(pos);
    s.inEnd = reinterpret_cast<const uint8_t*>(end);
  }
  if (s.in == nullptr || s.in == s.inEnd) {
    s.endOfInput = true;
    return false;
  }
  s.inByte = *s.in++;
  ++s.bytesRead;
  s.inBit = s.bitsPerByte - 1;
  return true;
}

uint64_t LowBits(uint64_t value, unsigned n) {
  return n >= 64 ? value : value & ((uint64_t{1} << n) - 1);
}

} // namespace

void PutBit(BitStream& s, unsigned bit) {
  const auto mask = static_cast<uint8_t>(1u << s.outBit);
  s.outByte = static_cast<uint8_t>(bit != 0 ? s.outByte | mask : s.outByte & ~mask);
  if (--s.outBit < 0) EmitByte(s);
}

// Whole groups of bits go into the byte at once; the result is the same as
// PutBit for every bit from n - 1 down to 0.
void PutBits(BitStream& s, uint64_t value, unsigned n) {
  while (n > 0) {
    const unsigned room = static_cast<unsigned>(s.outBit) + 1;
    const unsigned take = std::min(n, room);
    const auto bits = static_cast<unsigned>(LowBits(value >> (n - take), take));
    const unsigned shift = room - take;
    const unsigned mask = ((1u << take) - 1) << shift;
    s.outByte = static_cast<uint8_t>((s.outByte & ~mask) | (bits << shift));
    s.outBit -= static_cast<int>(take);
    n -= take;
    if (s.outBit < 0) EmitByte(s);
  }
}

void FlushBits(BitStream& s) {
  if (s.outBit != s.bitsPerByte - 1) EmitByte(s);
}

int GetBit(BitStream& s) {
  if (s.inBit < 0 && !LoadByte(s)) return -1;
  return (s.inByte >> s.inBit--) & 1;
}

// Takes the bits left in the current byte at once; the same as n GetBit calls.
uint64_t GetBits(BitStream& s, unsigned n) {
  uint64_t value = 0;
  while (n > 0) {
    if (s.inBit < 0 && !LoadByte(s)) return value; // the missing low bits stay 0
    const unsigned have = static_cast<unsigned>(s.inBit) + 1;
    const unsigned take = std::min(n, have);
    const uint64_t bits = (s.inByte >> (have - take)) & ((1u << take) - 1);
    value |= bits << (n - take);
    s.inBit -= static_cast<int>(take);
    n -= take;
  }
  return value;
}

unsigned BitLength(uint64_t n) {
  unsigned bits = 1;
  while (n > 1) {
    n >>= 1;
    ++bits;
  }
  return bits;
}

void PrintBinStats(const BitStream& s, uint64_t bytesIn) {
  const uint64_t shown = bytesIn != 0 ? bytesIn : s.bytesRead;
  DualPrint("BinCompressed: BytesIn=%lu BytesOut=%lu \n", static_cast<unsigned long>(shown),
            static_cast<unsigned long>(s.bytesWritten));
  if (s.bytesWritten != 0 && bytesIn != 0) {
    const auto out = static_cast<long double>(s.bytesWritten);
    const auto in = static_cast<long double>(bytesIn);
    DualPrint("Ratio: %.5LG bits/byte, %.5LG:1, %.5LG%% stored. \n", out * 8 / in, in / out,
              out * 100 / in);
  }
}

void PutCBinValue(BitStream& s, uint32_t value) {
  if (value < 128) {
    PutBits(s, value, 8); // bit 0 and 7 bits of value
    return;
  }
  const unsigned width = (std::max(BitLength(value), 8u) + 3) / 4 * 4; // 8, 12, ..., 32
  PutBits(s, 2, 2);
  PutBits(s, width / 4 - 2, 3);
  PutBits(s, value, width);
}

void PutCBinRepeat(BitStream& s, uint32_t count) {
  const unsigned bits = std::max(BitLength(count), 2u);
  const unsigned q = (bits - 2 + 2) / 3; // the least q with 3q + 2 >= bits
  PutBits(s, 3, 2);
  PutBits(s, q, 3);
  PutBits(s, count, 3 * q + 2);
}

bool WriteCBin(Sys& sys, std::FILE* out, bool useRepeats) {
  if (!sys.blocks && sys.b != 0) return false;
  if (!CompressedRanksFit(sys.v, sys.k)) {
    PrintRanksDoNotFit(sys.v, sys.k);
    return false;
  }
  // The header gives v eight bits (docs/C_DECODE.TXT).
  if (sys.v > MAX_CBIN_V) {
    DualPrint("Err: v = %u is above the %u the compressed binary header holds;\n     write and "
              "read such a design as compressed text (-g1) or plain text (-g0).\n",
              static_cast<unsigned>(sys.v), MAX_CBIN_V);
    return false;
  }
  SortBlocks(sys.blocks.get(), sys.b, sys.k, false);

  IdRecord id = IdLineOf(sys, sys.b);
  id.bCmpr = 2;
  WriteIdHeader(out, id, nullptr);
  BitStream s;
  s.out = out;
  PutBits(s, 4, 5);
  PutBits(s, sys.b, 32);
  PutBits(s, sys.v, 8);
  PutBits(s, sys.k, 8);

  const auto emitRun = [&](uint64_t d, uint64_t count) {
    // Ranks stay below 2^32 (CompressedRanksFit), so every difference fits a
    // value code.
    const auto value = static_cast<uint32_t>(d);
    PutCBinValue(s, value);
    if (useRepeats && count >= 2) {
      for (uint64_t left = count - 1; left > 0;) {
        const auto piece = static_cast<uint32_t>(std::min<uint64_t>(left, MAX_CBIN_REPEAT));
        PutCBinRepeat(s, piece);
        left -= piece;
      }
      return;
    }
    for (uint64_t i = 1; i < count; ++i) PutCBinValue(s, value);
  };
  RankSums sums;
  if (!ForEachRankRun(sys.blocks.get(), sys.b, sys.v, sys.k, sys.base, sums, emitRun)) {
    DualPrint("ERROR happened!\n");
    return false;
  }

  PutBits(s, sums.cs1 % CHECKSUM_MODULUS, 32);
  PutBits(s, sums.cs2 % CHECKSUM_MODULUS, 32);
  FlushBits(s);
  PrintBinStats(s, static_cast<uint64_t>(sys.k) * sys.b);
  return true;
}

namespace {

uint32_t ReadCBinInto(Point* blocks, BlockArray* growing, BitStream& s, uint16_t v, uint16_t k,
                      uint32_t b, uint32_t chi, uint32_t cei) {
  if (chi < MIN_HDR_ITEMS || chi > MAX_HDR_ITEMS || cei < MIN_END_ITEMS || cei > MAX_END_ITEMS)
    return 0;
  RankDecoder dec;
  if (!InitRankDecoder(dec, blocks, b, v, k, growing)) return 0;

  ReadOutcome got;
  bool syncError = false;
  got.hdrItems = GetBits(s, 5);
  got.hdrB = GetBits(s, 32);
  got.hdrV = GetBits(s, 8);
  got.hdrK = GetBits(s, 8);
  for (uint64_t i = 4; i < got.hdrItems; ++i) GetBits(s, 8);

  // Counts up to b + 1: a repeat that runs past b shows as one block too many.
  uint64_t& blocksRead = got.blocksRead;
  if (got.hdrItems == chi && got.hdrB == b && got.hdrV == v && got.hdrK == k) {
    uint64_t d = 0;
    while (blocksRead < b && !dec.rankError) {
      const int first = GetBit(s);
      if (first < 0) break;
      uint64_t repeat = 1;
      if (first == 0) {
        d = GetBits(s, 7);
      } else {
        const int second = GetBit(s);
        const auto q = static_cast<unsigned>(GetBits(s, 3));
        if (second == 1 && blocksRead == 0) {
          syncError = true; // a repeat with nothing to repeat: not a stream we wrote
          break;
        }
        if (second == 0 && q == 7) {
          GetBits(s, 36);
          continue;
        }
        const uint64_t field = GetBits(s, second == 1 ? 3 * q + 2 : 4 * q + 8);
        if (second == 1)
          repeat = field;
        else
          d = field;
      }
      // A code cut off by the end of the file carries no value.
      if (s.endOfInput) break;
      if (d == 0 && dec.count > 0 && blocksRead < b) {
        const uint64_t run = std::min(repeat, b - blocksRead);
        RepeatLastBlock(dec, run);
        blocksRead += run;
        repeat -= run;
      }
      for (uint64_t i = 0; i < repeat; ++i) {
        if (blocksRead == b) {
          ++blocksRead;
          break;
        }
        if (!DecodeRankDiff(dec, d)) break;
        ++blocksRead;
      }
    }
    if (!syncError && !dec.rankError) {
      got.cs1File = GetBits(s, 32);
      got.cs2File = GetBits(s, 32);
      for (uint64_t i = 2; i < cei; ++i) GetBits(s, 8);
    }
  }

  PrintBinStats(s, 0);
  if (syncError) {
    DualPrint("Err SyncErr\n");
    return 0;
  }
  return CheckCompressedRead(dec, got, chi, b, v, k) ? b : 0;
}

} // namespace

uint32_t ReadCBin(Point* blocks, const char* data, size_t size, uint16_t v, uint16_t k, uint32_t b,
                  uint32_t chi, uint32_t cei) {
  BitStream s;
  s.in = reinterpret_cast<const uint8_t*>(data);
  s.inEnd = s.in + (data != nullptr ? size : 0);
  return ReadCBinInto(blocks, nullptr, s, v, k, b, chi, cei);
}

uint32_t ReadCBin(BlockArray& blocks, TextCursor& text, uint16_t v, uint16_t k, uint32_t b,
                  uint32_t chi, uint32_t cei) {
  BitStream s;
  s.in = reinterpret_cast<const uint8_t*>(text.pos);
  s.inEnd = reinterpret_cast<const uint8_t*>(text.end);
  s.source = text.source;
  return ReadCBinInto(nullptr, &blocks, s, v, k, b, chi, cei);
}

} // namespace kovra
