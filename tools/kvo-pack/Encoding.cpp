#include "tools/kvo-pack/Encoding.h"

#include <cerrno>
#include <cstdio>

namespace kvopack {

bool decodeUtf8(std::string_view text, size_t& pos, char32_t& cp) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    size_t extra;
    char32_t min;
    if (lead < 0x80) {
        cp = lead;
        ++pos;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1, min = 0x80, cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, min = 0x800, cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, min = 0x10000, cp = lead & 0x07;
    } else {
        return false;
    }
    if (text.size() - pos <= extra)
        return false;
    for (size_t i = 1; i <= extra; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    pos += extra + 1;
    return true;
}

bool isValidUtf8(std::string_view text) {
    size_t pos = 0;
    char32_t cp;
    while (pos < text.size())
        if (!decodeUtf8(text, pos, cp))
            return false;
    return true;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    size_t pos = 0;
    char32_t cp;
    while (pos < text.size()) {
        if (!decodeUtf8(text, pos, cp))
            throw PackError("invalid UTF-8");
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 | (cp >> 10));
            out += char16_t(0xDC00 | (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

std::string describeChar(char32_t cp) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", unsigned(cp));
    std::string shown;
    if (cp >= 0x20 && cp != 0x7F && !(cp >= 0x80 && cp < 0xA0)) {
        shown = "'";
        appendUtf8(shown, cp);
        shown += "' ";
    }
    return shown + "(" + code + ")";
}

std::string normalisedCodePageName(std::string_view name) {
    std::string upper;
    for (char c : name)
        upper += (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
    const auto digitsOnly = [](std::string_view s) {
        return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (digitsOnly(upper))
        return "CP" + upper;
    if (upper.starts_with("WINDOWS-") && digitsOnly(std::string_view(upper).substr(8)))
        return "CP" + upper.substr(8);
    return upper;
}

}  // namespace kvopack
