// The compressed binary format: the bit stream, the codes and their widths,
// the worked examples byte for byte, every message of the reader, the rank
// guard, hostile streams, the temporary file and round trips.
#include "base/console.hpp"
#include "compressed_samples.hpp"
#include "design/combinatorics.hpp"
#include "formats/cbin.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace kovra {
namespace {

using namespace samples;
using namespace std::string_literals;

const char kIdLineRep[] = "ID 5 4 2 5 0/0 2/2 1 2 1 2 4 2 64 1 ...\n";
// The two example streams, as the format's description spells them out.
const std::string kStreamRep = "\x20\x00\x00\x00\x20\x28\x10\x0E\x10\x40\x30\x00\x00\x01\x20\x00"
                               "\x00\x00\x90"s;
const std::string kStreamNoRep = "\x20\x00\x00\x00\x20\x28\x10\x08\x08\x20\x18\x00\x00\x00\x90"
                                 "\x00\x00\x00\x48"s;
const char kWriterStats[] = "BinCompressed: BytesIn=8 BytesOut=19 \n"
                            "Ratio: 19 bits/byte, 0.42105:1, 237.5% stored. \n";

// Bits collected MSB first and packed into bytes, without the BitStream under
// test: the streams the reader is fed are built independently of the writer.
struct Bits {
  std::vector<int> bits;
  Bits& put(uint64_t value, unsigned n) {
    for (unsigned i = n; i-- > 0;) bits.push_back(static_cast<int>((value >> i) & 1));
    return *this;
  }
  Bits& value(uint64_t d) { // the shortest value code, by the description
    if (d < 128) return put(0, 1).put(d, 7);
    unsigned w = 8;
    while (w < 32 && (d >> w) != 0) w += 4;
    return put(2, 2).put(w / 4 - 2, 3).put(d, w);
  }
  Bits& repeat(unsigned q, uint64_t n) { return put(3, 2).put(q, 3).put(n, 3 * q + 2); }
  Bits& filler(uint64_t junk) { return put(2, 2).put(7, 3).put(junk, 36); }
  Bits& header(uint64_t h, uint64_t b, uint64_t v, uint64_t k) {
    return put(h, 5).put(b, 32).put(v, 8).put(k, 8);
  }
  std::string bytes() const {
    std::string out((bits.size() + 7) / 8, '\0');
    for (size_t i = 0; i < bits.size(); ++i)
      if (bits[i] != 0) out[i / 8] = static_cast<char>(out[i / 8] | (0x80 >> (i % 8)));
    return out;
  }
};

struct Written {
  bool ok = false;
  std::string console;
};

Written WriteToFile(Sys& sys, const char* path, bool useRepeats) {
  Written w;
  ConsoleCapture cap;
  w.ok = WriteCBin(sys, path, useRepeats);
  w.console = cap.out;
  return w;
}

struct Read {
  uint32_t result = 0;
  BlockList blocks;
  std::string console;
};

// Reads the file at `path` whose data starts after its first LF, into an array
// of exactly b blocks.
Read ReadFromFile(const std::string& path, uint16_t v, uint16_t k, uint32_t b, uint32_t chi = 4,
                  uint32_t cei = 2) {
  Read r;
  const std::string content = ReadFile(path);
  const size_t lf = content.find('\n');
  const long offset = lf == std::string::npos ? 0 : static_cast<long>(lf + 1);
  BlockArray blocks = AllocBlocks(b == 0 ? 1 : b);
  {
    ConsoleCapture cap;
    r.result = ReadCBin(blocks.get(), path.c_str(), offset, v, k, b, chi, cei);
    r.console = cap.out;
  }
  r.blocks = ListOf(blocks.get(), b, k);
  return r;
}

// Reads a stream given as bytes (behind a short ID line).
Read ReadStream(const std::string& stream, uint16_t v, uint16_t k, uint32_t b, uint32_t chi = 4,
                uint32_t cei = 2) {
  TempPath file;
  WriteFile(file.str(), "ID 5 4 2 ...\n" + stream);
  return ReadFromFile(file.str(), v, k, b, chi, cei);
}

std::string Stats(size_t bytesRead) {
  return "BinCompressed: BytesIn=" + std::to_string(bytesRead) + " BytesOut=0 \n";
}

// The example stream with -N, built from its fields.
Bits ExampleBits() {
  Bits b;
  b.header(4, 4, 5, 2).value(1).repeat(0, 1).value(4).value(3).put(18, 32).put(9, 32);
  return b;
}

// Bits a writer has produced so far.
uint64_t BitCount(const BitStream& s) {
  return s.bytesWritten * 8 + static_cast<uint64_t>(7 - s.outBit);
}

// ---- Worked examples ------------------------------------------------------

TEST(CBinExample, IndependentBuilderSpellsTheDescribedStream) {
  EXPECT_EQ(ExampleBits().bits.size(), 148u);
  EXPECT_EQ(ExampleBits().bytes(), kStreamRep);
  Bits plain;
  plain.header(4, 4, 5, 2).value(1).value(1).value(4).value(3).put(18, 32).put(9, 32);
  EXPECT_EQ(plain.bits.size(), 149u);
  EXPECT_EQ(plain.bytes(), kStreamNoRep);
}

TEST(CBinExample, WrittenByteForByteWithStatistics) {
  for (bool rep : {true, false}) {
    TempPath file;
    Sys s = ExampleDesign();
    const Written w = WriteToFile(s, file.c_str(), rep);
    EXPECT_TRUE(w.ok);
    EXPECT_EQ(w.console, kWriterStats);
    EXPECT_EQ(ReadFile(file.str()), kIdLineRep + (rep ? kStreamRep : kStreamNoRep));
    EXPECT_EQ(ListOf(s.blocks.get(), s.b, 2), kExampleBlocks); // left sorted
  }
  EXPECT_EQ(ReadFile(DataFile("example_rep.cbin")), kIdLineRep + kStreamRep);
  EXPECT_EQ(ReadFile(DataFile("example_norep.cbin")), kIdLineRep + kStreamNoRep);
  EXPECT_EQ(ReadFile(DataFile("example_cbin_write.stats")), kWriterStats);
}

TEST(CBinExample, GoldenFilesReadBack) {
  for (const char* name : {"example_rep.cbin", "example_norep.cbin"}) {
    const Read r = ReadFromFile(DataFile(name), 5, 2, 4);
    EXPECT_EQ(r.result, 4u) << name;
    EXPECT_EQ(r.console, Stats(19)) << name;
    EXPECT_EQ(r.console, ReadFile(DataFile("example_cbin_read.stats")));
    EXPECT_EQ(r.blocks, kExampleBlocks) << name;
  }
}

// ---- Bit stream -----------------------------------------------------------

TEST(BitStream, BitLengths) {
  const std::pair<uint64_t, unsigned> cases[] = {
      {0, 1}, {1, 1}, {2, 2}, {127, 7}, {128, 8}, {255, 8}, {256, 9}, {1u << 31, 32}, {~0ull, 64}};
  for (auto [n, bits] : cases) EXPECT_EQ(BitLength(n), bits) << n;
}

TEST(BitStream, PutBitsAndPutBitWriteTheSameBytes) {
  std::mt19937_64 rng(1);
  std::FILE* a = std::tmpfile();
  std::FILE* b = std::tmpfile();
  ASSERT_TRUE(a && b);
  BitStream sa, sb;
  sa.out = a;
  sb.out = b;
  Bits ref;
  for (int i = 0; i < 2000; ++i) {
    const unsigned n = rng() % 65;
    const uint64_t value = rng();
    PutBits(sa, value, n);
    for (unsigned j = n; j-- > 0;) PutBit(sb, static_cast<unsigned>((value >> j) & 1));
    ref.put(value, n);
  }
  FlushBits(sa);
  FlushBits(sb);
  FlushBits(sa); // a second flush adds nothing
  EXPECT_EQ(sa.bytesWritten, (ref.bits.size() + 7) / 8);
  EXPECT_EQ(sb.bytesWritten, sa.bytesWritten);
  std::string fa, fb;
  for (std::FILE* f : {a, b}) {
    std::rewind(f);
    std::string& dst = f == a ? fa : fb;
    for (int c; (c = std::fgetc(f)) != EOF;) dst.push_back(static_cast<char>(c));
    std::fclose(f);
  }
  EXPECT_EQ(fa, ref.bytes());
  EXPECT_EQ(fb, ref.bytes());
}

TEST(BitStream, GetBitsAndGetBitAgreeAndStopCleanlyAtTheEnd) {
  std::mt19937_64 rng(2);
  Bits ref;
  std::vector<unsigned> widths;
  for (int i = 0; i < 500; ++i) {
    widths.push_back(static_cast<unsigned>(rng() % 65));
    ref.put(rng(), widths.back());
  }
  TempPath file;
  WriteFile(file.str(), ref.bytes());
  std::FILE* f1 = std::fopen(file.c_str(), "rb");
  std::FILE* f2 = std::fopen(file.c_str(), "rb");
  BitStream s1, s2;
  s1.in = f1;
  s2.in = f2;
  size_t pos = 0;
  for (unsigned n : widths) {
    uint64_t expect = 0;
    for (unsigned j = 0; j < n; ++j) expect = expect << 1 | static_cast<uint64_t>(ref.bits[pos++]);
    ASSERT_EQ(GetBits(s1, n), expect);
    uint64_t bitwise = 0;
    for (unsigned j = 0; j < n; ++j) bitwise = bitwise << 1 | static_cast<uint64_t>(GetBit(s2));
    ASSERT_EQ(bitwise, expect);
  }
  // The filler bits of the last byte, then the end: the missing low bits of a
  // field read as 0, and every read after the end fails.
  const unsigned filler = static_cast<unsigned>(8 * ref.bytes().size() - ref.bits.size());
  EXPECT_EQ(GetBits(s1, filler + 3), 0u);
  EXPECT_TRUE(s1.endOfInput);
  EXPECT_EQ(GetBit(s1), -1);
  EXPECT_EQ(GetBit(s1), -1);
  EXPECT_EQ(s1.bytesRead, ref.bytes().size());
  std::fclose(f1);
  std::fclose(f2);

  WriteFile(file.str(), "\xA5"); // 1010 0101
  std::FILE* f3 = std::fopen(file.c_str(), "rb");
  BitStream s3;
  s3.in = f3;
  EXPECT_EQ(GetBits(s3, 3), 5u);    // 101
  EXPECT_EQ(GetBits(s3, 8), 0x28u); // 00101 and three missing bits 000
  EXPECT_EQ(GetBits(s3, 4), 0u);
  std::fclose(f3);
}

TEST(CBinCodes, ValueCodeWidths) {
  const std::pair<uint32_t, uint64_t> cases[] = {
      {0, 8},     {1, 8},     {127, 8},    {128, 13},   {255, 13},      {256, 17},
      {4095, 17}, {4096, 21}, {65535, 21}, {65536, 25}, {1u << 31, 37}, {0xFFFFFFFFu, 37}};
  for (auto [value, bits] : cases) {
    BitStream s; // counts only
    PutCBinValue(s, value);
    EXPECT_EQ(BitCount(s), bits) << value;
  }
}

TEST(CBinCodes, ValueAndRepeatCodesSpelledOut) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  BitStream s;
  s.out = f;
  PutCBinValue(s, 127);      // 0 1111111
  PutCBinValue(s, 256);      // 10 001 000100000000
  PutCBinRepeat(s, 2);       // 11 000 10
  PutCBinRepeat(s, 4);       // 11 001 00100
  PutCBinValue(s, 1u << 31); // 10 110 1 + 31 zeros
  FlushBits(s);
  Bits ref;
  ref.put(0x7F, 8).put(2, 2).put(1, 3).put(256, 12).put(3, 2).put(0, 3).put(2, 2);
  ref.put(3, 2).put(1, 3).put(4, 5).put(2, 2).put(6, 3).put(1u << 31, 32);
  std::rewind(f);
  std::string got;
  for (int c; (c = std::fgetc(f)) != EOF;) got.push_back(static_cast<char>(c));
  std::fclose(f);
  EXPECT_EQ(got, ref.bytes());
}

TEST(CBinCodes, RepeatCodeWidths) {
  const std::pair<uint32_t, uint64_t> cases[] = {{1, 7},   {3, 7},    {4, 10},   {31, 10},
                                                 {32, 13}, {255, 13}, {256, 16}, {8388607, 28}};
  for (auto [count, bits] : cases) {
    BitStream s;
    PutCBinRepeat(s, count);
    EXPECT_EQ(BitCount(s), bits) << count;
  }
}

TEST(CBinStats, ReaderFormShowsBytesReadAndNoRatio) {
  BitStream s;
  s.bytesRead = 19;
  ConsoleCapture cap;
  PrintBinStats(s, 0);
  EXPECT_EQ(cap.out, "BinCompressed: BytesIn=19 BytesOut=0 \n");
}

// ---- Writer ---------------------------------------------------------------

TEST(CBinWriter, DifferencesAcrossTheCodeBoundaries) {
  // Ranks 127, 255, 510, 766 of the 3-subsets of 54: differences 127, 128,
  // 255 and 256, taking 8, 13, 13 and 17 bits.
  BlockList blocks;
  for (uint64_t r : {766u, 127u, 510u, 255u}) {
    uint8_t c[3];
    UnrankComb(r, 54, 3, c);
    blocks.push_back({c[0], c[1], c[2]});
  }
  TempPath file;
  Sys s = MakeDesign(54, 3, blocks, 2, 3);
  ASSERT_TRUE(WriteToFile(s, file.c_str(), true).ok);
  const std::string content = ReadFile(file.str());
  const std::string stream = content.substr(content.find('\n') + 1);
  Bits ref;
  ref.header(4, 4, 54, 3).value(127).value(128).value(255).value(256);
  ref.put((127 + 255 + 510 + 766) % 65556, 32).put(766, 32);
  EXPECT_EQ(ref.bits.size(), 53u + 8 + 13 + 13 + 17 + 64);
  EXPECT_EQ(stream, ref.bytes());
  const Read r = ReadFromFile(file.str(), 54, 3, 4);
  EXPECT_EQ(r.result, 4u) << r.console;
  EXPECT_EQ(r.blocks, SortedBase1(blocks));
}

TEST(CBinWriter, RunsWithAndWithoutRepeats) {
  // Three equal differences: one value code and a repeat of 2 with -N.
  for (bool rep : {true, false}) {
    TempPath file;
    Sys s = MakeDesign(5, 1, {{1}, {2}, {3}}, 1, 1);
    ASSERT_TRUE(WriteToFile(s, file.c_str(), rep).ok);
    Bits ref;
    ref.header(4, 3, 5, 1).value(1);
    if (rep)
      ref.repeat(0, 2);
    else
      ref.value(1).value(1);
    ref.put(6, 32).put(3, 32);
    const std::string content = ReadFile(file.str());
    EXPECT_EQ(content, "ID 5 3 1 5 0/0 1/1 1 2 1 2 4 2 64 1 ...\n" + ref.bytes()) << rep;
  }
}

TEST(CBinWriter, BlocksWithoutRankRemoveTheFile) {
  TempPath file;
  Sys s = MakeDesign(5, 2, {{1, 2}, {0, 3}});
  const Written w = WriteToFile(s, file.c_str(), true);
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.console, "ERROR happened!\n");
  EXPECT_FALSE(FileExists(file.str()));
}

TEST(CBinWriter, UnopenableFileIsReported) {
  Sys s = ExampleDesign();
  const Written w = WriteToFile(s, "/nonexistent-kovra-dir/x.cbin", true);
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.console, "Err: fopen(/nonexistent-kovra-dir/x.cbin,...)\n");
}

TEST(CBinWriter, AFullDiskIsAFailureAndTheDeviceStays) {
  if (!FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::mt19937 rng(4);
  Sys s = MakeDesign(49, 6, RandomBlocks(rng, 49, 6, 3000), 3, 6);
  const Written w = WriteToFile(s, "/dev/full", true);
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.console, "Err: fwrite(/dev/full,...)\n");
  EXPECT_TRUE(FileExists("/dev/full"));
}

// The name announced in the warning, checked for its form.
std::string AnnouncedTempName(const std::string& console) {
  static const std::regex kWarn(
      "^WARN: couldn't create ordinary filename and can't dump binary data\nto stdout. "
      "Instead trying to write to a tempory file <(/tmp/kovra[A-Za-z0-9]{6}\\.tmp)>.\n");
  std::smatch m;
  if (!std::regex_search(console, m, kWarn)) return {};
  return m[1];
}

TEST(CBinWriter, NoNameWritesAFreshTemporaryFile) {
  Sys s = ExampleDesign();
  const Written w = WriteToFile(s, nullptr, true);
  EXPECT_TRUE(w.ok);
  const std::string name = AnnouncedTempName(w.console);
  ASSERT_FALSE(name.empty()) << w.console;
  EXPECT_TRUE(w.console.ends_with(kWriterStats));
  EXPECT_EQ(ReadFile(name), kIdLineRep + kStreamRep);
  std::remove(name.c_str());

  // Two calls never share a file.
  Sys s2 = ExampleDesign();
  const std::string a = AnnouncedTempName(WriteToFile(s2, nullptr, true).console);
  const std::string b = AnnouncedTempName(WriteToFile(s2, nullptr, true).console);
  EXPECT_NE(a, b);
  std::remove(a.c_str());
  std::remove(b.c_str());
}

TEST(CBinWriter, TemporaryFileIsRemovedWhenEncodingFails) {
  Sys s = MakeDesign(5, 2, {{1, 9}});
  const Written w = WriteToFile(s, nullptr, true);
  EXPECT_FALSE(w.ok);
  const std::string name = AnnouncedTempName(w.console);
  ASSERT_FALSE(name.empty()) << w.console;
  EXPECT_TRUE(w.console.ends_with("ERROR happened!\n"));
  EXPECT_FALSE(FileExists(name));
}

TEST(CBinWriter, LongRunsTakeSeveralRepeatCodes) {
  // One block {1} followed by 2^23 + 1 equal ones: value 1, value 0, then the
  // 2^23 further zeros as repeats of 8388607 and 1.
  const uint32_t b = 8388610;
  Sys s;
  ASSERT_TRUE(AllocSys(s, b, 1));
  SetSysParams(s, 1, 1, 1, 1, 1);
  s.b = b;
  for (uint32_t i = 0; i < b; ++i) s.blocks[i].pt[0] = 1;
  SetBlockK(s.blocks[0], 1);
  TempPath file;
  ASSERT_TRUE(WriteToFile(s, file.c_str(), true).ok);
  Bits ref;
  ref.header(4, b, 1, 1).value(1).value(0).repeat(7, 8388607).repeat(0, 1);
  ref.put(b % 65556, 32).put(1, 32);
  const std::string content = ReadFile(file.str());
  EXPECT_EQ(content.substr(content.find('\n') + 1), ref.bytes());

  BlockArray back = AllocBlocks(b);
  ConsoleCapture cap;
  EXPECT_EQ(
      ReadCBin(back.get(), file.c_str(), static_cast<long>(content.find('\n') + 1), 1, 1, b, 4, 2),
      b);
  EXPECT_EQ(back[b - 1].pt[0], 1);
}

// ---- Reader ---------------------------------------------------------------

TEST(CBinReader, RepeatCodeFirstIsASyncError) {
  Bits bits;
  bits.header(4, 4, 5, 2).repeat(0, 1).value(1).value(4).value(3).put(18, 32).put(9, 32);
  const Read r = ReadStream(bits.bytes(), 5, 2, 4);
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.console, Stats(8) + "Err SyncErr\n");
  // Also after a filler code: still no block to repeat.
  Bits after;
  after.header(4, 4, 5, 2).filler(0).repeat(0, 1).put(0, 64);
  EXPECT_TRUE(ReadStream(after.bytes(), 5, 2, 4).console.ends_with("Err SyncErr\n"));
}

TEST(CBinReader, FillerCodesAreSkippedAnywhereBetweenDataCodes) {
  Bits bits;
  bits.header(4, 4, 5, 2).filler(0xFFFFFFFFFull).value(1).filler(0x123456789ull).repeat(0, 1);
  bits.filler(0).value(4).filler(7).value(3).put(18, 32).put(9, 32);
  const Read r = ReadStream(bits.bytes(), 5, 2, 4);
  EXPECT_EQ(r.result, 4u) << r.console;
  EXPECT_EQ(r.blocks, kExampleBlocks);
  // After the b-th block the checksums follow at once: a filler there is
  // read as CS1 and fails.
  Bits late;
  late.header(4, 4, 5, 2).value(1).repeat(0, 1).value(4).value(3).filler(0);
  late.put(18, 32).put(9, 32);
  EXPECT_EQ(ReadStream(late.bytes(), 5, 2, 4).result, 0u);
}

TEST(CBinReader, ExtraHeaderAndEndItems) {
  Bits bits;
  bits.header(5, 4, 5, 2).put(0xAB, 8).value(1).repeat(0, 1).value(4).value(3);
  bits.put(18, 32).put(9, 32);
  Read r = ReadStream(bits.bytes(), 5, 2, 4, 5);
  EXPECT_EQ(r.result, 4u) << r.console;
  EXPECT_EQ(r.blocks, kExampleBlocks);
  // The same stream against an ID line saying CHI 4.
  r = ReadStream(bits.bytes(), 5, 2, 4, 4);
  EXPECT_EQ(r.result, 0u);
  EXPECT_TRUE(r.console.ends_with("Err cH=5 vs. AulHdrItems=4\n")) << r.console;
  // Two further end items are read and dropped.
  Bits ends = ExampleBits();
  ends.put(1, 8).put(2, 8);
  EXPECT_EQ(ReadStream(ends.bytes(), 5, 2, 4, 4, 4).result, 4u);
}

TEST(CBinReader, ItemCountsOutOfRangeOrNoFileGiveZeroSilently) {
  for (auto [chi, cei] : {std::pair{3u, 2u}, {32u, 2u}, {4u, 1u}, {4u, 32u}}) {
    const Read r = ReadStream(ExampleBits().bytes(), 5, 2, 4, chi, cei);
    EXPECT_EQ(r.result, 0u);
    EXPECT_EQ(r.console, "");
  }
  BlockArray blocks = AllocBlocks(4);
  ConsoleCapture cap;
  EXPECT_EQ(ReadCBin(blocks.get(), "/nonexistent-kovra-dir/x", 0, 5, 2, 4, 4, 2), 0u);
  EXPECT_EQ(BlockK(blocks[0]), 2u);
  EXPECT_EQ(ReadCBin(blocks.get(), nullptr, 0, 5, 2, 4, 4, 2), 0u);
  EXPECT_EQ(cap.out, "");
}

TEST(CBinReader, HeaderMismatchesInOrder) {
  struct Case {
    uint64_t h, b, v, k;
    const char* message;
  } cases[] = {
      {4, 5, 5, 2, "Err bH=5 vs. Ab=4\n"},
      {4, 4, 6, 2, "Err vH=6 vs. Av=5\n"},
      {4, 4, 5, 3, "Err kH=3 vs. Ak=2\n"},
      {3, 9, 9, 9, "Err cH=3 vs. AulHdrItems=4\n"},
  };
  for (const Case& c : cases) {
    Bits bits;
    bits.header(c.h, c.b, c.v, c.k).value(1).repeat(0, 1).value(4).value(3);
    bits.put(18, 32).put(9, 32);
    const Read r = ReadStream(bits.bytes(), 5, 2, 4);
    EXPECT_EQ(r.result, 0u);
    EXPECT_EQ(r.console, Stats(7) + c.message);
  }
}

TEST(CBinReader, RepeatPastTheLastBlockCountsOneTooMany) {
  Bits bits;
  bits.header(4, 4, 5, 2).value(1).repeat(1, 5).put(0, 64);
  Read r = ReadStream(bits.bytes(), 5, 2, 4);
  EXPECT_TRUE(r.console.ends_with("Err b=5 vs. Ab=4\n")) << r.console;
  // The longest count stops at b + 1 at once.
  Bits huge;
  huge.header(4, 4, 5, 2).value(1).repeat(7, 8388607).put(0, 64);
  r = ReadStream(huge.bytes(), 5, 2, 4);
  EXPECT_TRUE(r.console.ends_with("Err b=5 vs. Ab=4\n")) << r.console;
}

TEST(CBinReader, RanksOutsideTheDesignAreRejected) {
  // Ranks 1 2 6 11 with matching checksums 20 and 11.
  Bits over;
  over.header(4, 4, 5, 2).value(1).repeat(0, 1).value(4).value(5).put(20, 32).put(11, 32);
  Read r = ReadStream(over.bytes(), 5, 2, 4);
  EXPECT_EQ(r.result, 0u);
  EXPECT_TRUE(r.console.ends_with("Err rank=11 vs. Cn(v,k)=10\n")) << r.console;
  EXPECT_EQ(r.console.find("Err"), r.console.rfind("Err")); // one message
  // A first difference of 0 is rank 0.
  Bits zero;
  zero.header(4, 1, 5, 2).value(0).put(0, 64);
  r = ReadStream(zero.bytes(), 5, 2, 1);
  EXPECT_TRUE(r.console.ends_with("Err rank=0 vs. Cn(v,k)=10\n")) << r.console;
  // 65556 further on, both checksums repeat themselves.
  Bits wrap;
  wrap.header(4, 2, 5, 2).value(1).value(65556).put(2, 32).put(1, 32);
  r = ReadStream(wrap.bytes(), 5, 2, 2);
  EXPECT_TRUE(r.console.ends_with("Err rank=65557 vs. Cn(v,k)=10\n")) << r.console;
}

TEST(CBinReader, EveryTruncationEndsInTheDocumentedMessage) {
  // The -N example: header bits 0..52, data 53..83, CS1 84..115, CS2 116..147.
  for (size_t len = 0; len < kStreamRep.size(); ++len) {
    const Read r = ReadStream(kStreamRep.substr(0, len), 5, 2, 4);
    EXPECT_EQ(r.result, 0u) << len;
    // A partial field keeps the bits it got; the missing low bits are 0.
    std::string expect;
    if (len == 0)
      expect = "Err cH=0 vs. AulHdrItems=4\n";
    else if (len <= 4)
      expect = "Err bH=0 vs. Ab=4\n";
    else if (len == 5)
      expect = "Err vH=0 vs. Av=5\n";
    else if (len == 6)
      expect = "Err kH=0 vs. Ak=2\n";
    else if (len * 8 < 84)
      expect = "Err b=" + std::to_string(len - 7) + " vs. Ab=4\n";
    else if (len * 8 < 116)
      expect = len == 14 ? "Err CS1=18 vs. CS1File=16\n" : "Err CS1=18 vs. CS1File=0\n";
    else
      expect = "Err CS2=9 vs. CS2File=0\n";
    EXPECT_EQ(r.console, Stats(len) + expect) << len;
  }
}

TEST(CBinReader, FlippedBitsNeverGiveBlocksOutsideTheDesign) {
  for (const std::string& stream : {kStreamRep, kStreamNoRep}) {
    for (size_t bit = 0; bit < stream.size() * 8; ++bit) {
      std::string bad = stream;
      bad[bit / 8] = static_cast<char>(bad[bit / 8] ^ (0x80 >> (bit % 8)));
      const Read r = ReadStream(bad, 5, 2, 4);
      if (r.result == 0) {
        EXPECT_NE(r.console.find("Err "), std::string::npos) << bit;
        continue;
      }
      // Only the filler bits of the last byte may change without notice.
      EXPECT_EQ(r.result, 4u);
      EXPECT_EQ(r.blocks, kExampleBlocks) << bit;
    }
  }
}

TEST(CBinReader, BlockCountFarBeyondTheFile) {
  Bits bits;
  bits.header(4, 100000, 49, 6).value(1).value(2).put(4, 32).put(3, 32);
  const Read r = ReadStream(bits.bytes(), 49, 6, 100000);
  EXPECT_EQ(r.result, 0u);
  EXPECT_NE(r.console.find("Err b="), std::string::npos) << r.console;
}

// ---- Round trips ----------------------------------------------------------

TEST(CBinRoundTrip, RandomDesignsComeBackSorted) {
  std::mt19937 rng(99);
  for (int round = 0; round < 60; ++round) {
    const unsigned v = 1 + rng() % 54;
    const unsigned k = 1 + rng() % std::min(7u, v);
    const auto b = static_cast<uint32_t>(1 + rng() % (round % 4 == 0 ? 3000 : 60));
    const BlockList blocks = RandomBlocks(rng, v, k, b);
    Sys s = MakeDesign(v, k, blocks);
    TempPath file;
    const Written w = WriteToFile(s, file.c_str(), (round & 1) != 0);
    ASSERT_TRUE(w.ok) << w.console;
    const Read r = ReadFromFile(file.str(), static_cast<uint16_t>(v), static_cast<uint16_t>(k), b);
    ASSERT_EQ(r.result, b) << r.console;
    EXPECT_EQ(r.blocks, SortedBase1(blocks)) << "v=" << v << " k=" << k << " b=" << b;
  }
}

} // namespace
} // namespace kovra
