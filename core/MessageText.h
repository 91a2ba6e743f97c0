// Texts of the message records.
#pragma once

#include <string>
#include <string_view>

// Replaces the first "{0}", "{1}" and "{2}" of `text` by the argument of the
// same number; a null argument leaves its placeholder as it is. Arguments
// are never searched themselves, so a path holding "{1}" stays that path.
std::string fillPlaceholders(std::string_view text, const char* arg0, const char* arg1, const char* arg2);
