// The packer's side of included files that a launcher keeps per user
// (record IncludedFilesCache): which configurations may ask for it, the
// deeper folders such files may lie in, and the record of their content
// hash, which only the packer writes.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/kvo-pack/ConfigText.h"

namespace kvopack {

// Whether the records ask the launcher to keep its included files (the
// last IncludedFilesCache is the one the launcher reads).
bool keepsIncludedFiles(const std::vector<NarrowRecord>& narrow);

// The folders a name needs, each as the name's text up to a backslash:
// "a", "a\b" for "a\b\c".
std::vector<std::string_view> folderPrefixes(std::string_view name);

// Mistakes of a configuration in this respect, with their lines: a name
// deeper than one folder without IncludedFilesCache = 1, an included file
// that would take the name of the launcher's index, a hash written by hand.
std::vector<std::pair<int, std::string>> keptFilesProblems(const PackConfig& config);

// Sets record IncludedFilesHash (placed by id among the others).
void setIncludedFilesHashRecord(std::vector<NarrowRecord>& narrow, const std::string& value);

}  // namespace kvopack
