// Code pages through the system's own tables (Windows). The rules follow
// what iconv does on Linux, so both packers accept and write the same bytes:
// no best-fit look-alikes, a character must come back unchanged, and the
// undefined bytes of the windows-125x pages (which Windows decodes as C1
// control characters) are not characters of those pages.
#include "tools/kvo-pack/Encoding.h"

#include <windows.h>

#include <cstdint>

namespace kvopack {
namespace {

struct NamedPage {
    std::string_view name;
    unsigned page;
};

constexpr NamedPage kNamedPages[] = {
    {"UTF-8", 65001},       {"UTF8", 65001},       {"US-ASCII", 20127},   {"ASCII", 20127},
    {"ISO-8859-1", 28591},  {"ISO-8859-2", 28592}, {"ISO-8859-3", 28593}, {"ISO-8859-4", 28594},
    {"ISO-8859-5", 28595},  {"ISO-8859-6", 28596}, {"ISO-8859-7", 28597}, {"ISO-8859-8", 28598},
    {"ISO-8859-9", 28599},  {"ISO-8859-13", 28603}, {"ISO-8859-15", 28605}, {"KOI8-R", 20866},
    {"KOI8-U", 21866},      {"SHIFT_JIS", 932},    {"SJIS", 932},         {"GBK", 936},
    {"BIG5", 950},          {"UHC", 949},
};

unsigned pageNumber(const std::string& name) {
    if (name.starts_with("CP") && name.size() > 2 && name.size() <= 7 &&
        name.find_first_not_of("0123456789", 2) == std::string::npos)
        return unsigned(std::stoul(name.substr(2)));
    for (const NamedPage& p : kNamedPages)
        if (p.name == name)
            return p.page;
    return 0;
}

unsigned pageOf(const void* handle) { return unsigned(reinterpret_cast<uintptr_t>(handle)); }

bool isWindowsAnsiPage(unsigned page) { return page >= 1250 && page <= 1258; }

std::u16string unitsOf(char32_t cp) {
    if (cp < 0x10000)
        return std::u16string(1, char16_t(cp));
    cp -= 0x10000;
    return {char16_t(0xD800 | (cp >> 10)), char16_t(0xDC00 | (cp & 0x3FF))};
}

// One character in, its bytes out; false when the page has no exact form.
bool encodeOne(unsigned page, char32_t cp, std::string& out) {
    if (isWindowsAnsiPage(page) && cp >= 0x80 && cp <= 0x9F)
        return false;
    const std::u16string units = unitsOf(cp);
    const auto* wide = reinterpret_cast<const wchar_t*>(units.data());
    char bytes[16];
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, wide, int(units.size()), bytes, sizeof bytes,
                                nullptr, &usedDefault);
    if (n <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        usedDefault = FALSE;
        n = WideCharToMultiByte(page, 0, wide, int(units.size()), bytes, sizeof bytes, nullptr, nullptr);
    }
    if (n <= 0 || usedDefault)
        return false;
    wchar_t back[4];
    const int m = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes, n, back, 4);
    if (m != int(units.size()) || std::u16string(reinterpret_cast<const char16_t*>(back), size_t(m)) != units)
        return false;
    out.append(bytes, size_t(n));
    return true;
}

// The character that starts at `pos`: its UTF-8 form and its length in
// bytes, or false for a byte the page does not define.
bool decodeOne(unsigned page, std::string_view bytes, size_t pos, std::string& utf8, size_t& length) {
    if (page == 65001) {
        size_t next = pos;
        char32_t cp;
        if (!decodeUtf8(bytes, next, cp))
            return false;
        length = next - pos;
        utf8.append(bytes.substr(pos, length));
        return true;
    }
    length = IsDBCSLeadByteEx(page, static_cast<BYTE>(bytes[pos])) ? 2 : 1;
    if (pos + length > bytes.size())
        return false;
    wchar_t wide[4];
    const int n = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data() + pos, int(length), wide, 4);
    if (n <= 0)
        return false;
    for (int i = 0; i < n; ++i) {
        char32_t cp = char16_t(wide[i]);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (char16_t(wide[i + 1]) - 0xDC00);
            ++i;
        }
        if (isWindowsAnsiPage(page) && cp >= 0x80 && cp <= 0x9F)
            return false;
        appendUtf8(utf8, cp);
    }
    return true;
}

}  // namespace

CodePage::CodePage(std::string_view name) : name_(normalisedCodePageName(name)) {
    const unsigned page = pageNumber(name_);
    if (page == 0 || !IsValidCodePage(page))
        throw PackError("unknown code page '" + std::string(name) + "'");
    toPage_ = reinterpret_cast<void*>(uintptr_t(page));
    fromPage_ = toPage_;
}

CodePage::~CodePage() = default;

bool CodePage::encode(std::string_view utf8, std::string& out, char32_t& bad) const {
    const unsigned page = pageOf(toPage_);
    out.clear();
    size_t pos = 0;
    while (pos < utf8.size()) {
        const size_t start = pos;
        char32_t cp;
        if (!decodeUtf8(utf8, pos, cp)) {
            bad = 0xFFFD;
            return false;
        }
        if (page == 65001) {
            out.append(utf8.substr(start, pos - start));
        } else if (!encodeOne(page, cp, out)) {
            bad = cp;
            return false;
        }
    }
    return true;
}

std::vector<DecodedPiece> CodePage::decode(std::string_view bytes) const {
    const unsigned page = pageOf(fromPage_);
    std::vector<DecodedPiece> pieces;
    std::string text;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t length = 0;
        const size_t before = text.size();
        if (decodeOne(page, bytes, pos, text, length)) {
            pos += length;
            continue;
        }
        text.resize(before);
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
