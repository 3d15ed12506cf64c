// The certificate in JSON: the one file that sees the JSON library.
#include "base/version.hpp"
#include "report/certificate.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <stdexcept>

namespace kovra {

std::string NormalFormText(std::vector<std::vector<unsigned>> blocks) {
  for (auto& b : blocks) std::sort(b.begin(), b.end());
  std::sort(blocks.begin(), blocks.end());
  std::string text;
  for (const auto& b : blocks) {
    for (size_t i = 0; i < b.size(); ++i) {
      if (i > 0) text += ' ';
      text += std::to_string(b[i]);
    }
    text += '\n';
  }
  return text;
}

namespace {

nlohmann::ordered_json ParamsJson(const DesignParams& p) {
  return {{"v", p.v}, {"k", p.k}, {"t", p.t}, {"m", p.m}, {"l", p.l}};
}

} // namespace

std::string CertificateJson(const Certificate& c) {
  // Keys in the order the schema lists them, for a person reading one too.
  using json = nlohmann::ordered_json;
  json j;
  j["format"] = "kovra-certificate/1";
  j["version"] = VersionText();
  j["file"] = c.file;
  j["params"] = ParamsJson(c.params);
  j["b"] = c.b;
  j["distinct_blocks"] = c.distinctBlocks;
  switch (c.verdict) {
  case CertificateVerdict::kOk: j["verdict"] = "OK"; break;
  case CertificateVerdict::kFail: j["verdict"] = "FAIL"; break;
  case CertificateVerdict::kUndecided: j["verdict"] = "UNDECIDED"; break;
  }
  j["losing"] = {{"count", c.losingCounted ? json(c.losingCount) : json(nullptr)},
                 {"first", c.losingFirst}};
  j["sha256"] = c.sha256;
  if (c.haveTSets)
    j["tsets"] = {{"min", c.tsetMin}, {"max", c.tsetMax}, {"histogram", c.tsetHistogram}};
  j["replication"] = {{"min", c.replicationMin}, {"max", c.replicationMax}};
  if (!c.lambdas.empty()) {
    j["lambdas"] = json::array();
    for (const auto& l : c.lambdas)
      j["lambdas"].push_back({{"s", l.s}, {"min", l.min}, {"max", l.max}});
  }
  if (c.canonicalAsked) {
    j["canonical_sha256"] = c.haveCanonical ? json(c.canonicalSha256) : json(nullptr);
    j["automorphisms"] = c.haveCanonical ? json(c.automorphisms) : json(nullptr);
    j["point_orbits"] = c.haveCanonical ? json(c.pointOrbits) : json(nullptr);
  }
  j["redundant"] = c.redundant;
  j["profile"] = c.haveProfile ? json{{"best", c.profileBest}, {"at_least_l", c.profileAtLeastL}}
                               : json(nullptr);
  if (c.reduced) {
    j["reduced_from"] = c.reducedFrom;
    j["removed"] = c.removed;
  }
  if (!c.fileNumbers.empty()) j["file_numbers"] = c.fileNumbers;
  j["seconds"] = c.seconds;
  j["command"] = c.command;
  if (!c.notes.empty()) j["notes"] = c.notes;
  if (c.partCount > 0) {
    j["part"] = {{"index", c.partIndex}, {"count", c.partCount}, {"fingerprint", c.fingerprint}};
    if (!c.cutUnit.empty())
      j["part"]["cut"] = {
          {"unit", c.cutUnit}, {"from", c.cutFrom}, {"to", c.cutTo}, {"of", c.cutOf}};
    j["part"]["base"] = c.base;
  }
  // Invalid UTF-8 in a file name or command must not end the run: it is
  // written as the replacement character.
  std::string line = j.dump(-1, ' ', false, json::error_handler_t::replace);
  if (c.partCount == 0) return line;
  j["part"]["digest"] = Sha256Hex(line);
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

namespace {

const char* VerdictText(CertificateVerdict v) {
  switch (v) {
  case CertificateVerdict::kOk: return "OK";
  case CertificateVerdict::kFail: return "FAIL";
  case CertificateVerdict::kUndecided: break;
  }
  return "UNDECIDED";
}

} // namespace

std::string SearchJson(const SearchRecord& r) {
  using json = nlohmann::ordered_json;
  json j;
  j["format"] = "kovra-search/1";
  j["version"] = VersionText();
  j["file"] = r.file;
  j["scanned"] = {{"v", r.scannedV}, {"k", r.scannedK}, {"b", r.b}};
  j["found"] =
      r.found ? json{{"params", ParamsJson(r.params)}, {"redundant", r.redundant}} : json(nullptr);
  json tries = json::array();
  for (const SearchTry& t : r.tries)
    tries.push_back({{"params", ParamsJson(t.params)}, {"verdict", VerdictText(t.verdict)}});
  j["tries"] = tries;
  j["seconds"] = r.seconds;
  j["command"] = r.command;
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string NotCheckedJson(const std::string& file, int status, const std::string& command) {
  using json = nlohmann::ordered_json;
  json j;
  j["format"] = "kovra-not-checked/1";
  j["version"] = VersionText();
  j["file"] = file;
  j["status"] = status;
  j["command"] = command;
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string PartFingerprint(const DesignParams& p, const std::string& designSha256) {
  char text[160];
  std::snprintf(text, sizeof text, "kovra-part/1 %s v=%u k=%u t=%u m=%u l=%u ",
                VersionText().c_str(), p.v, p.k, p.t, p.m, p.l);
  return Sha256Hex(text + designSha256);
}

namespace {

using ojson = nlohmann::ordered_json;

// The library converts any number to any arithmetic type by a plain cast: a
// float or a number too large for the field would wrap or be undefined. A
// certificate holds whole numbers only, each within its field.
template <class T>
T Whole(const ojson& value, const char* name) {
  if (!value.is_number_unsigned() ||
      value.get<uint64_t>() > uint64_t{std::numeric_limits<T>::max()})
    throw std::range_error(std::string("\"") + name + "\" is not a whole number in range");
  return static_cast<T>(value.get<uint64_t>());
}

std::vector<std::vector<unsigned>> SetsOfPoints(const ojson& list) {
  if (!list.is_array()) throw std::range_error("\"first\" is not a list");
  std::vector<std::vector<unsigned>> sets;
  for (const auto& set : list) {
    if (!set.is_array()) throw std::range_error("\"first\" holds something not a list");
    sets.emplace_back();
    for (const auto& point : set) sets.back().push_back(Whole<unsigned>(point, "first"));
  }
  return sets;
}

} // namespace

bool ReadCertificate(const std::string& line, Certificate& c, std::string& why) {
  using json = ojson;
  // The library reports what it cannot read by exceptions; here they become
  // a reason, and nothing a damaged file holds can end the run.
  try {
    json j = json::parse(line);
    if (!j.is_object() || j.value("format", "") != "kovra-certificate/1") {
      why = "not a KOVRA certificate";
      return false;
    }
    c = Certificate{};
    if (j.contains("part")) {
      json& part = j.at("part");
      const std::string digest = part.at("digest").get<std::string>();
      part.erase("digest");
      if (Sha256Hex(j.dump(-1, ' ', false, json::error_handler_t::replace)) != digest) {
        why = "its digest does not match its contents";
        return false;
      }
      c.partIndex = Whole<unsigned>(part.at("index"), "index");
      c.partCount = Whole<unsigned>(part.at("count"), "count");
      c.fingerprint = part.at("fingerprint").get<std::string>();
      if (part.contains("cut")) {
        const json& cut = part.at("cut");
        c.cutUnit = cut.at("unit").get<std::string>();
        c.cutFrom = Whole<uint64_t>(cut.at("from"), "from");
        c.cutTo = Whole<uint64_t>(cut.at("to"), "to");
        c.cutOf = Whole<uint64_t>(cut.at("of"), "of");
      }
      c.base = Whole<uint16_t>(part.at("base"), "base");
    }
    c.file = j.at("file").get<std::string>();
    const json& p = j.at("params");
    c.params = DesignParams{Whole<uint16_t>(p.at("v"), "v"), Whole<uint16_t>(p.at("k"), "k"),
                            Whole<uint16_t>(p.at("t"), "t"), Whole<uint16_t>(p.at("m"), "m"),
                            Whole<uint16_t>(p.at("l"), "l")};
    c.b = Whole<uint64_t>(j.at("b"), "b");
    const std::string verdict = j.at("verdict").get<std::string>();
    if (verdict == "OK") {
      c.verdict = CertificateVerdict::kOk;
    } else if (verdict == "FAIL") {
      c.verdict = CertificateVerdict::kFail;
    } else if (verdict == "UNDECIDED") {
      c.verdict = CertificateVerdict::kUndecided;
    } else {
      why = "its verdict \"" + verdict + "\" is none of OK, FAIL and UNDECIDED";
      return false;
    }
    const json& losing = j.at("losing");
    c.losingCounted = !losing.at("count").is_null();
    if (c.losingCounted) c.losingCount = Whole<uint64_t>(losing.at("count"), "count");
    c.losingFirst = SetsOfPoints(losing.at("first"));
    c.sha256 = j.at("sha256").get<std::string>();
    return true;
  } catch (const json::exception& e) {
    why = e.what();
    return false;
  } catch (const std::range_error& e) {
    why = e.what();
    return false;
  }
}

} // namespace kovra
