// The files a dump writes out: all of them or none, and nothing replaced
// that --force did not allow.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tools/kvo-pack/package/Block.h"

namespace kvopack {

// A file dump writes: an included file (its scrambled bytes in the input)
// or an image handed back from the resources.
struct ExtractedFile {
    std::filesystem::path path;
    const IncludedData* data = nullptr;
    const std::string* bytes = nullptr;
};

// Writes every file or none. Each is written completely under a temporary
// name first; only then do they take their names, without replacing an
// existing file unless `force`. A file that is replaced is kept aside
// first. On failure the folder is as it was: the files kept aside are put
// back, and what this run created goes again (its temporary files, the
// files that took a free name, the directories it made).
// `last` is the run's last step (the text's writing): should it fail, the
// files are put back as well.
void writeOutputs(const std::vector<ExtractedFile>& files, BlockSource& source,
                  const std::string& input, bool force, const std::function<void()>& last);

}  // namespace kvopack
