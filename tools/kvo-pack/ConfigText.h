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
//   [resources]               icon, splash-icon, splash-bitmap, splash-image
//                             (paths), execution-level, dpi-aware
//   [version]                 FileVersion, ProductVersion, Translation and
//                             the version strings
//   [kvo-runtime]             include = yes (the default) | no: whether
//                             kvo-runtime.jar goes in as an included file
//
// In a narrow value \xHH is a byte of the code page as it stands and \uHHHH
// a character to convert; in a wide value both are UTF-16 code units.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kvo-pack/Encoding.h"
#include "tools/kvo-pack/ResourceFiles.h"

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

// A file named in [resources]: as written, relative to the configuration.
struct ResourcePath {
    std::string path;
    int line = 0;
};

struct ResourceSettings {
    std::optional<ResourcePath> icon;
    std::optional<ResourcePath> splashIcon;
    std::optional<ResourcePath> splashBitmap;
    std::optional<ResourcePath> splashImage;
    std::optional<ExecutionLevel> executionLevel;
    std::optional<DpiAwareness> dpiAware;
    int line = 0;  // of the first [resources] header

    bool any() const {
        return icon || splashIcon || splashBitmap || splashImage || executionLevel || dpiAware;
    }
};

struct VersionSettings {
    bool present = false;
    int line = 0;  // of the [version] header
    VersionInfo info;
};

// A mistake of one line (0: of the whole file), its text naming file and line.
struct LineMistake {
    int line = 0;
    std::string text;
};

struct PackConfig {
    BlockRecords records;
    // Every line that could not be read, in file order; the lines around
    // them are read all the same, so that one run names every mistake.
    std::vector<LineMistake> mistakes;
    // Records whose line holds a mistake: the configuration meant to set them.
    std::vector<int32_t> unreadRecords;
    bool hasFilesSection = false;
    // kvo-runtime.jar among the included files; off for a vendor whose
    // archives hold a launcher class of their own.
    bool includeRuntime = true;
    int runtimeLine = 0;  // of the include setting, 0 when not given
    std::vector<IncludedFile> files;
    ResourceSettings resources;
    VersionSettings version;
    std::vector<std::string> warnings;
};

// Blanks and tabs off both ends, as every value is read.
std::string_view trimBlanks(std::string_view text);

// Reads every line it can; the others are listed in `mistakes`. Throws
// PackError only when the text as a whole cannot be read (UTF-16 cut short).
PackConfig readConfigText(std::string_view text, std::string_view fileName, const CodePage& page);
// The same, throwing PackError with every mistake (one a line) when there are any.
PackConfig parseConfigText(std::string_view text, std::string_view fileName, const CodePage& page);

// Mistakes beyond this many are not read: the run stops with a line saying so.
constexpr size_t kMistakesNamed = 100;

// Why a name cannot be an included file's name, or nullptr when it can. The
// launcher extracts into its temporary directory and creates one directory
// level at most (any number with `anyDepth`, for a launcher that keeps its
// files); names are joined with ";" in IncludedFileNames.
const char* includedNameProblem(std::string_view utf8Name, bool anyDepth = false);

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
