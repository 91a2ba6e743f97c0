#include "tools/kvo-pack/ConfigText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <map>
#include <optional>

#include "core/ConfigStore.h"
#include "services/IncludedFileName.h"
#include "tools/kvo-pack/KeptFiles.h"
#include "tools/kvo-pack/RecordNames.h"
#include "tools/kvo-pack/SystemFiles.h"

namespace kvopack {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// One element of a value after escapes: UTF-8 text, a \xHH or a \uHHHH.
struct Piece {
    enum Kind { text, byte, unit } kind;
    std::string utf8;
    uint32_t code = 0;
};

constexpr std::string_view kResourceKeys[] = {"icon",         "splash-icon",     "splash-bitmap",
                                               "splash-image", "execution-level", "dpi-aware"};

// The section a setting of another section belongs to, or nullptr.
const char* sectionOfSetting(std::string_view key) {
    if (std::find(std::begin(kResourceKeys), std::end(kResourceKeys), key) != std::end(kResourceKeys))
        return "[resources]";
    const auto& strings = versionStringKeys();
    if (key == "Translation" || std::find(strings.begin(), strings.end(), key) != strings.end())
        return "[version]";
    return nullptr;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class Parser {
public:
    Parser(std::string_view fileName, const CodePage& page) : fileName_(fileName), page_(page) {}

    PackConfig run(std::string_view text);

private:
    std::string fromUtf16(std::string_view bytes, bool bigEndian);
    // `unreadable`: below a header that could not be read.
    enum class Section { narrow, wide, locale, files, resources, version, runtime, unreadable };
    void readLine(std::string_view raw);
    // False once kMistakesNamed are noted: reading stops.
    bool noteMistake(std::string text);

    [[noreturn]] void fail(const std::string& message) const {
        throw PackError(fileName_ + ":" + std::to_string(line_) + ": " + message);
    }
    void warn(int line, const std::string& message) {
        config_.warnings.push_back(fileName_ + ":" + std::to_string(line) + ": warning: " +
                                   message);
    }

    std::vector<Piece> unescape(std::string_view value) const;
    std::vector<Piece> pieces(std::string_view value, bool escaped) const {
        if (escaped)
            return unescape(value);
        return {Piece{Piece::text, std::string(value)}};
    }
    std::string toNarrow(const std::vector<Piece>& pieces) const;
    std::u16string toWide(const std::vector<Piece>& pieces) const;
    std::string toPath(const std::vector<Piece>& pieces) const;

    void header(std::string_view inner);
    int32_t recordId(std::string_view key) const;
    // A record's line in a section of other settings is named as such.
    void failIfRecord(std::string_view key, const char* section) const;
    void narrowRecord(int32_t id, std::string_view value, bool escaped);
    void warnLiteralLineFeed(int32_t id, std::string_view value, bool escaped);
    void includedFile(std::string_view name, std::string_view value, bool escaped);
    void resourceSetting(std::string_view key, std::string_view value, bool escaped);
    void runtimeSetting(std::string_view key, std::string_view value);
    void versionSetting(std::string_view key, std::string_view value, bool escaped);
    void finishVersion();
    void finish();

    std::string fileName_;
    const CodePage& page_;
    PackConfig config_;
    Section section_ = Section::narrow;
    int sectionLine_ = 0;  // of the header that opened section_
    int line_ = 0;
    std::map<int32_t, int> narrowLines_;
    std::map<std::string, int> fileNames_;
    std::map<std::string, int> folderLines_;  // the first line that needs each folder
    std::map<std::string, int> resourceLines_;
    std::map<std::string, int> versionLines_;
    std::map<std::string, std::u16string> versionStrings_;
    std::optional<std::array<uint16_t, 4>> fileVersion_, productVersion_;
};

std::vector<Piece> Parser::unescape(std::string_view value) const {
    std::vector<Piece> out;
    const auto addText = [&](std::string_view s) {
        if (out.empty() || out.back().kind != Piece::text)
            out.push_back({Piece::text, {}});
        out.back().utf8 += s;
    };
    for (size_t i = 0; i < value.size();) {
        const size_t slash = value.find('\\', i);
        if (slash == std::string_view::npos) {
            addText(value.substr(i));
            break;
        }
        addText(value.substr(i, slash - i));
        if (slash + 1 == value.size())
            fail("a lone backslash ends the value; write \\\\ for a backslash");
        const char c = value[slash + 1];
        i = slash + 2;
        switch (c) {
        case 'n': addText("\n"); break;
        case 'r': addText("\r"); break;
        case 't': addText("\t"); break;
        case '\\': addText("\\"); break;
        case 'x':
        case 'u': {
            const size_t digits = c == 'x' ? 2 : 4;
            uint32_t code = 0;
            for (size_t k = 0; k < digits; ++k) {
                const int h = i + k < value.size() ? hexValue(value[i + k]) : -1;
                if (h < 0)
                    fail(std::string("\\") + c + " needs " + std::to_string(digits) +
                         " hexadecimal digits");
                code = code * 16 + uint32_t(h);
            }
            i += digits;
            out.push_back({c == 'x' ? Piece::byte : Piece::unit, {}, code});
            break;
        }
        default:
            fail(std::string("unknown escape '\\") + c +
                 "' (escapes are \\n \\r \\t \\\\ \\xHH \\uHHHH; a value written with '=' "
                 "takes backslashes as they stand)");
        }
    }
    return out;
}

std::string Parser::toNarrow(const std::vector<Piece>& pieces) const {
    std::string out;
    for (const Piece& p : pieces) {
        std::string text = p.utf8;
        if (p.kind == Piece::byte) {
            out += char(p.code);
            continue;
        }
        if (p.kind == Piece::unit) {
            if (p.code >= 0xD800 && p.code <= 0xDFFF) {
                char code[8];
                std::snprintf(code, sizeof code, "%04X", unsigned(p.code));
                fail(std::string("\\u") + code +
                     " is half of a surrogate pair; a narrow value holds whole characters");
            }
            text.clear();
            appendUtf8(text, p.code);
        }
        std::string bytes;
        char32_t bad = 0;
        if (!page_.encode(text, bytes, bad))
            fail(describeChar(bad) + " has no form in code page " + page_.name());
        out += bytes;
    }
    return out;
}

std::u16string Parser::toWide(const std::vector<Piece>& pieces) const {
    std::u16string out;
    for (const Piece& p : pieces)
        out += p.kind == Piece::text ? utf8ToUtf16(p.utf8) : std::u16string(1, char16_t(p.code));
    return out;
}

std::string Parser::toPath(const std::vector<Piece>& pieces) const {
    std::string out;
    for (const Piece& p : pieces) {
        if (p.kind == Piece::text)
            out += p.utf8;
        else if (p.kind == Piece::byte)
            out += char(p.code);
        else if (p.code >= 0xD800 && p.code <= 0xDFFF)
            fail("a surrogate cannot be part of a path");
        else
            appendUtf8(out, p.code);
    }
    return out;
}

void Parser::header(std::string_view inner) {
    inner = trim(inner);
    sectionLine_ = line_;
    if (inner == "narrow") {
        section_ = Section::narrow;
    } else if (inner == "wide") {
        section_ = Section::wide;
    } else if (inner == "files") {
        section_ = Section::files;
        config_.hasFilesSection = true;
    } else if (inner == "resources") {
        section_ = Section::resources;
        if (!config_.resources.line)
            config_.resources.line = line_;
    } else if (inner == "kvo-runtime") {
        section_ = Section::runtime;
    } else if (inner == "version") {
        section_ = Section::version;
        if (!config_.version.present)
            config_.version.line = line_;
        config_.version.present = true;
    } else if (inner == "locale" || (inner.starts_with("locale") && isBlank(inner[6]))) {
        std::string_view key = trim(inner.substr(6));
        const bool escaped = key.starts_with(":=");
        if (escaped)
            key = trim(key.substr(2));
        section_ = Section::locale;
        config_.records.locales.push_back({toNarrow(pieces(key, escaped)), {}, line_});
    } else {
        fail("unknown section '[" + std::string(inner) +
             "]' (sections are [narrow], [wide], [locale KEY], [files], [resources], "
             "[version] and [kvo-runtime])");
    }
}

int32_t Parser::recordId(std::string_view key) const {
    if (const RecordName* r = findRecordByName(key))
        return r->id;
    const char* end = key.data() + key.size();
    int32_t id = 0;
    const bool numeric = !key.empty() && (key[0] == '-' || (key[0] >= '0' && key[0] <= '9'));
    if (numeric) {
        auto [ptr, ec] = std::from_chars(key.data(), end, id);
        if (ec == std::errc() && ptr == end)
            return id;
        fail("record id '" + std::string(key) + "' is not a 32-bit number");
    }
    std::string message = "unknown record name '" + std::string(key) + "'";
    if (const std::string_view near = nearestName(key, recordNameList()); !near.empty())
        message += " (did you mean '" + std::string(near) + "'?)";
    else if (const char* section = sectionOfSetting(key))
        message += " (" + std::string(key) + " is a setting of the " + section +
                   " section; put it below a " + section + " line)";
    fail(message);
}

void Parser::failIfRecord(std::string_view key, const char* section) const {
    const bool numeric = !key.empty() && key.find_first_not_of("-0123456789") == std::string_view::npos;
    if (!findRecordByName(key) && !numeric)
        return;
    fail(std::string(key) + " is a record, but this line is in the " + section + " section of line " +
         std::to_string(sectionLine_) +
         "; records go above the first section, or below a [narrow] line");
}

void Parser::warnLiteralLineFeed(int32_t id, std::string_view value, bool escaped) {
    if (!escaped && isMessageId(id) && value.find("\\n") != std::string_view::npos)
        warn(line_, "message " + std::to_string(id) +
                        " holds a literal \\n; write ':=' instead of '=' for a line break");
}

void Parser::narrowRecord(int32_t id, std::string_view value, bool escaped) {
    NarrowRecord record{id, toNarrow(pieces(value, escaped)), line_};
    const RecordName* known = findRecordById(id);
    const std::string label = known ? std::string(known->name) : "record " + std::to_string(id);
    if (auto seen = narrowLines_.find(id); seen != narrowLines_.end())
        warn(line_, label + " is also set on line " + std::to_string(seen->second) +
                        "; the launcher takes this later value");
    narrowLines_[id] = line_;
    warnLiteralLineFeed(id, value, escaped);
    config_.records.narrow.push_back(std::move(record));
}

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

// Windows editors and PowerShell 5 save UTF-16 with a byte-order mark.
std::string Parser::fromUtf16(std::string_view bytes, bool bigEndian) {
    std::string out;
    line_ = 1;
    const auto unit = [&](size_t at) {
        const auto b = [&](size_t k) { return char16_t(static_cast<unsigned char>(bytes[k])); };
        return bigEndian ? char16_t(b(at) << 8 | b(at + 1)) : char16_t(b(at + 1) << 8 | b(at));
    };
    for (size_t at = 0; at + 1 < bytes.size(); at += 2) {
        char32_t cp = unit(at);
        if (cp >= 0xD800 && cp <= 0xDBFF && at + 3 < bytes.size() && unit(at + 2) >= 0xDC00 &&
            unit(at + 2) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
            at += 2;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            fail("the UTF-16 text holds half of a surrogate pair");
        }
        appendUtf8(out, cp);
        if (cp == '\n')
            ++line_;
    }
    if (bytes.size() % 2)
        fail("the UTF-16 text ends in the middle of a character");
    line_ = 0;
    return out;
}

PackConfig Parser::run(std::string_view text) {
    std::string decoded;
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        decoded = fromUtf16(text.substr(2), text[0] == '\xFE');
        text = decoded;
    } else if (text.size() >= 2 && (text[0] == '\0' || text[1] == '\0')) {
        line_ = 1;
        fail("the file looks like UTF-16 without a byte-order mark; save it as UTF-8 (or as UTF-16 "
             "with one)");
    }
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    while (!text.empty() || line_ == 0) {
        ++line_;
        const size_t end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (raw.ends_with('\r'))
            raw.remove_suffix(1);
        // A mistake costs its line only: the next one is read as usual.
        try {
            readLine(raw);
        } catch (const PackError& e) {
            if (!noteMistake(e.what()))
                return std::move(config_);
        }
    }
    try {
        finish();
    } catch (const PackError& e) {
        noteMistake(e.what());
    }
    return std::move(config_);
}

bool Parser::noteMistake(std::string text) {
    if (config_.mistakes.size() == kMistakesNamed) {
        config_.mistakes.push_back({line_, fileName_ + ":" + std::to_string(line_) + ": more than " +
                                               std::to_string(kMistakesNamed) +
                                               " mistakes; the rest of the file was not read"});
        return false;
    }
    config_.mistakes.push_back({line_, std::move(text)});
    return true;
}

void Parser::readLine(std::string_view raw) {
    for (char c : raw) {
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", unsigned(static_cast<unsigned char>(c)));
            fail(std::string("control character in the line; write it as ") + code +
                 " in a value given with ':='");
        }
    }
    if (!isValidUtf8(raw))
        fail("the line is not valid UTF-8");
    const std::string_view line = trim(raw);
    if (line.empty() || line[0] == '#')
        return;
    if (line[0] == '[') {
        // Lines below a header that cannot be read belong to no known
        // section: they are passed over rather than read as the last one's.
        try {
            if (line.back() != ']')
                fail("a section header must end with ']'");
            header(line.substr(1, line.size() - 2));
        } catch (const PackError&) {
            section_ = Section::unreadable;
            throw;
        }
        return;
    }
    if (section_ == Section::unreadable)
        return;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        fail("expected 'Name = value', 'Name := value' or a [section]");
    std::string_view key = trim(line.substr(0, eq));
    const bool escaped = key.ends_with(':');
    if (escaped)
        key = trim(key.substr(0, key.size() - 1));
    const std::string_view value = trim(line.substr(eq + 1));
    if (key.empty())
        fail("nothing before '='");
    switch (section_) {
    case Section::narrow: {
        const int32_t id = recordId(key);
        try {
            narrowRecord(id, value, escaped);
        } catch (const PackError&) {
            config_.unreadRecords.push_back(id);
            throw;
        }
        break;
    }
    case Section::wide:
    case Section::locale: {
        WideRecord record{recordId(key), toWide(pieces(value, escaped)), line_};
        warnLiteralLineFeed(record.id, value, escaped);
        auto& list = section_ == Section::wide ? config_.records.wide : config_.records.locales.back().records;
        list.push_back(std::move(record));
        break;
    }
    case Section::files:
        includedFile(key, value, escaped);
        break;
    case Section::resources:
        resourceSetting(key, value, escaped);
        break;
    case Section::version:
        versionSetting(key, value, escaped);
        break;
    case Section::runtime:
        if (escaped)
            fail("[kvo-runtime] settings take no escapes: write include = yes or include = no");
        runtimeSetting(key, value);
        break;
    case Section::unreadable:
        break;
    }
}

// --- formatting ----------------------------------------------------------

// Characters that end a line or act on a terminal: C0 and C1 controls, DEL
// and the Unicode line and paragraph separators.
bool breaksLine(char32_t cp) {
    return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
}

bool needsNoEscape(std::string_view utf8) {
    if (utf8.empty())
        return true;
    if (isBlank(utf8.front()) || isBlank(utf8.back()))
        return false;
    size_t pos = 0;
    char32_t cp;
    while (pos < utf8.size())
        if (!decodeUtf8(utf8, pos, cp) || breaksLine(cp))
            return false;
    return true;
}

void appendHex(std::string& out, char kind, uint32_t value, int digits) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\%c%0*X", kind, digits, unsigned(value));
    out += buf;
}

// Escapes UTF-8 text; blanks at the ends become \x20 or \t.
void appendEscaped(std::string& out, std::string_view utf8, bool atStart, bool atEnd) {
    const char* const end = utf8.data() + utf8.size();
    forEachCharacter(
        utf8,
        [&](char32_t cp, std::string_view bytes) {
            const bool edge = (atStart && out.empty()) || (atEnd && bytes.data() + bytes.size() == end);
            switch (cp) {
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\\': out += "\\\\"; break;
            case ' ':
                if (edge)
                    appendHex(out, 'x', 0x20, 2);
                else
                    out += ' ';
                break;
            default:
                if (breaksLine(cp))
                    appendHex(out, cp < 0x80 ? 'x' : 'u', cp, cp < 0x80 ? 2 : 4);
                else
                    out += bytes;
            }
        },
        [&](unsigned char byte) { appendHex(out, 'x', byte, 2); });
}

}  // namespace

std::string_view trimBlanks(std::string_view s) { return trim(s); }

PackConfig readConfigText(std::string_view text, std::string_view fileName, const CodePage& page) {
    return Parser(fileName, page).run(text);
}

PackConfig parseConfigText(std::string_view text, std::string_view fileName, const CodePage& page) {
    PackConfig config = readConfigText(text, fileName, page);
    if (!config.mistakes.empty()) {
        std::string all;
        for (const LineMistake& m : config.mistakes)
            all += (all.empty() ? "" : "\n") + m.text;
        throw PackError(all);
    }
    return config;
}

std::string escapedForLine(std::string_view text) {
    std::string out;
    forEachCharacter(
        text,
        [&](char32_t cp, std::string_view bytes) {
            if (breaksLine(cp))
                appendHex(out, cp < 0x80 ? 'x' : 'u', cp, cp < 0x80 ? 2 : 4);
            else
                out += bytes;
        },
        [&](unsigned char byte) { appendHex(out, 'x', byte, 2); });
    return out;
}

const char* includedNameProblem(std::string_view name, bool anyDepth) {
    // What the configuration text and record 2003 add to the launcher's own
    // rules for where an included file may go.
    if (name.find(';') != std::string_view::npos)
        return "';' separates the names in IncludedFileNames and cannot be part of one";
    if (!name.empty() && (name.front() == '#' || name.front() == '[' || name.find('=') != std::string_view::npos ||
                          name != trim(name)))
        return "such a name cannot be written in a configuration line";
    if (name.find('\x7F') != std::string_view::npos)
        return "the name holds a character that Windows does not allow in file names";
    // A name is a key, written as it stands: nothing in it may end the line.
    if (!needsNoEscape(name))
        return "the name holds a control character or a line separator";
    return includedFileNameProblem(name, anyDepth);
}

std::string formatNarrow(std::string_view bytes, const CodePage& page, bool allowLiteral,
                         bool& escaped);

std::string formatNarrowValue(std::string_view bytes, const CodePage& page, bool& escaped) {
    return formatNarrow(bytes, page, true, escaped);
}

std::string formatNarrow(std::string_view bytes, const CodePage& page, bool allowLiteral,
                         bool& escaped) {
    const std::vector<DecodedPiece> pieces = page.decode(bytes);
    std::string plain;
    bool decodable = true;
    for (const DecodedPiece& p : pieces) {
        decodable = decodable && !p.undecodable;
        plain += p.bytes;
    }
    std::string back;
    char32_t bad;
    if (allowLiteral && decodable && needsNoEscape(plain) && page.encode(plain, back, bad) && back == bytes) {
        escaped = false;
        return plain;
    }
    escaped = true;
    std::string out;
    for (size_t k = 0; k < pieces.size(); ++k) {
        if (pieces[k].undecodable)
            appendHex(out, 'x', static_cast<unsigned char>(pieces[k].bytes[0]), 2);
        else
            appendEscaped(out, pieces[k].bytes, k == 0, k + 1 == pieces.size());
    }
    // Some multi-byte code pages decode two byte forms to one character;
    // such values keep every byte outside ASCII as \xHH.
    std::string check;
    bool same = true;
    for (const DecodedPiece& p : pieces) {
        if (p.undecodable) {
            check += p.bytes;
        } else if (page.encode(p.bytes, back, bad)) {
            check += back;
        } else {
            same = false;
        }
    }
    if (same && check == bytes)
        return out;
    out.clear();
    for (size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x80)
            appendHex(out, 'x', c, 2);
        else
            appendEscaped(out, bytes.substr(i, 1), i == 0, i + 1 == bytes.size());
    }
    return out;
}

std::string formatWideValue(std::u16string_view text, bool& escaped) {
    // Decoded text with lone surrogates kept aside: they have no UTF-8 form.
    std::string plain;
    bool lone = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            appendUtf8(plain, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            lone = true;
        } else {
            appendUtf8(plain, u);
        }
    }
    if (!lone && needsNoEscape(plain)) {
        escaped = false;
        return plain;
    }
    escaped = true;
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        std::string one;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            appendUtf8(one, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendHex(out, 'u', u, 4);
            continue;
        } else {
            appendUtf8(one, u);
        }
        appendEscaped(out, one, i == 0, i + 1 == text.size());
    }
    return out;
}

std::string formatPathValue(std::string_view path, bool& escaped) {
    if (isValidUtf8(path) && needsNoEscape(path)) {
        escaped = false;
        return std::string(path);
    }
    escaped = true;
    std::string out;
    // Character by character: a byte that is no UTF-8 stands as \xHH.
    forEachCharacter(
        path,
        [&](char32_t, std::string_view bytes) {
            appendEscaped(out, bytes, bytes.data() == path.data(),
                          bytes.data() + bytes.size() == path.data() + path.size());
        },
        [&](unsigned char byte) { appendHex(out, 'x', byte, 2); });
    return out;
}

std::string formatConfigText(const BlockRecords& records, bool withFiles,
                             const std::vector<FileLine>& files, const CodePage& page,
                             std::string_view heading) {
    std::string out(heading);
    const auto line = [&](int32_t id, const std::string& value, bool escaped) {
        const RecordName* known = findRecordById(id);
        // Message records keep their ids: the text beside them says enough.
        out += known ? std::string(known->name) : std::to_string(id);
        out += escaped ? " :=" : " =";
        if (!value.empty())
            out += " " + value;
        out += "\n";
    };
    bool escaped = false;
    for (const NarrowRecord& r : records.narrow) {
        const std::string value = formatNarrowValue(r.value, page, escaped);
        line(r.id, value, escaped);
    }
    if (!records.wide.empty())
        out += "\n[wide]\n";
    for (const WideRecord& r : records.wide) {
        const std::string value = formatWideValue(r.value, escaped);
        line(r.id, value, escaped);
    }
    for (const LocaleSection& section : records.locales) {
        std::string key = formatNarrowValue(section.key, page, escaped);
        // A literal key that starts with ":=" would read as the escaped form.
        if (!escaped && key.starts_with(":="))
            key = formatNarrow(section.key, page, false, escaped);
        out += "\n[locale";
        if (escaped)
            out += " :=";
        if (!key.empty())
            out += " " + key;
        out += "]\n";
        for (const WideRecord& r : section.records) {
            const std::string value = formatWideValue(r.value, escaped);
            line(r.id, value, escaped);
        }
    }
    if (withFiles) {
        out += "\n[files]\n";
        for (const FileLine& f : files) {
            const std::string value = formatPathValue(f.path, escaped);
            out += f.name + (escaped ? " := " : " = ") + value + "\n";
        }
    }
    return out;
}

}  // namespace kvopack

namespace kvopack {

std::string formatVersionSection(const VersionInfo& info) {
    const auto dotted = [](const std::array<uint16_t, 4>& n) {
        std::string text;
        for (size_t i = 0; i < 4; ++i)
            text += (i ? "." : "") + std::to_string(n[i]);
        return text;
    };
    std::string out = "\n[version]\nFileVersion = " + dotted(info.fileVersion) +
                      "\nProductVersion = " + dotted(info.productVersion) + "\n";
    for (const auto& [key, value] : info.strings) {
        if (key == "FileVersion" || key == "ProductVersion")
            continue;
        bool escaped = false;
        const std::string text = formatWideValue(value, escaped);
        out += key + (escaped ? " :=" : " =") + (text.empty() ? "" : " " + text) + "\n";
    }
    char translation[16];
    std::snprintf(translation, sizeof translation, "%04x %04x", unsigned(info.language),
                  unsigned(info.codePage));
    return out + "Translation = " + translation + "\n";
}

}  // namespace kvopack
