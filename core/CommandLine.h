// Splitting of command lines and configured argument texts into arguments.
// Pure logic: no Windows headers, so the rules can be unit-tested natively.
#pragma once

#include <string>
#include <string_view>
#include <vector>

using WideArgs = std::vector<std::u16string>;
using NarrowArgs = std::vector<std::string>;

// Appends the arguments of `text` to `out`. Only the blank separates; double
// and single quotes both group; there is no escape character.
void splitArguments(std::u16string_view text, WideArgs& out);

// One byte per unit up to U+00FF; the text ends before the first unit above
// it, which no byte can carry.
std::string narrowUpToWideUnit(std::u16string_view text);

// The narrow half of splitArgumentsNarrow: splits already-widened text and
// narrows each argument one unit per byte, cutting it before the first unit
// above 0xFF. The code-page widening lives with the Windows-bound code.
void splitWidenedArgumentsNarrow(std::u16string_view widened, NarrowArgs& out);
