// The two operations of the packer over files.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/kvo-pack/OutputFile.h"
#include "tools/kvo-pack/PeImage.h"

namespace kvopack {

struct BuildOptions {
    std::optional<std::string> stub;  // none: write the overlay alone
    std::string config;
    std::string out;
    std::string codePage = "1252";
};

// Writes `out` completely or not at all. Returns the warnings.
std::vector<std::string> buildPackage(const BuildOptions& options);

struct DumpOptions {
    std::string input;
    bool overlay = false;  // the input is a bare overlay, the block at offset 0
    std::string codePage = "1252";
    // Where the included files are written; the [files] lines then name them.
    std::optional<std::string> extractDir;
    // Where the text will be; [files] paths are made relative to its
    // directory (the current directory when the text goes to the terminal).
    std::optional<std::string> textPath;
    // Dump the records even when the data behind the block is not in the
    // layout the packer writes; that data is then left out.
    bool recordsOnly = false;
    // Extracted files may replace existing ones (never the input itself).
    bool force = false;
};

struct DumpResult {
    std::string text;
    std::vector<std::string> warnings;
};

// Writes the extracted files. `writeText`, when given, takes the text once
// they have their names; should it fail, every file is put back as it was,
// so that the dump writes everything or nothing.
DumpResult dumpPackage(const DumpOptions& options,
                       const std::function<void(const std::string& text)>& writeText = {});

}  // namespace kvopack
