#pragma once

#include <string>
#include <string_view>

#include "core/CommandLine.h"

// Splits an ANSI text by the command-line rules into narrow arguments.
void splitArgumentsNarrow(const char* text, NarrowArgs& out);

// An argument in the ANSI code page, as every narrow option text is. It ends
// before the first character the code page lacks; that loss is logged as an
// error naming the argument and the character.
std::string narrowArgument(std::u16string_view argument);
// The same without the log line, for decisions that must see the very text
// the option will carry.
std::string narrowArgumentQuietly(std::u16string_view argument);
