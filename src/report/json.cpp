// The certificate in JSON: the one file that sees the JSON library.
#include "base/version.hpp"
#include "report/certificate.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>

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

std::string CertificateJson(const Certificate& c) {
  // Keys in the order the schema lists them, for a person reading one too.
  using json = nlohmann::ordered_json;
  json j;
  j["format"] = "kovra-certificate/1";
  j["version"] = VersionText();
  j["file"] = c.file;
  j["params"] = {{"v", c.params.v},
                 {"k", c.params.k},
                 {"t", c.params.t},
                 {"m", c.params.m},
                 {"l", c.params.l}};
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
  j["redundant"] = c.redundant;
  j["profile"] = c.haveProfile ? json{{"best", c.profileBest}, {"at_least_l", c.profileAtLeastL}}
                               : json(nullptr);
  j["seconds"] = c.seconds;
  j["command"] = c.command;
  if (!c.notes.empty()) j["notes"] = c.notes;
  // Invalid UTF-8 in a file name or command must not end the run: it is
  // written as the replacement character.
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

} // namespace kovra
