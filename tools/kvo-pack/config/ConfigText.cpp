#include "tools/kvo-pack/config/ConfigText.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "core/ConfigStore.h"
#include "services/IncludedFileName.h"
#include "tools/kvo-pack/config/ConfigFormat.h"
#include "tools/kvo-pack/config/ConfigParser.h"
#include "tools/kvo-pack/config/RecordNames.h"

namespace kvopack {
namespace configtext {
namespace {

// The section a setting of another section belongs to, or nullptr.
const char* sectionOfSetting(std::string_view key) {
    if (std::find(std::begin(kResourceKeys), std::end(kResourceKeys), key) != std::end(kResourceKeys))
        return "[resources]";
    const auto& strings = versionStringKeys();
    if (key == "Translation" || std::find(strings.begin(), strings.end(), key) != strings.end())
        return "[version]";
    return nullptr;
}

}  // namespace

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

}  // namespace configtext

std::string_view trimBlanks(std::string_view s) { return configtext::trim(s); }

PackConfig readConfigText(std::string_view text, std::string_view fileName, const CodePage& page) {
    return configtext::Parser(fileName, page).run(text);
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

const char* includedNameProblem(std::string_view name, bool anyDepth) {
    // What the configuration text and record 2003 add to the launcher's own
    // rules for where an included file may go.
    if (name.find(';') != std::string_view::npos)
        return "';' separates the names in IncludedFileNames and cannot be part of one";
    if (!name.empty() && (name.front() == '#' || name.front() == '[' || name.find('=') != std::string_view::npos ||
                          name != trimBlanks(name)))
        return "such a name cannot be written in a configuration line";
    if (name.find('\x7F') != std::string_view::npos)
        return "the name holds a character that Windows does not allow in file names";
    // A name is a key, written as it stands: nothing in it may end the line.
    if (!needsNoEscape(name))
        return "the name holds a control character or a line separator";
    return includedFileNameProblem(name, anyDepth);
}

}  // namespace kvopack
