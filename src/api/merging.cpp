// The merge of the shares of one test.
//
// A share's certificate is a claim, not a proof: its digest finds a line
// damaged by accident, but anyone can recompute it after an edit. So the
// merge believes nothing it can check instead: that the shares are 1..N of
// one design and one cut, that the cut's pieces follow each other without
// gap or overlap, that each share's verdict, count and listed m-sets agree
// with each other and with its piece, and that the total fits.
#include "api/call.hpp"
#include "base/file.hpp"
#include "design/combinatorics.hpp"
#include "report/certificate.hpp"
#include "verify/engine.hpp"
#include "verify/shares.hpp"
#include "verify/verdict.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace kovra::api {
namespace {

struct Share {
  kovra::Certificate c;
  std::string file;
  CutUnit unit = CutUnit::kNone;
};

// A certificate holds its first -o losing m-sets; a line past this is no
// certificate of ours, and is not read into memory whole.
constexpr size_t kMaxCertificateLine = size_t{1} << 26;

// Shares come in regular files, or as a stream through a FIFO; anything
// else (a directory, a device such as /dev/null) would read as no share at
// all and is refused.
bool IsShareFile(const std::string& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return true; // fopen names the reason
  if (S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode)) return true;
  const char* kind = S_ISDIR(st.st_mode) ? "a directory" : "not a regular file";
  DualPrint("Err: <%s> is %s, not a file of shares\n", file.c_str(), kind);
  return false;
}

// Every line of the files that is not empty is one share's certificate.
bool ReadShares(const std::vector<std::string>& files, std::vector<Share>& shares) {
  for (const std::string& file : files) {
    if (!IsShareFile(file)) return false;
    FilePtr in(std::fopen(file.c_str(), "rb"));
    if (!in) {
      DualPrint("Err: can't open <%s> (%s)\n", file.c_str(), std::strerror(errno));
      return false;
    }
    size_t lineNumber = 0;
    for (;;) {
      std::string line;
      int c = 0;
      while ((c = std::getc(in.get())) != EOF && c != '\n') {
        if (line.size() == kMaxCertificateLine) {
          DualPrint("Err: <%s> line %zu is longer than any certificate\n", file.c_str(),
                    lineNumber + 1);
          return false;
        }
        line.push_back(static_cast<char>(c));
      }
      if (c == EOF && line.empty()) break;
      ++lineNumber;
      if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
      Share s;
      s.file = file;
      std::string why;
      if (!ReadCertificate(line, s.c, why)) {
        DualPrint("Err: <%s> line %zu is damaged: %s\n", file.c_str(), lineNumber, why.c_str());
        return false;
      }
      if (s.c.partCount == 0) {
        DualPrint("Err: <%s> line %zu is the certificate of a whole run, not of a part\n",
                  file.c_str(), lineNumber);
        return false;
      }
      s.unit = CutUnitNamed(s.c.cutUnit);
      shares.push_back(std::move(s));
      if (c == EOF) break;
    }
  }
  if (shares.empty()) {
    DualPrint("Err: no part to merge\n");
    return false;
  }
  return true;
}

// The shares are 1..N of one test, each once.
bool CheckShares(std::vector<Share>& shares) {
  const Share& first = shares.front();
  for (const Share& s : shares) {
    // The fingerprint is derived from the parameters and the design's hash
    // the share names: an edit of either shows.
    if (s.c.fingerprint != first.c.fingerprint || s.c.partCount != first.c.partCount ||
        s.c.fingerprint != PartFingerprint(s.c.params, s.c.sha256)) {
      DualPrint("Err: <%s> is part %u of %u of another design or other parameters than <%s>\n",
                s.file.c_str(), s.c.partIndex, s.c.partCount, first.file.c_str());
      return false;
    }
    if (s.c.partIndex < 1 || s.c.partIndex > s.c.partCount) {
      DualPrint("Err: <%s> names part %u of %u\n", s.file.c_str(), s.c.partIndex, s.c.partCount);
      return false;
    }
  }
  std::sort(shares.begin(), shares.end(),
            [](const Share& a, const Share& b) { return a.c.partIndex < b.c.partIndex; });
  for (size_t i = 1; i < shares.size(); ++i)
    if (shares[i].c.partIndex == shares[i - 1].c.partIndex) {
      DualPrint("Err: part %u of %u appears twice: <%s> and <%s>\n", shares[i].c.partIndex,
                shares[i].c.partCount, shares[i - 1].file.c_str(), shares[i].file.c_str());
      return false;
    }
  bool complete = true;
  for (unsigned index = 1, j = 0; index <= first.c.partCount; ++index) {
    if (j < shares.size() && shares[j].c.partIndex == index) {
      ++j;
      continue;
    }
    DualPrint("Err: part %u of %u is missing\n", index, first.c.partCount);
    complete = false;
  }
  return complete;
}

// The m-sets of the shares (in order, all of them complete) cover the
// complete pass once: one unit, pieces that follow each other from 0 to
// the end, and for t-subsets the very pieces every share is given. A share
// undecided before its test got that far has no piece; the merge is then
// undecided whatever the pieces say.
bool CheckCut(const std::vector<Share>& shares) {
  const Share* before = nullptr;
  for (const Share& s : shares) {
    if (s.unit == CutUnit::kNone) {
      if (s.c.verdict == CertificateVerdict::kUndecided && s.c.cutUnit.empty()) continue;
      DualPrint("Err: <%s> (part %u of %u) names no piece of the walk it tested\n", s.file.c_str(),
                s.c.partIndex, s.c.partCount);
      return false;
    }
    const uint64_t expectFrom = before == nullptr ? 0 : before->c.cutTo;
    bool fits = s.c.cutFrom <= s.c.cutTo && s.c.cutTo <= s.c.cutOf && s.c.cutFrom == expectFrom &&
                (before == nullptr || (s.unit == before->unit && s.c.cutOf == before->c.cutOf));
    if (s.unit == CutUnit::kTSets)
      fits = fits && s.c.cutOf == Binomial(s.c.params.v, s.c.params.t) &&
             s.c.cutFrom == ShareStart(s.c.cutOf, s.c.partIndex - 1, s.c.partCount) &&
             s.c.cutTo == ShareStart(s.c.cutOf, s.c.partIndex, s.c.partCount);
    if (s.c.partIndex == s.c.partCount) fits = fits && s.c.cutTo == s.c.cutOf;
    if (!fits) {
      if (before != nullptr)
        DualPrint("Err: the shares were cut differently: <%s> tested %s %llu..%llu of %llu, "
                  "<%s> %s %llu..%llu of %llu\n",
                  before->file.c_str(), before->c.cutUnit.c_str(),
                  static_cast<unsigned long long>(before->c.cutFrom),
                  static_cast<unsigned long long>(before->c.cutTo),
                  static_cast<unsigned long long>(before->c.cutOf), s.file.c_str(),
                  s.c.cutUnit.c_str(), static_cast<unsigned long long>(s.c.cutFrom),
                  static_cast<unsigned long long>(s.c.cutTo),
                  static_cast<unsigned long long>(s.c.cutOf));
      else
        DualPrint("Err: <%s> tested %s %llu..%llu of %llu, which is not share %u of %u\n",
                  s.file.c_str(), s.c.cutUnit.c_str(), static_cast<unsigned long long>(s.c.cutFrom),
                  static_cast<unsigned long long>(s.c.cutTo),
                  static_cast<unsigned long long>(s.c.cutOf), s.c.partIndex, s.c.partCount);
      return false;
    }
    before = &s;
  }
  return true;
}

// What one share claims, against itself and its piece of the walk.
bool CheckClaims(const Share& s) {
  const kovra::Certificate& c = s.c;
  const unsigned v = c.params.v, m = c.params.m;
  const auto refuse = [&](const char* why) {
    DualPrint("Err: <%s> (part %u of %u) claims %s\n", s.file.c_str(), c.partIndex, c.partCount,
              why);
    return false;
  };
  switch (c.verdict) {
  case CertificateVerdict::kOk:
    if (!c.losingCounted) return refuse("OK without a count of the losing m-sets");
    if (c.losingCount != 0 || !c.losingFirst.empty()) return refuse("OK with losing m-sets");
    break;
  case CertificateVerdict::kFail:
    // A share walks its whole piece: it always counts.
    if (!c.losingCounted) return refuse("FAIL without a count of the losing m-sets");
    if (c.losingCount == 0) return refuse("FAIL with a count of 0");
    if (c.losingFirst.empty()) return refuse("FAIL without listing a losing m-set");
    break;
  case CertificateVerdict::kUndecided:
    if (c.losingCounted || !c.losingFirst.empty())
      return refuse("UNDECIDED with a count or losing m-sets");
    return true;
  }
  if (c.losingCount < c.losingFirst.size()) return refuse("fewer losing m-sets than it lists");
  if (s.unit != CutUnit::kNone && c.losingCount > MSetsInCut(s.unit, v, m, c.cutFrom, c.cutTo))
    return refuse("more losing m-sets than its piece of the walk holds");
  const std::vector<unsigned>* previous = nullptr;
  for (const std::vector<unsigned>& set : c.losingFirst) {
    // m distinct points in the design's range, ascending, each set after
    // the one before, inside the share's piece.
    std::vector<unsigned> base1;
    bool inRange = set.size() == m;
    for (const unsigned p : set) {
      inRange = inRange && p >= c.base && p - c.base + 1 <= v;
      base1.push_back(p - c.base + 1);
    }
    const uint64_t unit = inRange ? CutUnitOf(s.unit, v, base1) : UINT64_MAX;
    if (!inRange || unit == UINT64_MAX)
      return refuse("a losing set that is not m distinct ascending points of the design");
    if (unit < c.cutFrom || unit >= c.cutTo || (previous != nullptr && !(*previous < set)))
      return refuse("a losing m-set out of order or outside its piece of the walk");
    previous = &set;
  }
  return true;
}

} // namespace

Result<Merged> MergeShares(const std::vector<std::string>& files, std::uint32_t maxLosing,
                           const Log& log) {
  Call call(log);
  std::vector<Share> shares;
  bool fits = true;
  const Result<Merged> merged = call.Run<Merged>([&] {
    Merged out;
    fits = ReadShares(files, shares) && CheckShares(shares) && CheckCut(shares);
    for (size_t i = 0; fits && i < shares.size(); ++i) fits = CheckClaims(shares[i]);
    if (!fits) return out;
    const kovra::Certificate& first = shares.front().c;
    uint64_t losing = 0;
    bool undecided = false;
    for (const Share& s : shares) {
      undecided = undecided || s.c.verdict == CertificateVerdict::kUndecided;
      if (s.c.losingCount > UINT64_MAX - losing) {
        DualPrint("Err: the shares' losing counts add up to more than 2^64-1\n");
        fits = false;
        return out;
      }
      losing += s.c.losingCount;
    }
    // The first -o losing m-sets of the design are the ones the shares list,
    // in share order, as long as every share before listed all it found: a
    // share that kept fewer than it counted leaves a gap after its list.
    bool gap = false;
    for (const Share& s : shares) {
      for (const auto& set : s.c.losingFirst) {
        if (out.firstLosing.size() >= maxLosing) break;
        PrintLosingLine(set.data(), static_cast<unsigned>(set.size()));
        out.firstLosing.push_back(set);
      }
      if (s.c.losingFirst.size() < s.c.losingCount) {
        gap = true;
        break;
      }
    }
    const uint64_t wanted = std::min<uint64_t>(maxLosing, losing);
    if (!undecided && gap && out.firstLosing.size() < wanted)
      DualPrint("Warn: the shares kept too few losing combinations to tell the design's first "
                "%llu; run them with -o%llu to see them.\n",
                static_cast<unsigned long long>(wanted), static_cast<unsigned long long>(wanted));
    const uint64_t combs = Binomial(first.params.v, first.params.m);
    if (undecided) {
      DualPrint("\nLosing combinations: not counted (a part was undecided)\n");
      PrintVerdictLine(TestVerdict::kUndecided, first.file.c_str());
      return out;
    }
    PrintCombCount("\nLosing", losing, combs);
    PrintVerdictLine(losing == 0 ? TestVerdict::kOk : TestVerdict::kFail, first.file.c_str());
    out.verdict = losing == 0 ? Verdict::kOk : Verdict::kFail;
    out.counted = true;
    out.losingCount = losing;
    return out;
  });
  if (merged && !fits) return call.Fail(2);
  return merged;
}

} // namespace kovra::api
