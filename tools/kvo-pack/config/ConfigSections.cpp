// The settings of the sections other than records: [files], [resources],
// [version] and [kvo-runtime], and what is checked once the text is read.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

#include "core/ConfigStore.h"
#include "tools/kvo-pack/config/ConfigParser.h"
#include "tools/kvo-pack/config/KeptFiles.h"
#include "tools/kvo-pack/config/RecordNames.h"
#include "tools/kvo-pack/host/SystemFiles.h"

namespace kvopack::configtext {

void Parser::includedFile(std::string_view name, std::string_view value, bool escaped) {
    // Deeper names are for launchers that keep their files; finish() knows
    // whether this one does.
    if (const char* problem = includedNameProblem(name, true))
        fail("included file name '" + std::string(name) + "': " + problem);
    const std::string folded = sys::upperCaseName(name);
    if (auto seen = fileNames_.find(folded); seen != fileNames_.end())
        fail("included file name '" + std::string(name) + "' is already listed on line " +
             std::to_string(seen->second));
    // One name cannot be a file and a folder: the launcher would fail to
    // create the one that comes second.
    for (std::string_view folderName : folderPrefixes(name)) {
        const std::string folder = sys::upperCaseName(folderName);
        if (auto file = fileNames_.find(folder); file != fileNames_.end())
            fail("included file name '" + std::string(name) + "' needs a folder '" + std::string(folderName) +
                 "', but line " + std::to_string(file->second) + " names a file of that name");
        folderLines_.emplace(folder, line_);
    }
    if (auto folder = folderLines_.find(folded); folder != folderLines_.end())
        fail("included file name '" + std::string(name) + "' is the name of a folder that line " +
             std::to_string(folder->second) + " needs");
    fileNames_[folded] = line_;
    std::string path = toPath(pieces(value, escaped));
    if (path.empty())
        fail("included file '" + std::string(name) + "' has no path");
    config_.files.push_back({std::string(name), std::move(path), line_});
}

void Parser::resourceSetting(std::string_view key, std::string_view value, bool escaped) {
    const auto& keys = kResourceKeys;
    if (std::find(std::begin(keys), std::end(keys), key) == std::end(keys)) {
        failIfRecord(key, "[resources]");
        fail("unknown resource setting '" + std::string(key) +
             "' (settings are icon, splash-icon, splash-bitmap, splash-image, execution-level "
             "and dpi-aware)");
    }
    const std::string k(key);
    if (auto seen = resourceLines_.find(k); seen != resourceLines_.end())
        fail(k + " is already set on line " + std::to_string(seen->second));
    resourceLines_[k] = line_;
    ResourceSettings& r = config_.resources;
    if (key == "execution-level") {
        r.executionLevel = executionLevelByName(value);
        if (!r.executionLevel)
            fail("execution-level '" + std::string(value) +
                 "' is none of asInvoker, highestAvailable, requireAdministrator");
        return;
    }
    if (key == "dpi-aware") {
        r.dpiAware = dpiAwarenessByName(value);
        if (!r.dpiAware)
            fail("dpi-aware '" + std::string(value) + "' is none of false, true, per-monitor-v2");
        return;
    }
    ResourcePath path{toPath(pieces(value, escaped)), line_};
    if (path.path.empty())
        fail(k + " names no file");
    (key == "icon"            ? r.icon
     : key == "splash-icon"   ? r.splashIcon
     : key == "splash-bitmap" ? r.splashBitmap
                              : r.splashImage) = path;
}

void Parser::runtimeSetting(std::string_view key, std::string_view value) {
    if (key != "include")
        fail("unknown setting '" + std::string(key) + "' in [kvo-runtime] (the one setting is "
             "include = yes | no)");
    if (config_.runtimeLine)
        fail("include is already set on line " + std::to_string(config_.runtimeLine));
    if (value != "yes" && value != "no")
        fail("include = '" + std::string(value) + "': write yes (kvo-runtime.jar goes into the "
             "launcher) or no (a launcher class of your own)");
    config_.includeRuntime = value == "yes";
    config_.runtimeLine = line_;
}

namespace {

// "1.2.3.4": four numbers from 0 to 65535.
bool parseFourNumbers(std::string_view text, std::array<uint16_t, 4>& out) {
    for (size_t i = 0; i < 4; ++i) {
        const size_t dot = text.find('.');
        if ((dot == std::string_view::npos) != (i == 3))
            return false;
        const std::string_view part = text.substr(0, dot);
        unsigned value = 0;
        auto [ptr, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || ec != std::errc() || ptr != part.data() + part.size() || value > 0xFFFF)
            return false;
        out[i] = uint16_t(value);
        text.remove_prefix(i < 3 ? dot + 1 : text.size());
    }
    return true;
}

bool parseHex4(std::string_view text, uint16_t& out) {
    if (text.size() != 4)
        return false;
    unsigned value = 0;
    for (char c : text) {
        const int h = hexValue(c);
        if (h < 0)
            return false;
        value = value * 16 + unsigned(h);
    }
    out = uint16_t(value);
    return true;
}

}  // namespace

void Parser::versionSetting(std::string_view key, std::string_view value, bool escaped) {
    const auto& strings = versionStringKeys();
    const bool isString = std::find(strings.begin(), strings.end(), key) != strings.end();
    if (!isString && key != "Translation") {
        failIfRecord(key, "[version]");
        std::string message = "unknown version setting '" + std::string(key) + "' (settings are " +
                              "FileVersion, ProductVersion, Translation";
        for (std::string_view k : strings)
            if (k != "FileVersion" && k != "ProductVersion")
                message += ", " + std::string(k);
        fail(message + ")");
    }
    const std::string k(key);
    if (auto seen = versionLines_.find(k); seen != versionLines_.end())
        fail(k + " is already set on line " + std::to_string(seen->second));
    versionLines_[k] = line_;
    if (key == "FileVersion" || key == "ProductVersion") {
        std::array<uint16_t, 4> numbers{};
        if (escaped || !parseFourNumbers(value, numbers))
            fail(k + " '" + std::string(value) +
                 "' is not four numbers from 0 to 65535 separated by dots (like 1.2.3.4)");
        (key == "FileVersion" ? fileVersion_ : productVersion_) = numbers;
        return;
    }
    if (key == "Translation") {
        const std::string_view v = value;
        const size_t blank = v.find_first_of(" \t");
        const std::string_view language = blank == std::string_view::npos ? v.substr(0, 4) : v.substr(0, blank);
        const std::string_view codePage =
            blank == std::string_view::npos ? v.substr(std::min<size_t>(4, v.size())) : trim(v.substr(blank));
        VersionInfo& info = config_.version.info;
        if (escaped || !parseHex4(language, info.language) || !parseHex4(codePage, info.codePage))
            fail("Translation '" + std::string(value) +
                 "' is not a language and a code page as two four-digit hexadecimal numbers "
                 "(like 0409 04b0)");
        return;
    }
    versionStrings_[k] = toWide(pieces(value, escaped));
}

void Parser::finishVersion() {
    VersionSettings& v = config_.version;
    if (!v.present)
        return;
    if (!fileVersion_) {
        // A FileVersion line that could not be read is named on its own line.
        if (versionLines_.count("FileVersion"))
            return;
        line_ = v.line;
        fail("the [version] section needs FileVersion (four numbers, like 1.2.3.4)");
    }
    v.info.fileVersion = *fileVersion_;
    v.info.productVersion = productVersion_ ? *productVersion_ : *fileVersion_;
    const auto dotted = [](const std::array<uint16_t, 4>& n) {
        std::string text;
        for (size_t i = 0; i < 4; ++i)
            text += (i ? "." : "") + std::to_string(n[i]);
        return std::u16string(text.begin(), text.end());
    };
    versionStrings_["FileVersion"] = dotted(v.info.fileVersion);
    versionStrings_["ProductVersion"] = dotted(v.info.productVersion);
    for (std::string_view key : versionStringKeys())
        if (auto found = versionStrings_.find(std::string(key)); found != versionStrings_.end())
            v.info.strings.emplace_back(std::string(key), found->second);
    if (versionResourceFits(v.info))
        return;
    // Every length in a version resource is a 16-bit field: name the text
    // that takes it past them.
    VersionInfo partial = v.info;
    partial.strings.clear();
    for (const auto& [key, value] : v.info.strings) {
        partial.strings.emplace_back(key, value);
        if (versionResourceFits(partial))
            continue;
        const auto seen = versionLines_.find(key == "ProductVersion" && !productVersion_
                                                 ? std::string("FileVersion")
                                                 : key);
        line_ = seen != versionLines_.end() ? seen->second : v.line;
        fail("the [version] texts exceed the 65535 bytes a version resource holds (" + key +
             " is " + std::to_string(value.size()) + " UTF-16 units long)");
    }
    line_ = v.line;
    fail("the [version] texts exceed the 65535 bytes a version resource holds");
}

void Parser::finish() {
    for (const auto& [line, message] : keptFilesProblems(config_)) {
        line_ = line;
        noteMistake(fileName_ + ":" + std::to_string(line) + ": " + message);
    }
    finishVersion();
    // Records 2002 and 2003 describe the data behind the block; only the
    // packer knows that data, so it writes them whenever there is a [files]
    // section, and refuses a count it would not back with data.
    std::optional<NarrowRecord> lastCount;
    for (const NarrowRecord& r : config_.records.narrow) {
        if (r.id == rec::IncludedFileCount)
            lastCount = r;
        if (config_.hasFilesSection &&
            (r.id == rec::IncludedFileCount || r.id == rec::IncludedFileNames)) {
            line_ = r.line;
            fail(std::string(findRecordById(r.id)->name) +
                 " is written by the packer from the [files] section; remove this line");
        }
    }
    if (lastCount && parseConfigInt(lastCount->value) > 0) {
        line_ = lastCount->line;
        fail("IncludedFileCount promises included files, but there is no [files] section "
             "to take them from");
    }
}

}  // namespace kvopack::configtext
