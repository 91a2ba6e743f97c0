#include "core/CommandLineNarrow.h"

#include "core/Platform.h"

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
    splitWidenedArgumentsNarrow(std::u16string_view(reinterpret_cast<const char16_t*>(wide)), out);
}
