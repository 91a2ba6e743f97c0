// The reader of configuration texts, shared by the file that reads lines,
// records and their escapes (ConfigText.cpp) and the one that reads the
// settings of the other sections (ConfigSections.cpp). Used only by these.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kvo-pack/config/ConfigText.h"

namespace kvopack::configtext {

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }

inline std::string_view trim(std::string_view s) {
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

inline constexpr std::string_view kResourceKeys[] = {"icon",         "splash-icon",     "splash-bitmap",
                                                      "splash-image", "execution-level", "dpi-aware"};

inline int hexValue(char c) {
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

}  // namespace kvopack::configtext
