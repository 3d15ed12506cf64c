// The merge of the shares of one test.
#include "app/merge.hpp"

#include "app/entry.hpp"
#include "base/console.hpp"
#include "base/file.hpp"
#include "design/combinatorics.hpp"
#include "report/certificate.hpp"
#include "verify/engine.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kovra {
namespace {

struct Share {
  Certificate c;
  std::string file;
};

// A certificate holds its first -o losing m-sets; a line past this is no
// certificate of ours, and is not read into memory whole.
constexpr size_t kMaxCertificateLine = size_t{1} << 26;

// Every line of the files that is not empty is one share's certificate.
bool ReadShares(const std::vector<std::string>& files, std::vector<Share>& shares) {
  for (const std::string& file : files) {
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
    if (s.c.fingerprint != first.c.fingerprint || s.c.partCount != first.c.partCount) {
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

} // namespace

int MergeParts(const RunSettings& rs, const std::vector<std::string>& files) {
  std::vector<Share> shares;
  if (!ReadShares(files, shares) || !CheckShares(shares)) return EXIT_MERGE_REFUSED;
  const Certificate& first = shares.front().c;
  const unsigned m = first.params.m;
  uint64_t losing = 0;
  bool counted = true, undecided = false;
  uint64_t printed = 0, kept = 0;
  for (const Share& s : shares) {
    if (s.c.verdict == CertificateVerdict::kUndecided) undecided = true;
    counted = counted && s.c.losingCounted;
    losing += s.c.losingCount;
    kept += s.c.losingFirst.size();
    for (const auto& set : s.c.losingFirst) {
      if (printed >= rs.ulMaxLosing) break;
      for (const unsigned p : set) DualPrint("%2u ", p);
      DualPrint(" : LOSING combination !!!\n");
      ++printed;
    }
  }
  if (printed < rs.ulMaxLosing && printed < losing && kept == printed)
    DualPrint("Warn: the parts kept %llu losing combinations; run them with a larger -o to "
              "see more.\n",
              static_cast<unsigned long long>(kept));
  const uint64_t combs = Binomial(first.params.v, m);
  if (undecided) {
    DualPrint("\nLosing combinations: not counted (a part was undecided)\n");
    DualPrint("TestRetCode: UNDECIDED (%s)\n", first.file.c_str());
    return EXIT_UNDECIDED;
  }
  if (counted)
    PrintCombCount("\nLosing", losing, combs);
  else
    PrintCombCountAtLeast("\nLosing", losing, combs);
  DualPrint("TestRetCode: %s (%s)\n", losing == 0 ? "OK" : "FAIL!", first.file.c_str());
  return losing == 0 ? 0 : 1;
}

} // namespace kovra
