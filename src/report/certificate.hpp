// The certificate of a design run: what a program (a referee's script, a CI
// job) reads instead of the log, written as one JSON object per design.
//
// Its keys are fixed (docs/certificate.schema.json); the values come from
// the run and the design as loaded. The design is fingerprinted by the
// SHA-256 of its normal form: each block as its points in base 1,
// ascending, separated by one blank and ended by a line feed, the blocks
// sorted as integer tuples, repeats kept; anyone can recompute it with
// sha256sum.
#pragma once

#include "base/settings.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace kovra {

enum class CertificateVerdict { kOk, kFail, kUndecided };

struct Certificate {
  std::string file;
  DesignParams params;
  uint64_t b = 0;              // blocks as loaded
  uint64_t distinctBlocks = 0; // of them, different ones
  CertificateVerdict verdict = CertificateVerdict::kUndecided;
  bool losingCounted = false; // losingCount is every losing m-set
  uint64_t losingCount = 0;
  std::vector<std::vector<unsigned>> losingFirst; // in the file's base (numbers, under -z)
  std::string sha256;                             // of the normal form, lower-case hex
  bool haveTSets = false; // blocks per t-subset, where C(v,t) allowed counting
  unsigned tsetMin = 0, tsetMax = 0;
  std::vector<uint64_t> tsetHistogram;             // [c]: t-subsets in exactly c blocks
  unsigned replicationMin = 0, replicationMax = 0; // blocks per point
  uint64_t redundant = 0;
  // For each s from 0 to t, the fewest and the most blocks that hold an
  // s-subset of the points, over every s-subset (as far as counting allowed).
  struct Lambdas {
    unsigned s = 0;
    uint64_t min = 0, max = 0;
  };
  std::vector<Lambdas> lambdas;
  // --canonical: the design up to relabelling. canonicalAsked puts the keys
  // in; haveCanonical false makes them null (the search did not end in time).
  bool canonicalAsked = false, haveCanonical = false;
  std::string canonicalSha256; // of the normal form of the canonically relabelled design
  std::string automorphisms;   // the group order in decimal
  unsigned pointOrbits = 0;
  bool haveProfile = false;
  std::vector<uint64_t> profileBest, profileAtLeastL;
  double seconds = 0;
  std::string command;
  std::vector<std::string> notes;
  // --reduce: the certificate speaks of the reduced design; these of the
  // design it came from.
  bool reduced = false;
  uint64_t reducedFrom = 0;                   // blocks as loaded
  std::vector<std::vector<unsigned>> removed; // the blocks left out, as in the file
  // -z: the number point p had in the file is fileNumbers[p - 1] (losing
  // and removed name the points so); empty when they kept their numbers.
  std::vector<unsigned> fileNumbers;
  // A share of the test (--part=I/N): which one, and what it belongs to.
  unsigned partIndex = 0, partCount = 0; // 0: the whole test
  std::string fingerprint;               // of the program, the design and its parameters
  // The units of the complete pass the share walked (none when its test did
  // not get that far), and the base losing.first is written in.
  std::string cutUnit;
  uint64_t cutFrom = 0, cutTo = 0, cutOf = 0;
  unsigned base = 1;
};

// The normal form of the blocks (each the sorted points of one block, base 1).
std::string NormalFormText(std::vector<std::vector<unsigned>> blocks);

// SHA-256 of the bytes, as 64 lower-case hex digits.
std::string Sha256Hex(const std::string& bytes);

// The certificate as one line of JSON (no line end). A share carries in
// "part" its index, the number of shares, the fingerprint and a digest of
// the line itself, so that a damaged share is found out.
std::string CertificateJson(const Certificate& c);

// The record of the parameter search (-z2): what the scan found, the
// parameters that hold (none when found is false) and every candidate
// tried, in order, with its verdict.
struct SearchTry {
  DesignParams params;
  CertificateVerdict verdict = CertificateVerdict::kUndecided;
};
struct SearchRecord {
  std::string file;
  unsigned scannedK = 0, scannedV = 0; // from the data
  uint64_t b = 0;                      // blocks of the file
  bool found = false;
  DesignParams params;    // the strongest parameters that hold
  uint64_t redundant = 0; // blocks the run with them left out
  std::vector<SearchTry> tries;
  double seconds = 0;
  std::string command;
};

// The search's record as one line of JSON, format "kovra-search/1".
std::string SearchJson(const SearchRecord& r);

// The line that stands for a design of several that has no certificate (it
// could not be read, or was skipped): its file, its exit status and the
// command, under the format "kovra-not-checked/1".
std::string NotCheckedJson(const std::string& file, int status, const std::string& command);

// Reads a line written by CertificateJson back: false, with the reason in
// `why`, when it is not such a line, misses a key the merge needs, or its
// digest does not match.
bool ReadCertificate(const std::string& line, Certificate& c, std::string& why);

// The fingerprint a share carries: of the program's version, the
// parameters and the design's normal form hash.
std::string PartFingerprint(const DesignParams& p, const std::string& designSha256);

} // namespace kovra
