// The merge of the shares of one test (--part=I/N runs) into its verdict.
#pragma once

#include "base/settings.hpp"

#include <string>
#include <vector>

namespace kovra {

// Exit status of a merge that found parts it cannot join: one missing,
// repeated, damaged or of another design. Never a verdict.
inline constexpr int EXIT_MERGE_REFUSED = 2;

// Reads the certificates of the shares from the files, checks that they are
// the shares 1..N of one test, each once and undamaged, and prints what one
// run over the whole design prints of its test: the first -o losing m-sets,
// the count and the verdict. Returns the exit status that run would have,
// or EXIT_MERGE_REFUSED.
int MergeParts(const RunSettings& rs, const std::vector<std::string>& files);

} // namespace kovra
