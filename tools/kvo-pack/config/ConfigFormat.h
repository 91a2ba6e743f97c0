// What dump writes: a configuration text that builds back to the same bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/kvo-pack/config/ConfigText.h"

namespace kvopack {

// Whether UTF-8 text can stand in a line as it is: no blank at either end,
// nothing that ends the line or acts on a terminal.
bool needsNoEscape(std::string_view utf8);

// Text for one value, for dump: a literal form when it reads back to the
// same bytes, else the escaped form. `escaped` tells which separator to use.
std::string formatNarrowValue(std::string_view bytes, const CodePage& page, bool& escaped);
std::string formatWideValue(std::u16string_view text, bool& escaped);
std::string formatPathValue(std::string_view path, bool& escaped);

// `text` (UTF-8, or bytes that are not) for a comment or a message: every
// control character and line separator shown as \xHH or \uHHHH, so that text
// taken from a file can neither end the line nor start another.
std::string escapedForLine(std::string_view text);

struct FileLine {
    std::string name;
    std::string path;
};

// The whole text of a configuration. `files` is written as the [files]
// section when `withFiles` is set.
std::string formatConfigText(const BlockRecords& records, bool withFiles,
                             const std::vector<FileLine>& files, const CodePage& page,
                             std::string_view heading);

// The [version] section that builds `info` back.
std::string formatVersionSection(const VersionInfo& info);

}  // namespace kvopack
