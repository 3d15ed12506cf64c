// Operations on a design in memory.
#include "design/sys.hpp"

#include "base/console.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kovra {

void PointArrayFree::operator()(Point* p) const { std::free(p); }

BlockArray AllocBlocks(uint64_t blocks, unsigned k) {
  if (blocks == 0 || k == 0 || blocks > SIZE_MAX / sizeof(Point) / k) return nullptr;
  return BlockArray(
      static_cast<Point*>(std::calloc(static_cast<size_t>(blocks) * k, sizeof(Point))));
}

bool GrowBlocks(BlockArray& blocks, uint64_t& room, uint64_t rows, uint64_t most, unsigned k) {
  if (rows <= room) return true;
  const uint64_t grown = std::max(rows, std::min(std::max<uint64_t>(room * 2, 4096), most));
  if (k == 0 || grown > SIZE_MAX / sizeof(Point) / k) return false;
  // realloc moves the pages of a large array rather than copying them, so
  // growing never holds the old and the new array at once.
  void* bigger = std::realloc(blocks.get(), static_cast<size_t>(grown) * k * sizeof(Point));
  if (bigger == nullptr) return false;
  static_cast<void>(blocks.release());
  blocks.reset(static_cast<Point*>(bigger));
  room = grown;
  return true;
}

bool SetSysFileName(Sys& sys, const char* name) {
  if (name == nullptr) name = "";
  if (std::strlen(name) > static_cast<size_t>(FNAME_CAPACITY)) {
    DualPrint("Err: file name longer than %d characters: %s\n", FNAME_CAPACITY, name);
    sys.szFileName[0] = '\0';
    return false;
  }
  std::snprintf(sys.szFileName, sizeof sys.szFileName, "%s", name);
  return true;
}

void ChangeBase(Sys& sys, int16_t newBase) {
  if (newBase < 0) newBase = static_cast<int16_t>(sys.base);
  // Point p of the old base becomes p - base + newBase. (Mapping the smallest
  // point present to the new base instead would renumber a design that does
  // not use its first point: its losing combinations would then be printed,
  // and its blocks written, under other numbers than the file's.)
  const auto delta = static_cast<Point>(static_cast<unsigned>(newBase) - sys.base);
  sys.base = static_cast<uint16_t>(newBase);
  if (delta == 0 || !sys.blocks || sys.b == 0) return;
  Point* p = sys.blocks.get();
  const size_t n = size_t{sys.b} * sys.k;
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<Point>(p[i] + delta);
}

namespace {
thread_local ClosedGapsRecord* gGapsRecord = nullptr;
} // namespace

ClosedGapsRecord::ClosedGapsRecord() : previous_(gGapsRecord) { gGapsRecord = this; }
ClosedGapsRecord::~ClosedGapsRecord() { gGapsRecord = previous_; }

unsigned CloseGaps(Point* blocks, uint32_t b, unsigned k, int16_t newBase) {
  if (blocks == nullptr || b == 0) return 0;
  unsigned entry[MAX_N + 1] = {};
  unsigned count = 0;
  const size_t n = size_t{b} * k;
  for (size_t i = 0; i < n; ++i)
    if (blocks[i] <= MAX_N) entry[blocks[i]] = 1;
  // In the order of the numbers, so that the renumbered points keep the
  // order of the file's: a set printed in ascending order stays so when it
  // is printed in the file's numbers.
  if (gGapsRecord != nullptr) gGapsRecord->original.clear();
  for (unsigned x = 0; x <= MAX_N; ++x) {
    if (entry[x] == 0) continue;
    entry[x] = ++count;
    if (gGapsRecord != nullptr) gGapsRecord->original.push_back(static_cast<Point>(x));
  }
  for (size_t i = 0; i < n; ++i)
    if (blocks[i] <= MAX_N)
      blocks[i] = static_cast<Point>(static_cast<unsigned>(newBase) + entry[blocks[i]] - 1);
  return count;
}

void SortBlocks(Point* blocks, uint32_t b, unsigned k, bool pointsOnly) {
  if (blocks == nullptr || b == 0 || k == 0) return;
  for (uint32_t i = 0; i < b; ++i) std::sort(blocks + size_t{i} * k, blocks + size_t{i + 1} * k);
  if (pointsOnly) return;
  // The rows are sorted through an order of row numbers, then moved once.
  std::vector<uint32_t> order(b);
  for (uint32_t i = 0; i < b; ++i) order[i] = i;
  const auto row = [&](uint32_t i) { return blocks + size_t{i} * k; };
  std::sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) {
    return std::lexicographical_compare(row(x), row(x) + k, row(y), row(y) + k);
  });
  std::vector<Point> sorted(size_t{b} * k);
  for (uint32_t i = 0; i < b; ++i) std::copy_n(row(order[i]), k, sorted.data() + size_t{i} * k);
  std::copy(sorted.begin(), sorted.end(), blocks);
}

void PrintSysParams(const Sys& sys, bool newline) {
  DualPrint("v=%d,k=%d,t=%d,m=%d,l=%d,b=%lu%s", sys.v, sys.k, sys.t, sys.m, sys.l,
            static_cast<unsigned long>(sys.b), newline ? "\n" : "");
}

bool ParamsWithinLimits(const DesignParams& p, int64_t b, bool report) {
  struct Field {
    char name;
    uint64_t value;
    uint64_t limit;
  };
  const Field fields[] = {{'v', p.v, MAX_V},
                          {'k', p.k, MAX_K},
                          {'t', p.t, MAX_T},
                          {'m', p.m, MAX_M},
                          {'l', p.l, MAX_L}};
  bool within = true;
  for (const Field& f : fields) {
    if (f.value <= f.limit) continue;
    within = false;
    if (report)
      DualPrint("Err: %c = %lu is above the limit %lu.\n", f.name,
                static_cast<unsigned long>(f.value), static_cast<unsigned long>(f.limit));
  }
  if (b > MAX_B) {
    within = false;
    if (report)
      DualPrint("Err: b = %lld is above the limit %ld.\n", static_cast<long long>(b),
                static_cast<long>(MAX_B));
  }
  return within;
}

bool CheckDesignParams(const DesignParams& p, int64_t b, int16_t v1, bool report) {
  // A value too large gets its own message; "All values must be >= 1" would
  // name the wrong reason.
  if (!ParamsWithinLimits(p, b, report)) return false;
  // Compared as signed 16-bit numbers, as the values have always been.
  const auto v = static_cast<int16_t>(p.v), k = static_cast<int16_t>(p.k),
             t = static_cast<int16_t>(p.t), m = static_cast<int16_t>(p.m),
             l = static_cast<int16_t>(p.l);
  const bool invalid = k < 1 || v < k || t < 1 || k < t || m < t || l < 1 || (b != -1 && b < 1) ||
                       (v1 != -1 && (v1 < 1 || v < v1));
  if (invalid && report) {
    DualPrint("Err: invalid design parameters v=%hd,k=%hd,t=%hd,m=%hd,l=%hd,b=%ld,v1=%hd.\n", v, k,
              t, m, l, static_cast<long>(b), v1);
    DualPrint("     All values must be >= 1. ");
    if (t > m)
      DualPrint("t or m invalid: t must be <= m\n");
    else if (t > k)
      DualPrint("t or k invalid: t must be <= k\n");
    else if (v < k)
      DualPrint("v or k invalid: v must be >= k\n");
    else
      DualPrint("Check limits and ranges.\n");
  }
  return !invalid;
}

} // namespace kovra
