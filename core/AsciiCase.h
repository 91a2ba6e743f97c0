// Letter case as Windows compares the names it knows (options, variables,
// device names): A to Z only, whatever the character type, so no code page
// or locale can make two names equal that the system keeps apart.
#pragma once

#include <string_view>

template <class CharT>
constexpr CharT lowerAscii(CharT c) {
    return c >= CharT('A') && c <= CharT('Z') ? static_cast<CharT>(c - CharT('A') + CharT('a')) : c;
}

// `b` may be narrower than `a` (an ASCII literal against a wide name).
template <class CharA, class CharB>
constexpr bool equalsIgnoringAsciiCase(std::basic_string_view<CharA> a, std::basic_string_view<CharB> b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(static_cast<CharA>(b[i])))
            return false;
    return true;
}
