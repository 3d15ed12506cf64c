// The JSON lines a run writes beside its log.
#include "app/jsonlines.hpp"

#include "base/console.hpp"

#include <cstdio>

namespace kovra {

void EmitJsonLine(const RunSettings& rs, const std::string& line) {
  if (rs.certificates != nullptr)
    std::fprintf(rs.certificates, "%s\n", line.c_str());
  else
    StdoutPrint("%s\n", line.c_str());
}

} // namespace kovra
