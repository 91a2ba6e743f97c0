// Code pages through the system's own tables (Windows), one character at a
// time; Encoding.cpp holds the rules both packers share. No best-fit
// look-alikes: a character Windows would replace is no character of the page.
#include "tools/kvo-pack/host/Encoding.h"

#include <windows.h>

#include <cstdint>

namespace kvopack {
namespace {

std::u16string unitsOf(char32_t cp) {
    if (cp < 0x10000)
        return std::u16string(1, char16_t(cp));
    cp -= 0x10000;
    return {char16_t(0xD800 | (cp >> 10)), char16_t(0xDC00 | (cp & 0x3FF))};
}

}  // namespace

CodePage::CodePage(std::string_view name)
    : name_(normalisedCodePageName(name)), table_(&codePageTable(name)) {
    if (!IsValidCodePage(table_->windows))
        throw PackError("code page '" + std::string(name) + "' is not installed on this system");
}

CodePage::~CodePage() = default;

bool CodePage::hostEncode(char32_t cp, std::string& out) const {
    const std::u16string units = unitsOf(cp);
    const auto* wide = reinterpret_cast<const wchar_t*>(units.data());
    char bytes[16];
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(table_->windows, WC_NO_BEST_FIT_CHARS, wide, int(units.size()), bytes,
                                sizeof bytes, nullptr, &usedDefault);
    if (n <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        usedDefault = FALSE;
        n = WideCharToMultiByte(table_->windows, 0, wide, int(units.size()), bytes, sizeof bytes, nullptr,
                                nullptr);
    }
    if (n <= 0 || usedDefault)
        return false;
    out.assign(bytes, size_t(n));
    return true;
}

bool CodePage::hostDecode(std::string_view bytes, size_t pos, char32_t& cp, size_t& length) const {
    length = IsDBCSLeadByteEx(table_->windows, static_cast<BYTE>(bytes[pos])) ? 2 : 1;
    if (pos + length > bytes.size())
        return false;
    wchar_t wide[4];
    const int n = MultiByteToWideChar(table_->windows, MB_ERR_INVALID_CHARS, bytes.data() + pos, int(length),
                                      wide, 4);
    if (n == 1) {
        cp = char16_t(wide[0]);
        return !(cp >= 0xD800 && cp <= 0xDFFF);
    }
    if (n == 2 && wide[0] >= 0xD800 && wide[0] <= 0xDBFF && wide[1] >= 0xDC00 && wide[1] <= 0xDFFF) {
        cp = 0x10000 + ((char32_t(wide[0]) - 0xD800) << 10) + (char32_t(wide[1]) - 0xDC00);
        return true;
    }
    return false;
}

}  // namespace kvopack
