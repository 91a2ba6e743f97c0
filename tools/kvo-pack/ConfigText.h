// The configuration text: what the packer reads and what dump writes.
//
//   # comment (only as the first thing on a line)
//   Name = literal text       rest of the line, blanks at both ends dropped;
//                             backslashes and quotes are ordinary characters
//   Name := text\nwith escapes \n \r \t \\ \xHH \uHHHH; blanks at the ends
//                             are dropped too, so keep them as \x20 or \t
//   1005 = ...                records without a name are given by id
//   [wide]                    UTF-16 records
//   [locale de]               a per-locale section (UTF-16 records); [locale]
//                             has the empty key, [locale := ...] an escaped one
//   [narrow]                  back to the ANSI records
//   [files]                   name-in-temp-dir = path-on-this-machine
//
// In a narrow value \xHH is a byte of the code page as it stands and \uHHHH
// a character to convert; in a wide value both are UTF-16 code units.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kvo-pack/Encoding.h"

namespace kvopack {

struct NarrowRecord {
    int32_t id = 0;
    std::string value;  // in the target code page
    int line = 0;
};

struct WideRecord {
    int32_t id = 0;
    std::u16string value;
    int line = 0;
};

struct LocaleSection {
    std::string key;  // in the target code page
    std::vector<WideRecord> records;
    int line = 0;
};

// Everything that goes into the block, in block order.
struct BlockRecords {
    std::vector<NarrowRecord> narrow;
    std::vector<WideRecord> wide;
    std::vector<LocaleSection> locales;
};

struct IncludedFile {
    std::string name;  // UTF-8, as written
    std::string path;  // as written; relative to the configuration's directory
    int line = 0;
};

struct PackConfig {
    BlockRecords records;
    bool hasFilesSection = false;
    std::vector<IncludedFile> files;
    std::vector<std::string> warnings;
};

// Throws PackError naming `fileName` and the line.
PackConfig parseConfigText(std::string_view text, std::string_view fileName, const CodePage& page);

// Why a name cannot be an included file's name, or nullptr when it can. The
// launcher extracts into its temporary directory and creates one directory
// level at most; names are joined with ";" in IncludedFileNames.
const char* includedNameProblem(std::string_view utf8Name);

// Text for one value, for dump: a literal form when it reads back to the
// same bytes, else the escaped form. `escaped` tells which separator to use.
std::string formatNarrowValue(std::string_view bytes, const CodePage& page, bool& escaped);
std::string formatWideValue(std::u16string_view text, bool& escaped);
std::string formatPathValue(std::string_view path, bool& escaped);

struct FileLine {
    std::string name;
    std::string path;
};

// The whole text of a configuration. `files` is written as the [files]
// section when `withFiles` is set.
std::string formatConfigText(const BlockRecords& records, bool withFiles,
                             const std::vector<FileLine>& files, const CodePage& page,
                             std::string_view heading);

}  // namespace kvopack
