// Conversions between UTF-16 and the narrow code pages. Every wide text that
// becomes narrow goes through here: Windows would otherwise replace a letter
// the code page lacks by a look-alike ("č" becomes "c") without saying so,
// and a path changed that way names another file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/Platform.h"

// The code page of the narrow file functions (ANSI or OEM).
UINT fileApiCodePage();

// `wide` in `codePage`; false (and `out` empty) when a character has no
// form of its own there.
bool narrowExact(UINT codePage, std::wstring_view wide, std::string& out);
bool narrowExact(UINT codePage, std::u16string_view wide, std::string& out);

// Converts `wide` up to the first character `codePage` lacks. Returns that
// character's offset in `wide`, or npos when the whole text converted.
size_t narrowUntilMissing(UINT codePage, std::u16string_view wide, std::string& out);

// `wide` in `codePage` with "?" for each character it lacks, never a
// look-alike: for texts that are only shown (log lines).
std::string narrowForDisplay(UINT codePage, std::wstring_view wide);

// `narrow` read in `codePage`; false (and `out` empty) when it cannot be.
bool widenText(UINT codePage, std::string_view narrow, std::wstring& out);
