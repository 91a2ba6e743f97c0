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

