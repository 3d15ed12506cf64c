// Designs for the facade: made from rows of points, or read from a file.
#include "api/call.hpp"
#include "api/engineside.hpp"
#include "base/limits.hpp"
#include "formats/loader.hpp"

#include <algorithm>

namespace kovra::api {

std::vector<Point> BaseOneRows(const Design& design) {
  std::vector<Point> rows(design.points.size());
  const int shift = 1 - static_cast<int>(design.base);
  for (size_t i = 0; i < rows.size(); ++i)
    rows[i] = static_cast<Point>(static_cast<int>(design.points[i]) + shift);
  return rows;
}

PointSetList BlockSets(const Design& design) {
  const unsigned k = design.params.k, v = design.params.v;
  const size_t b = design.BlockCount();
  PointSetList sets(v);
  sets.reserve(b);
  std::vector<unsigned> pts;
  for (size_t i = 0; i < b; ++i) {
    pts.clear();
    for (unsigned j = 0; j < k; ++j) {
      const unsigned p = design.points[i * k + j] + 1u - design.base;
      if (p >= 1 && p <= v) pts.push_back(p);
    }
    sets.Add(pts.begin(), pts.end());
  }
  return sets;
}

std::vector<std::vector<unsigned>> PointRows(const PointSetList& blocks) {
  std::vector<std::vector<unsigned>> rows;
  rows.reserve(blocks.size());
  for (const PointSetView b : blocks) rows.push_back(PointsOfSet(b));
  return rows;
}

Design WithBlocks(const Design& design, const std::vector<std::uint32_t>& rows) {
  Design out = design;
  const unsigned k = design.params.k;
  out.points.clear();
  out.points.reserve(rows.size() * k);
  for (const uint32_t r : rows)
    out.points.insert(out.points.end(), design.points.begin() + static_cast<ptrdiff_t>(r * k),
                      design.points.begin() + static_cast<ptrdiff_t>((r + 1) * k));
  return out;
}

namespace {

// The checks a block list of a design file passes, with the loader's
// messages: every row k distinct points of base..base+v-1, then the
// parameters.
template <class RowAt>
Result<Design> Checked(size_t b, const RowAt& rowAt, Params params, unsigned base,
                       std::string name) {
  Call call(Log{});
  return call.Run<Design>([&] {
    const char* file = name.c_str();
    if (params.k == 0 && b > 0) params.k = static_cast<unsigned>(rowAt(0).size());
    if (base > MAX_BASE) {
      DualPrint("Err: <%s>: base %u is above the limit %u.\n", file, base, MAX_BASE);
      ErrExit(1);
    }
    if (!CheckDesignParams(EngineParams(params), static_cast<int64_t>(b),
                           static_cast<int16_t>(params.v), true))
      ErrExit(1);
    Design d;
    d.params = params;
    d.base = base;
    d.name = std::move(name);
    d.points.reserve(b * params.k);
    const long low = base, high = static_cast<long>(base) + params.v - 1;
    for (size_t i = 0; i < b; ++i) {
      const auto row = rowAt(i);
      const auto line = static_cast<unsigned long>(i + 1);
      if (row.size() != params.k) {
        DualPrint("Err: <%s> block %lu: %zu points where k=%u are needed\n", d.name.c_str(), line,
                  row.size(), params.k);
        ErrExit(row.size() < params.k ? 12 : 8);
      }
      for (size_t j = 0; j < row.size(); ++j) {
        const long p = static_cast<long>(row[j]);
        if (p < low || p > high) {
          DualPrint("Err: <%s> block %lu: point %ld is outside %ld..%ld\n", d.name.c_str(), line, p,
                    low, high);
          ErrExit(6);
        }
        if (std::find(row.begin(), row.begin() + static_cast<ptrdiff_t>(j), row[j]) !=
            row.begin() + static_cast<ptrdiff_t>(j)) {
          DualPrint("Err: <%s> block %lu: point %ld appears twice\n", d.name.c_str(), line, p);
          ErrExit(7);
        }
        d.points.push_back(static_cast<uint16_t>(p));
      }
    }
    return d;
  });
}

// One row of a flat array, as a range the checks can read.
struct FlatRow {
  const std::int64_t* first;
  size_t count;
  size_t size() const { return count; }
  std::int64_t operator[](size_t j) const { return first[j]; }
  const std::int64_t* begin() const { return first; }
};

} // namespace

Result<Design> MakeDesign(const std::vector<std::vector<unsigned>>& rows, const Params& params,
                          unsigned base, std::string name) {
  return Checked(
      rows.size(), [&](size_t i) -> const std::vector<unsigned>& { return rows[i]; }, params, base,
      std::move(name));
}

Result<Design> MakeDesign(const std::int64_t* points, std::size_t b, unsigned k,
                          const Params& params, unsigned base, std::string name) {
  Params p = params;
  if (p.k == 0) p.k = k;
  return Checked(
      b,
      [&](size_t i) {
        return FlatRow{points + i * k, k};
      },
      p, base, std::move(name));
}

std::uint32_t DesignsInFile(const std::string& path, std::uint64_t memoryBound) {
  Call call(Log{});
  const Result<uint32_t> n =
      call.Run<uint32_t>([&] { return kovra::DesignsInFile(path.c_str(), memoryBound); });
  return n ? *n : 1;
}

Result<Design> Load(const std::string& path, const LoadOptions& options) {
  Call call(options.log);
  return call.Run<Design>([&] {
    Sys sys;
    sys.given = CmdGiven{};
    ParamsOf(sys.given) = EngineParams(options.given);
    const bool given = options.given.v != 0 || options.given.k != 0 || options.given.t != 0 ||
                       options.given.m != 0 || options.given.l != 0;
    if (given) ParamsOf(sys) = EngineParams(options.given);
    kovra::LoadOptions load;
    load.base = static_cast<int16_t>(options.base);
    load.baseGiven = options.baseGiven;
    load.closeGaps = options.closeGaps;
    load.memoryBound = options.memoryBound;
    load.designIndex = options.designIndex;
    ClosedGapsRecord gaps;
    bool loaded = false;
    if (!given) {
      loaded = LoadSys(sys, path.c_str(), load);
    } else if (SetSysFileName(sys, path.c_str())) {
      if (options.given.l == 0) sys.l = 1;
      loaded = ReadSys(sys, true, load);
    }
    if (!loaded) {
      DualPrint("Err: <%s> holds no design that can be read.\n", path.c_str());
      ErrExit(1);
    }
    Design d;
    d.params = Params{sys.v, sys.k, sys.t, sys.m, sys.l};
    d.name = sys.szFileName;
    d.base = sys.given.usFileBase;
    d.fromIdLine = sys.fIdLine != 0;
    ChangeBase(sys, 1);
    d.points.resize(size_t{sys.b} * sys.k);
    for (size_t i = 0; i < d.points.size(); ++i)
      d.points[i] = static_cast<uint16_t>(sys.blocks[i] + d.base - 1);
    // -z: the number each point had in the file, as the command line keeps
    // them; none when no point moved.
    if (options.closeGaps && !gaps.original.empty()) {
      bool moved = false;
      for (size_t i = 0; i < gaps.original.size(); ++i)
        moved = moved || gaps.original[i] != d.base + i;
      if (moved) {
        d.fileNumbers = gaps.original;
        while (d.fileNumbers.size() < d.params.v)
          d.fileNumbers.push_back(static_cast<uint16_t>(d.fileNumbers.back() + 1));
      }
    }
    return d;
  });
}

} // namespace kovra::api
