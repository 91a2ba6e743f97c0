// Texts of the message records.
#pragma once

#include <string>
#include <string_view>

// Replaces the first "{0}" of `text` by `argument`; later ones stay.
std::string replaceFirstPlaceholder(std::string_view text, std::string_view argument);
