#include "core/CodePage.h"

#include <climits>

namespace {

UINT concreteCodePage(UINT codePage) {
    if (codePage == CP_ACP)
        return GetACP();
    if (codePage == CP_OEMCP)
        return GetOEMCP();
    return codePage;
}

}  // namespace

UINT fileApiCodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

bool narrowExact(UINT codePage, std::wstring_view wide, std::string& out) {
    out.clear();
    if (wide.empty())
        return true;
    if (wide.size() > INT_MAX)
        return false;
    const int units = static_cast<int>(wide.size());
    // UTF-8 holds every character; it only refuses unpaired surrogates, and
    // takes neither the best-fit flag nor a default character.
    const bool utf8 = concreteCodePage(codePage) == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    const int size = WideCharToMultiByte(codePage, flags, wide.data(), units, nullptr, 0, nullptr, usedDefaultOut);
    if (size <= 0 || usedDefault)
        return false;
    std::string narrow(static_cast<size_t>(size), '\0');
    const int written =
        WideCharToMultiByte(codePage, flags, wide.data(), units, narrow.data(), size, nullptr, usedDefaultOut);
    if (written != size || usedDefault)
        return false;
    out = std::move(narrow);
    return true;
}

bool narrowExact(UINT codePage, std::u16string_view wide, std::string& out) {
    return narrowExact(codePage, std::wstring_view(reinterpret_cast<const wchar_t*>(wide.data()), wide.size()), out);
}

size_t narrowUntilMissing(UINT codePage, std::u16string_view wide, std::string& out) {
    if (narrowExact(codePage, wide, out))
        return std::u16string_view::npos;
    out.clear();
    size_t at = 0;
    while (at < wide.size()) {
        // A surrogate pair is one character and is converted as one.
        const bool pair = at + 1 < wide.size() && wide[at] >= 0xD800 && wide[at] <= 0xDBFF &&
                          wide[at + 1] >= 0xDC00 && wide[at + 1] <= 0xDFFF;
        std::string piece;
        if (!narrowExact(codePage, wide.substr(at, pair ? 2 : 1), piece))
            return at;
        out += piece;
        at += pair ? 2 : 1;
    }
    return std::u16string_view::npos;
}

std::string narrowForDisplay(UINT codePage, std::wstring_view wide) {
    std::string out;
    if (narrowExact(codePage, wide, out) || wide.size() > INT_MAX)
        return out;
    const int units = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), units, nullptr, 0, "?", nullptr);
    if (size <= 0)
        return out;
    out.assign(static_cast<size_t>(size), '\0');
    const int written =
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), units, out.data(), size, "?", nullptr);
    out.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return out;
}

bool widenText(UINT codePage, std::string_view narrow, std::wstring& out) {
    out.clear();
    if (narrow.empty())
        return true;
    if (narrow.size() > INT_MAX)
        return false;
    const int bytes = static_cast<int>(narrow.size());
    const int size = MultiByteToWideChar(codePage, 0, narrow.data(), bytes, nullptr, 0);
    if (size <= 0)
        return false;
    std::wstring wide(static_cast<size_t>(size), L'\0');
    if (MultiByteToWideChar(codePage, 0, narrow.data(), bytes, wide.data(), size) != size)
        return false;
    out = std::move(wide);
    return true;
}
