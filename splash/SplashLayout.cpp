#include "splash/SplashLayout.h"

#include <climits>
#include <cstdint>

SplashOrigin centredOrigin(int left, int top, int right, int bottom, int width, int height) {
    // 64-bit: a desktop rectangle near the int limits must not overflow.
    const int64_t x = int64_t(left) + (int64_t(right) - left - width) / 2;
    const int64_t y = int64_t(top) + (int64_t(bottom) - top - height) / 2;
    auto clamp = [](int64_t v) { return int(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v); };
    return {clamp(x), clamp(y)};
}

int fontHeightForPoints(int points, int dpi) {
    if (dpi <= 0)
        return 0;
    const int64_t product = int64_t(points) * dpi;
    // Half away from zero, as MulDiv rounds.
    const int64_t magnitude = ((product < 0 ? -product : product) + 36) / 72;
    const int64_t scaled = product < 0 ? -magnitude : magnitude;
    if (scaled > INT_MAX || scaled < -int64_t(INT_MAX))
        return 0;
    return -int(scaled);
}

size_t fittingUnits(const char16_t* text, size_t maxUnits) {
    size_t n = 0;
    while (n < maxUnits && text[n] != u'\0')
        ++n;
    if (text[n] == u'\0')
        return n;
    // Cut: a high surrogate at the end would lose its partner.
    if (n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF)
        --n;
    return n;
}
