#include "core/MessageText.h"

std::string replaceFirstPlaceholder(std::string_view text, std::string_view argument) {
    std::string out(text);
    const size_t at = out.find("{0}");
    if (at != std::string::npos)
        out.replace(at, 3, argument);
    return out;
}
