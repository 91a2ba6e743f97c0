#include "tools/kvo-pack/config/ConfigFormat.h"

#include <array>
#include <cstdio>

#include "tools/kvo-pack/config/RecordNames.h"

namespace kvopack {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Characters that end a line or act on a terminal: C0 and C1 controls, DEL
// and the Unicode line and paragraph separators.
bool breaksLine(char32_t cp) {
    return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
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
