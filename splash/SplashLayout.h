// Arithmetic of the splash window: where it goes on the desktop, how tall its
// fonts are, and how much of a status text fits the status line's buffer.
// No Windows headers here, so the rules are tested natively.
#pragma once

#include <cstddef>

struct SplashOrigin {
    int x;
    int y;
};

// Top-left corner that centres a width x height window in the desktop
// rectangle; halves are truncated toward zero, so a window larger than the
// desktop overhangs it equally on both sides.
SplashOrigin centredOrigin(int left, int top, int right, int bottom, int width, int height);

// GDI character height (negative) for a size in points at `dpi` pixels per
// logical inch, rounded as MulDiv rounds. 0 (GDI's default height) when the
// dpi is not positive or the result would not fit an int.
int fontHeightForPoints(int points, int dpi);

// Units of `text` (zero-terminated UTF-16) that may be converted when at most
// `maxUnits` are allowed: all of them when they fit, otherwise at most
// `maxUnits`, never ending between the halves of a surrogate pair.
size_t fittingUnits(const char16_t* text, size_t maxUnits);
