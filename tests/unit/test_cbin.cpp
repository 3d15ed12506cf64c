// The compressed binary format: the bit stream against an independent bit
// builder, the codes and their widths, every message of the reader with the
// rank guard, hostile streams, the temporary file and round trips. The worked
// examples through the whole program are in test_roundtrip_decode_doc.cpp.
#include "base/console.hpp"
#include "compressed_samples.hpp"
#include "design/combinatorics.hpp"
#include "formats/cbin.hpp"
#include "scratch_dir.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace kovra {
namespace {

using namespace samples;
using namespace std::string_literals;
using test::ReadFile;
using test::WriteFile;

const char kIdLineRep[] = "ID 5 4 2 5 0/0 2/2 1 2 1 2 4 2 64 1 ...\n";
// The example stream with repeats, as the format's description spells it out.
const std::string kStreamRep = "\x20\x00\x00\x00\x20\x28\x10\x0E\x10\x40\x30\x00\x00\x01\x20\x00"
                               "\x00\x00\x90"s;
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
  Bits& sums(uint64_t cs1, uint64_t cs2) { return put(cs1, 32).put(cs2, 32); }
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

// The example stream with -N, built from its fields.
Bits ExampleBits() {
  return Bits{}.header(4, 4, 5, 2).value(1).repeat(0, 1).value(4).value(3).sums(18, 9);
}

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

// The bit stream of a written file: everything after its first LF.
std::string StreamOf(const std::string& path) {
  const std::string content = ReadFile(path);
  return content.substr(content.find('\n') + 1);
}

struct Read {
  uint32_t result = 0;
  BlockList blocks;
  std::string console;
};

// Reads a stream given as bytes into an array of exactly b blocks.
Read ReadStream(const std::string& stream, uint16_t v, uint16_t k, uint32_t b, uint32_t chi = 4,
                uint32_t cei = 2) {
  Read r;
  BlockArray blocks = AllocBlocks(b);
  {
    ConsoleCapture cap;
    r.result = ReadCBin(blocks.get(), stream.data(), stream.size(), v, k, b, chi, cei);
    r.console = cap.out;
  }
  r.blocks = ListOf(blocks.get(), b, k);
  return r;
}

// Files are written in a scratch directory that is current during the test.
class CBin : public ::testing::Test {
protected:
  test::ScratchDir dir_;
};

// The worked example's files come from the whole program in
// test_roundtrip_decode_doc.cpp. The writer and the reader take whole groups
// of bits at once; the single bits give the same stream.
TEST_F(CBin, SingleBitsSpellTheExampleStream) {
  const Bits example = ExampleBits();
  BitStream out;
  out.out = std::fopen("bits", "wb");
  for (const int bit : example.bits) PutBit(out, static_cast<unsigned>(bit));
  FlushBits(out);
  FlushBits(out); // a second flush adds nothing
  std::fclose(out.out);
  EXPECT_EQ(out.bytesWritten, 19u);
  EXPECT_EQ(ReadFile("bits"), kStreamRep);
  // Read back bit by bit: the four filler bits, then the end, for good.
  const std::string written = ReadFile("bits");
  BitStream in;
  in.in = reinterpret_cast<const uint8_t*>(written.data());
  in.inEnd = in.in + written.size();
  std::vector<int> bits;
  for (int bit; bits.size() < 200 && (bit = GetBit(in)) >= 0;) bits.push_back(bit);
  EXPECT_EQ(bits, (Bits{example}.put(0, 4).bits));
  EXPECT_EQ(GetBit(in), -1);
}

TEST(CBinCodes, ValueAndRepeatCodeWidths) {
  const struct {
    bool repeat;
    uint32_t n;
    int bits;
  } cases[] = {{false, 127, 8},   {false, 128, 13},  {false, 255, 13},      {false, 256, 17},
               {false, 4095, 17}, {false, 4096, 21}, {false, 1u << 31, 37}, {true, 3, 7},
               {true, 4, 10},     {true, 31, 10},    {true, 32, 13},        {true, 8388607, 28}};
  for (const auto& c : cases) {
    BitStream s; // counts only
    c.repeat ? PutCBinRepeat(s, c.n) : PutCBinValue(s, c.n);
    EXPECT_EQ(static_cast<int>(s.bytesWritten * 8) + 7 - s.outBit, c.bits) << c.n;
  }
}

// Blocks of the given ranks, out of order.
BlockList OfRanks(unsigned v, unsigned k, std::initializer_list<uint64_t> ranks) {
  BlockList blocks;
  for (uint64_t r : ranks) {
    uint8_t c[8];
    UnrankComb(r, v, k, c);
    blocks.emplace_back(c, c + k);
  }
  return blocks;
}

TEST_F(CBin, WrittenStreamsMatchTheBuilder) {
  const BlockList run = {{1}, {2}, {3}};
  const struct {
    BlockList blocks;
    unsigned v, k;
    bool rep;
    Bits stream;
  } cases[] = {
      // Ranks 127, 255, 510, 766 of the 3-subsets of 54: differences 127,
      // 128, 255 and 256, taking 8, 13, 13 and 17 bits.
      {OfRanks(54, 3, {766, 127, 510, 255}), 54, 3, true,
       Bits{}.header(4, 4, 54, 3).value(127).value(128).value(255).value(256).sums(1658, 766)},
      // Three equal differences: one value code and a repeat of 2 with -N,
      // three value codes without.
      {run, 5, 1, true, Bits{}.header(4, 3, 5, 1).value(1).repeat(0, 2).sums(6, 3)},
      {run, 5, 1, false, Bits{}.header(4, 3, 5, 1).value(1).value(1).value(1).sums(6, 3)},
  };
  for (const auto& c : cases) {
    Sys s = MakeDesign(c.v, c.k, c.blocks);
    ASSERT_TRUE(WriteToFile(s, "x.cbin", c.rep).ok);
    EXPECT_EQ(StreamOf("x.cbin"), c.stream.bytes()) << c.v;
  }
}

TEST_F(CBin, LongRunsTakeSeveralRepeatCodes) {
  // One block {1} followed by 2^23 + 1 equal ones: value 1, value 0, then the
  // 2^23 further zeros as repeats of 8388607 and 1.
  const uint32_t b = 8388610;
  Sys s;
  s.blocks = AllocBlocks(b);
  ASSERT_TRUE(s.blocks);
  s.b = b;
  for (uint32_t i = 0; i < b; ++i) s.blocks[i].pt[0] = 1;
  SetBlockK(s.blocks[0], 1);
  ASSERT_TRUE(WriteToFile(s, "x.cbin", true).ok);
  Bits ref;
  ref.header(4, b, 1, 1).value(1).value(0).repeat(7, 8388607).repeat(0, 1);
  ref.sums(b % 65556, 1);
  EXPECT_EQ(StreamOf("x.cbin"), ref.bytes());
}

TEST_F(CBin, WriterFailuresLeaveNoFileBehind) {
  Sys bad = MakeDesign(5, 2, {{1, 2}, {0, 3}});
  Written w = WriteToFile(bad, "x.cbin", true);
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.console, "ERROR happened!\n");
  EXPECT_TRUE(test::Listing(".").empty());
  Sys s = ExampleDesign();
  w = WriteToFile(s, "no-such-dir/x.cbin", true);
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.console, "Err: fopen(no-such-dir/x.cbin,...)\n");
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::mt19937 rng(4);
  Sys big = MakeDesign(49, 6, RandomBlocks(rng, 49, 6, 3000), 3, 6);
  w = WriteToFile(big, "/dev/full", true);
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.console, "Err: fwrite(/dev/full,...)\n");
  EXPECT_TRUE(std::filesystem::exists("/dev/full")); // the device is no file of ours
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

TEST(CBinWriter, NoNameWritesAFreshTemporaryFileRemovedOnFailure) {
  Sys s = ExampleDesign();
  const Written w = WriteToFile(s, nullptr, true);
  EXPECT_TRUE(w.ok);
  const std::string name = AnnouncedTempName(w.console);
  ASSERT_FALSE(name.empty()) << w.console;
  EXPECT_TRUE(w.console.ends_with(kWriterStats));
  EXPECT_EQ(ReadFile(name), kIdLineRep + kStreamRep);
  EXPECT_EQ(ListOf(s.blocks.get(), s.b, 2), kExampleBlocks); // left sorted
  std::remove(name.c_str());
  Sys bad = MakeDesign(5, 2, {{1, 9}});
  const Written f = WriteToFile(bad, nullptr, true);
  EXPECT_FALSE(f.ok);
  const std::string failed = AnnouncedTempName(f.console);
  ASSERT_FALSE(failed.empty()) << f.console;
  EXPECT_TRUE(f.console.ends_with("ERROR happened!\n"));
  EXPECT_FALSE(std::filesystem::exists(failed));
}

TEST_F(CBin, ReaderOutcomes) {
  const std::string rep = kStreamRep;
  const std::string example = ExampleBits().bytes();
  const char* const kReads = nullptr; // the four blocks of the example come back
  // Filler codes anywhere between data codes; an extra header item under
  // CHI 5 and two extra end items under CEI 4.
  Bits fillers, extras;
  fillers.header(4, 4, 5, 2).filler(~0ull).value(1).filler(0x123456789).repeat(0, 1);
  fillers.filler(0).value(4).filler(7).value(3).sums(18, 9);
  extras.header(5, 4, 5, 2).put(0xAB, 8).value(1).repeat(0, 1).value(4).value(3);
  extras.sums(18, 9).put(1, 8).put(2, 8);
  const struct {
    std::string stream;
    const char* message; // after the statistics line; "" when none is printed
    uint32_t b = 4, chi = 4, cei = 2;
    uint16_t v = 5, k = 2;
  } cases[] = {
      {fillers.bytes(), kReads},
      {extras.bytes(), kReads, 4, 5, 4},
      // Item counts out of range: no message at all.
      {example, "", 4, 3},
      {example, "", 4, 32},
      {example, "", 4, 4, 1},
      {example, "", 4, 4, 32},
      // A repeat code with no block to repeat, also after a filler code.
      {Bits{}.header(4, 4, 5, 2).repeat(0, 1).value(1).value(4).value(3).sums(0, 0).bytes(),
       "Err SyncErr\n"},
      {Bits{}.header(4, 4, 5, 2).filler(0).repeat(0, 1).sums(0, 0).bytes(), "Err SyncErr\n"},
      {Bits{}.header(3, 9, 9, 9).bytes(), "Err cH=3 vs. AulHdrItems=4\n"},
      {Bits{}.header(5, 4, 5, 2).put(0xAB, 8).value(1).bytes(), "Err cH=5 vs. AulHdrItems=4\n"},
      {Bits{}.header(4, 5, 5, 2).bytes(), "Err bH=5 vs. Ab=4\n"},
      {Bits{}.header(4, 4, 6, 2).bytes(), "Err vH=6 vs. Av=5\n"},
      {Bits{}.header(4, 4, 5, 3).bytes(), "Err kH=3 vs. Ak=2\n"},
      // A repeat past the b-th block counts one block too many, at once.
      {Bits{}.header(4, 4, 5, 2).value(1).repeat(1, 5).sums(0, 0).bytes(), "Err b=5 vs. Ab=4\n"},
      {Bits{}.header(4, 4, 5, 2).value(1).repeat(7, 8388607).sums(0, 0).bytes(),
       "Err b=5 vs. Ab=4\n"},
      // After the b-th block the checksums follow at once: a filler there is
      // read as CS1 (10111 and 27 zeros).
      {Bits{}.header(4, 4, 5, 2).value(1).repeat(0, 1).value(4).value(3).filler(0).bytes(),
       "Err CS1=18 vs. CS1File=3087007744\n"},
      // Ranks outside 1..C(v,k), the checksums agreeing: ranks 1 2 6 11; a
      // first rank 0; a rank 65556 further on.
      {Bits{}.header(4, 4, 5, 2).value(1).repeat(0, 1).value(4).value(5).sums(20, 11).bytes(),
       "Err rank=11 vs. Cn(v,k)=10\n"},
      {Bits{}.header(4, 1, 5, 2).value(0).sums(0, 0).bytes(), "Err rank=0 vs. Cn(v,k)=10\n", 1},
      {Bits{}.header(4, 2, 5, 2).value(1).value(65556).sums(2, 1).bytes(),
       "Err rank=65557 vs. Cn(v,k)=10\n", 2},
      // b far beyond the file: ten blocks from the checksum bits, then the end.
      {Bits{}.header(4, 100000, 49, 6).value(1).value(2).sums(4, 3).bytes(),
       "Err b=10 vs. Ab=100000\n", 100000, 4, 2, 49, 6},
      // The -N example cut short (header bits 0..52, data 53..83, CS1 84..115,
      // CS2 116..147): a partial field keeps the bits it got, the missing low
      // bits are 0.
      {rep.substr(0, 0), "Err cH=0 vs. AulHdrItems=4\n"},
      {rep.substr(0, 10), "Err b=3 vs. Ab=4\n"},
      {rep.substr(0, 14), "Err CS1=18 vs. CS1File=16\n"},
      {rep.substr(0, 18), "Err CS2=9 vs. CS2File=0\n"},
  };
  for (const auto& c : cases) {
    const Read r = ReadStream(c.stream, c.v, c.k, c.b, c.chi, c.cei);
    if (c.message == kReads) {
      EXPECT_EQ(r.result, 4u) << r.console;
      EXPECT_EQ(r.blocks, kExampleBlocks);
      continue;
    }
    EXPECT_EQ(r.result, 0u) << c.message;
    if (*c.message == '\0') {
      EXPECT_EQ(r.console, "");
      continue;
    }
    // The statistics line with the bytes read, then the one message.
    EXPECT_EQ(r.console.rfind("BinCompressed: BytesIn=", 0), 0u) << r.console;
    EXPECT_EQ(r.console.substr(r.console.find('\n') + 1), c.message);
  }
  EXPECT_EQ(ReadStream(rep.substr(0, 18), 5, 2, 4).console,
            "BinCompressed: BytesIn=18 BytesOut=0 \nErr CS2=9 vs. CS2File=0\n");
}

TEST_F(CBin, FlippedBitsNeverGiveOtherBlocks) {
  const std::string noRep =
      Bits{}.header(4, 4, 5, 2).value(1).value(1).value(4).value(3).sums(18, 9).bytes();
  for (const std::string& stream : {kStreamRep, noRep}) {
    for (size_t bit = 0; bit < stream.size() * 8; ++bit) {
      std::string bad = stream;
      bad[bit / 8] = static_cast<char>(bad[bit / 8] ^ (0x80 >> (bit % 8)));
      const Read r = ReadStream(bad, 5, 2, 4);
      if (r.result == 0) {
        EXPECT_NE(r.console.find("Err "), std::string::npos) << bit;
        continue;
      }
      // Only the filler bits of the last byte may change without notice.
      EXPECT_EQ(r.blocks, kExampleBlocks) << bit;
    }
  }
}

TEST_F(CBin, RandomDesignsComeBackSorted) {
  std::mt19937 rng(99);
  for (int round = 0; round < 60; ++round) {
    unsigned v = 0, k = 0;
    const BlockList blocks = RandomDesign(rng, round, v, k);
    const auto b = static_cast<uint32_t>(blocks.size());
    Sys s = MakeDesign(v, k, blocks);
    const Written w = WriteToFile(s, "x.cbin", (round & 1) != 0);
    ASSERT_TRUE(w.ok) << w.console;
    const Read r =
        ReadStream(StreamOf("x.cbin"), static_cast<uint16_t>(v), static_cast<uint16_t>(k), b);
    ASSERT_EQ(r.result, b) << r.console;
    EXPECT_EQ(r.blocks, Sorted(blocks)) << "v=" << v << " k=" << k << " b=" << b;
  }
}

} // namespace
} // namespace kovra
