#include "core/CommandLineNarrow.h"

#include "core/CodePage.h"
#include "core/Log.h"
#include "core/Platform.h"

namespace {

char32_t characterAt(std::u16string_view text, size_t at) {
    const char16_t unit = text[at];
    if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF)
        return 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(text[at + 1]) - 0xDC00);
    return unit;
}

}  // namespace

std::string narrowArgumentQuietly(std::u16string_view argument) {
    std::string out;
    narrowUntilMissing(CP_ACP, argument, out);
    return out;
}

std::string narrowArgument(std::u16string_view argument) {
    std::string out;
    const size_t missing = narrowUntilMissing(CP_ACP, argument, out);
    if (missing != std::u16string_view::npos)
        logError("option %s cut before character U+%04X, which the ANSI code page (%u) lacks", out.c_str(),
                 static_cast<unsigned>(characterAt(argument, missing)), static_cast<unsigned>(GetACP()));
    return out;
}

void splitArgumentsNarrow(const char* text, NarrowArgs& out) {
    constexpr int kUnits = 8192;
    wchar_t wide[kUnits];
    // Texts beyond 8192 units are cut there.
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, kUnits);
    if (n <= 0) {
        n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0) > kUnits ? kUnits : 0;
        if (n == 0)
            return;
        const int m = MultiByteToWideChar(CP_ACP, 0, text, kUnits - 1, wide, kUnits - 1);
        wide[m > 0 ? m : 0] = L'\0';
    }
    WideArgs arguments;
    splitArguments(std::u16string_view(reinterpret_cast<const char16_t*>(wide)), arguments);
    for (const std::u16string& argument : arguments)
        out.push_back(narrowArgument(argument));
}
