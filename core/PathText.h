// Text rules of paths, free of the file system and of code pages, so the
// narrow wrappers in Paths.cpp stay thin.
#pragma once

#include <string>
#include <string_view>

#include "core/AsciiCase.h"

// "c:\x", "\"c:\x" and "\\server\share" are absolute; "\dir", "c:dir" and
// anything shorter than three characters are relative.
bool isRelativePath(std::string_view path);

// Runs of backslashes become one, except that the first two characters never
// change, so a leading pair (a network path) survives.
template <class CharT>
void collapseBackslashesText(std::basic_string<CharT>& text) {
    if (text.size() < 2)
        return;
    size_t w = 0;
    for (size_t r = 1; r < text.size(); ++r) {
        if (!(w > 0 && text[w] == CharT('\\') && text[r] == CharT('\\')))
            ++w;
        text[w] = text[r];
    }
    text.resize(w + 1);
}

// A to Z become a to z; nothing else changes.
template <class CharT>
void lowerCaseAsciiText(std::basic_string<CharT>& text) {
    for (CharT& c : text)
        c = lowerAscii(c);
}

// "x:\", "x:\." and "x:\.\." name a drive root.
bool isDriveRootText(std::string_view path);

// The directory part of a full path: everything up to the start of the file
// part, trailing backslash kept.
std::string_view directoryOfFullPath(std::string_view fullPath, size_t filePartOffset);

// `path` without its "." parts ("C:\app\.\lib" is "C:\app\lib"); ".."
// stays, and so does a path that is nothing but ".".
std::string withoutDotParts(std::string_view path);
