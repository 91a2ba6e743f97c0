#include "tools/kvo-pack/Encoding.h"

#include <algorithm>
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

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (char32_t(text[++i]) - 0xDC00);
        else if (cp >= 0xD800 && cp <= 0xDFFF)
            cp = 0xFFFD;
        appendUtf8(out, cp);
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

namespace {

constexpr CodePageTable kTables[] = {
    {874, "CP874", 1, true},     {932, "CP932", 2, true},     {936, "CP936", 2, true},
    {949, "CP949", 2, true},     {950, "CP950", 2, true},     {1250, "CP1250", 1, true},
    {1251, "CP1251", 1, true},   {1252, "CP1252", 1, true},   {1253, "CP1253", 1, true},
    {1254, "CP1254", 1, true},   {1255, "CP1255", 1, true},   {1256, "CP1256", 1, true},
    {1257, "CP1257", 1, true},   {1258, "CP1258", 1, true},   {65001, "UTF-8", 4, false},
    {20127, "ASCII", 1, false},  {20866, "KOI8-R", 1, false}, {21866, "KOI8-U", 1, false},
    {28591, "ISO-8859-1", 1, false},  {28592, "ISO-8859-2", 1, false},
    {28593, "ISO-8859-3", 1, false},  {28594, "ISO-8859-4", 1, false},
    {28595, "ISO-8859-5", 1, false},  {28596, "ISO-8859-6", 1, false},
    {28597, "ISO-8859-7", 1, false},  {28598, "ISO-8859-8", 1, false},
    {28599, "ISO-8859-9", 1, false},  {28603, "ISO-8859-13", 1, false},
    {28605, "ISO-8859-15", 1, false},
    {437, "CP437", 1, false}, {737, "CP737", 1, false}, {775, "CP775", 1, false},
    {850, "CP850", 1, false}, {852, "CP852", 1, false}, {855, "CP855", 1, false},
    {857, "CP857", 1, false}, {860, "CP860", 1, false}, {861, "CP861", 1, false},
    {862, "CP862", 1, false}, {863, "CP863", 1, false}, {865, "CP865", 1, false},
    {866, "CP866", 1, false}, {869, "CP869", 1, true},
};

// Names beside the numbers, as users write them.
constexpr struct {
    std::string_view name;
    unsigned windows;
} kAliases[] = {
    {"UTF-8", 65001},       {"UTF8", 65001},        {"US-ASCII", 20127},   {"ASCII", 20127},
    {"KOI8-R", 20866},      {"KOI8-U", 21866},      {"SHIFT_JIS", 932},    {"SJIS", 932},
    {"GBK", 936},           {"UHC", 949},           {"BIG5", 950},         {"ISO-8859-1", 28591},
    {"ISO-8859-2", 28592},  {"ISO-8859-3", 28593},  {"ISO-8859-4", 28594}, {"ISO-8859-5", 28595},
    {"ISO-8859-6", 28596},  {"ISO-8859-7", 28597},  {"ISO-8859-8", 28598}, {"ISO-8859-9", 28599},
    {"ISO-8859-13", 28603}, {"ISO-8859-15", 28605},
};

// Characters the two hosts' tables put at different bytes: no character of
// the page on either, so both packers write the same bytes.
constexpr struct {
    unsigned windows;
    char32_t cp;
} kHostsDisagree[] = {
    {950, 0x2550},   {950, 0x255E},   {950, 0x2561},   {950, 0x256A},
    // The tables differ outright at a few bytes: KOI8-U at 0xAE and 0xBE,
    // ISO-8859-7 between its editions, ISO-8859-8 at 0xAF, 0xFD and 0xFE.
    {21866, 0x040E}, {21866, 0x045E}, {21866, 0x255D}, {21866, 0x256C},
    {28597, 0x02BC}, {28597, 0x02BD}, {28597, 0x037A}, {28597, 0x2018},
    {28597, 0x2019}, {28597, 0x20AC}, {28597, 0x20AF},
    {28598, 0x00AF}, {28598, 0x203E}, {28598, 0x200E}, {28598, 0x200F},
    // A point Windows' table has at 0xCA and iconv's has not.
    {1255, 0x05BA},
};

const CodePageTable* tableByNumber(unsigned windows) {
    for (const CodePageTable& t : kTables)
        if (t.windows == windows)
            return &t;
    return nullptr;
}

const CodePageTable* findTable(std::string_view name) {
    for (const auto& a : kAliases)
        if (a.name == name)
            return tableByNumber(a.windows);
    if (name.size() < 3 || name.size() > 7 || !name.starts_with("CP") ||
        name.find_first_not_of("0123456789", 2) != std::string_view::npos)
        return nullptr;
    unsigned number = 0;
    for (char c : name.substr(2))
        number = number * 10 + unsigned(c - '0');
    return tableByNumber(number);
}

std::string knownNames() {
    std::vector<unsigned> numbers;
    for (const CodePageTable& t : kTables)
        if (std::string_view(t.iconv).starts_with("CP"))
            numbers.push_back(t.windows);
    std::sort(numbers.begin(), numbers.end());
    std::string out;
    for (unsigned n : numbers)
        out += std::to_string(n) + ", ";
    out += "also written cp1252 or windows-1252; ";
    for (const auto& a : kAliases)
        out += std::string(a.name) + (&a == std::end(kAliases) - 1 ? "" : ", ");
    return out;
}

}  // namespace

const CodePageTable& codePageTable(std::string_view name) {
    if (const CodePageTable* table = findTable(normalisedCodePageName(name)))
        return *table;
    throw PackError("unknown code page '" + std::string(name) + "' (known are " + knownNames() + ")");
}

bool isCodePageCharacter(const CodePageTable& table, char32_t cp) {
    // ASCII is in no list below.
    if (table.windows == 65001 || cp < 0x80)
        return true;
    if (table.undefinedAsC1 && cp >= 0x80 && cp <= 0x9F)
        return false;
    if ((cp >= 0xE000 && cp <= 0xF8FF) || cp >= 0xF0000)
        return false;
    return std::none_of(std::begin(kHostsDisagree), std::end(kHostsDisagree),
                        [&](const auto& d) { return d.windows == table.windows && d.cp == cp; });
}

bool CodePage::decodeOne(std::string_view bytes, size_t pos, char32_t& cp, size_t& length) const {
    if (table_->windows == 65001) {
        size_t next = pos;
        if (!decodeUtf8(bytes, next, cp))
            return false;
        length = next - pos;
        return true;
    }
    const unsigned char first = static_cast<unsigned char>(bytes[pos]);
    if (first < 0x80 && asciiKept_[first] == 1) {
        cp = first;
        length = 1;
        return true;
    }
    // Shown as a character only when that character is written as these
    // bytes: a second byte form of it would not survive a dump and build.
    std::string again;
    const bool whole = hostDecode(bytes, pos, cp, length) && length > 0 && isCodePageCharacter(*table_, cp) &&
                       hostEncode(cp, again) && again == bytes.substr(pos, length);
    // The same finding as encode's for the character (CodePage::asciiKept_).
    if (whole && first < 0x80 && cp == first && length == 1)
        asciiKept_[first] = 1;
    return whole;
}

bool CodePage::encode(std::string_view utf8, std::string& out, char32_t& bad) const {
    out.clear();
    size_t pos = 0;
    while (pos < utf8.size()) {
        // Most text is ASCII, and the pages keep it as it is (learnt once per
        // character): a run of it goes over whole.
        size_t run = pos;
        while (run < utf8.size() && static_cast<unsigned char>(utf8[run]) < 0x80 &&
               asciiKept_[static_cast<unsigned char>(utf8[run])] == 1)
            ++run;
        out.append(utf8.substr(pos, run - pos));
        pos = run;
        if (pos == utf8.size())
            break;
        const size_t start = pos;
        char32_t cp;
        if (!decodeUtf8(utf8, pos, cp)) {
            bad = 0xFFFD;
            return false;
        }
        if (table_->windows == 65001) {
            out.append(utf8.substr(start, pos - start));
            continue;
        }
        // A character counts only when its bytes read back as itself: a
        // table's one-way mappings would change it without a word.
        std::string bytes;
        char32_t back = 0;
        size_t length = 0;
        if (!isCodePageCharacter(*table_, cp) || !hostEncode(cp, bytes) || bytes.empty() ||
            !decodeOne(bytes, 0, back, length) || length != bytes.size() || back != cp) {
            bad = cp;
            return false;
        }
        if (cp < 0x80 && bytes.size() == 1 && bytes[0] == char(cp))
            asciiKept_[cp] = 1;
        out += bytes;
    }
    return true;
}

std::vector<DecodedPiece> CodePage::decode(std::string_view bytes) const {
    std::vector<DecodedPiece> pieces;
    std::string text;
    for (size_t pos = 0; pos < bytes.size();) {
        char32_t cp;
        size_t length = 0;
        if (decodeOne(bytes, pos, cp, length)) {
            appendUtf8(text, cp);
            pos += length;
            continue;
        }
        if (!text.empty())
            pieces.push_back({false, std::move(text)});
        text.clear();
        pieces.push_back({true, std::string(1, bytes[pos])});
        ++pos;
    }
    if (!text.empty())
        pieces.push_back({false, std::move(text)});
    return pieces;
}

}  // namespace kvopack
