// The compressed binary format: every message of the reader with the rank
// guard, hostile and damaged streams. The worked examples are in test_roundtrip_decode_doc.cpp,
// random round trips in test_roundtrip.cpp.
#include "base/console.hpp"
#include "compressed_samples.hpp"
#include "formats/cbin.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace kovra {
namespace {

using namespace samples;
using namespace std::string_literals;

// The example stream with repeats, as the format's description spells it out.
const std::string kStreamRep = "\x20\x00\x00\x00\x20\x28\x10\x0E\x10\x40\x30\x00\x00\x01\x20\x00"
                               "\x00\x00\x90"s;

// Streams for the reader, built bit by bit (MSB first) without the code under
// test. Values of 128 and more take the widest code, which a reader must take
// as well as the shortest.
struct Bits {
  std::vector<int> bits;
  Bits& put(uint64_t value, unsigned n) {
    for (unsigned i = n; i-- > 0;) bits.push_back(static_cast<int>((value >> i) & 1));
    return *this;
  }
  Bits& value(uint64_t d) { return d < 128 ? put(0, 1).put(d, 7) : put(2, 2).put(6, 3).put(d, 32); }
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

Bits Example() { return Bits{}.header(4, 4, 5, 2); } // the example's header
const std::string kReads = "4 blocks";               // the example's blocks came back

// The reader's console output after its statistics line, or kReads.
std::string ReadStream(const std::string& stream, uint32_t b = 4, uint32_t chi = 4,
                       uint32_t cei = 2, uint16_t v = 5, uint16_t k = 2) {
  BlockArray blocks = AllocBlocks(b, k); // exactly b: the sanitizers see any write past it
  ConsoleCapture cap;
  if (ReadCBin(blocks.get(), stream.data(), stream.size(), v, k, b, chi, cei) == b)
    return ListOf(blocks.get(), b, k) == kExampleBlocks ? kReads : "other blocks";
  if (cap.out.empty()) return "";
  EXPECT_EQ(cap.out.rfind("BinCompressed: BytesIn=", 0), 0u) << cap.out;
  return cap.out.substr(cap.out.find('\n') + 1);
}

TEST(CBinReader, Outcomes) {
  const std::string rep = kStreamRep;
  const std::string noRep = Example().value(1).value(1).value(4).value(3).sums(18, 9).bytes();
  // Filler codes anywhere between data codes; an extra header item under CHI
  // 5 and two extra end items under CEI 4.
  Bits fillers = Example().filler(~0ull).value(1).filler(0x123456789).repeat(0, 1);
  fillers.filler(0).value(4).filler(7).value(3).sums(18, 9);
  Bits extras = Bits{}.header(5, 4, 5, 2).put(0xAB, 8).value(1).repeat(0, 1).value(4);
  extras.value(3).sums(18, 9).put(1, 8).put(2, 8);
  const struct {
    std::string stream;
    std::string message; // after the statistics line; "" when none is printed
    uint32_t b = 4, chi = 4, cei = 2;
    uint16_t v = 5, k = 2;
  } cases[] = {
      {fillers.bytes(), kReads},
      {extras.bytes(), kReads, 4, 5, 4},
      // Item counts out of range: no message at all.
      {noRep, "", 4, 3},
      {noRep, "", 4, 32},
      {noRep, "", 4, 4, 1},
      {noRep, "", 4, 4, 32},
      // A repeat code with no block to repeat, also after a filler code.
      {Example().repeat(0, 1).value(1).value(4).value(3).sums(0, 0).bytes(), "Err SyncErr\n"},
      {Example().filler(0).repeat(0, 1).sums(0, 0).bytes(), "Err SyncErr\n"},
      {Bits{}.header(3, 9, 9, 9).bytes(), "Err cH=3 vs. AulHdrItems=4\n"},
      {Bits{}.header(4, 5, 5, 2).bytes(), "Err bH=5 vs. Ab=4\n"},
      {Bits{}.header(4, 4, 6, 2).bytes(), "Err vH=6 vs. Av=5\n"},
      {Bits{}.header(4, 4, 5, 3).bytes(), "Err kH=3 vs. Ak=2\n"},
      // A repeat past the b-th block counts one block too many, at once.
      {Example().value(1).repeat(1, 5).sums(0, 0).bytes(), "Err b=5 vs. Ab=4\n"},
      {Example().value(1).repeat(7, 8388607).sums(0, 0).bytes(), "Err b=5 vs. Ab=4\n"},
      // After the b-th block the checksums follow at once: a filler there is
      // read as CS1 (10111 and 27 zeros).
      {Example().value(1).repeat(0, 1).value(4).value(3).filler(0).bytes(),
       "Err CS1=18 vs. CS1File=3087007744\n"},
      // Ranks outside 1..C(v,k), the checksums agreeing: ranks 1 2 6 11; a
      // first rank 0; a rank 65556 further on.
      {Example().value(1).repeat(0, 1).value(4).value(5).sums(20, 11).bytes(),
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
  for (const auto& c : cases)
    EXPECT_EQ(ReadStream(c.stream, c.b, c.chi, c.cei, c.v, c.k), c.message) << c.message;
  // A single flipped bit is refused with a message, or gives the same blocks:
  // only the filler bits of the last byte may change without notice.
  for (const std::string& stream : {rep, noRep}) {
    for (size_t bit = 0; bit < stream.size() * 8; ++bit) {
      std::string bad = stream;
      bad[bit / 8] = static_cast<char>(bad[bit / 8] ^ (0x80 >> (bit % 8)));
      const std::string got = ReadStream(bad);
      EXPECT_TRUE(got == kReads || got.rfind("Err ", 0) == 0) << bit << ": " << got;
    }
  }
}

} // namespace
} // namespace kovra
