#include "core/MessageText.h"

std::string fillPlaceholders(std::string_view text, const char* arg0, const char* arg1, const char* arg2) {
    const char* arguments[3] = {arg0, arg1, arg2};
    bool used[3] = {false, false, false};
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '{' && i + 2 < text.size() && text[i + 2] == '}' && text[i + 1] >= '0' && text[i + 1] <= '2') {
            const int n = text[i + 1] - '0';
            if (arguments[n] && !used[n]) {
                out += arguments[n];
                used[n] = true;
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}
