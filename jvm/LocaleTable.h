// The locale text for a Windows language id, and the user's choice between
// format settings and user interface language.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/CommandLine.h"

struct LocaleEntry {
    uint16_t id;
    const char* text;
};

// The exact id first, then its primary language (id & 0x3FF); nullptr when
// neither is known.
const char* localeForLanguageId(uint16_t id);
// False when the last "-Dsun.locale.formatasdefault=" argument has another
// value than "true": the user interface language is then wanted. The
// arguments are taken as the JVM gets them (in the ANSI code page), so that
// this choice and the option handed on never disagree.
bool formatAsDefault(const NarrowArgs& arguments);

const LocaleEntry* localeTableBegin();
size_t localeTableSize();
