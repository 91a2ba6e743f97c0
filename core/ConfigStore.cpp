#include "core/ConfigStore.h"

#include <climits>

#include "core/BoundedCopy.h"

ConfigStore& configStore() {
    static ConfigStore store;
    return store;
}

const char* getConfigString(int32_t id) {
    const auto& narrow = configStore().narrow;
    auto it = narrow.find(id);
    return it == narrow.end() ? "" : it->second.c_str();
}

bool getConfigString(int32_t id, char* out, size_t capacity) {
    return copyCut(out, capacity, getConfigString(id));
}

int32_t parseConfigInt(std::string_view text) {
    size_t i = 0;
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate in 64 bits and clamp once past the int range, as the C
    // library's conversion does.
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t(INT32_MAX) + 1)
            value = int64_t(INT32_MAX) + 1;
    }
    if (negative)
        return value > INT32_MAX ? INT32_MIN : -static_cast<int32_t>(value);
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

uint32_t parseConfigColor(std::string_view text) {
    // Missing components count as 0.
    uint32_t parts[3] = {0, 0, 0};
    for (int k = 0; k < 3 && !text.empty(); ++k) {
        const size_t comma = text.find(',');
        parts[k] = static_cast<uint32_t>(parseConfigInt(text.substr(0, comma))) & 0xFF;
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    return parts[0] | (parts[1] << 8) | (parts[2] << 16);
}

int32_t getConfigInt(int32_t id) { return parseConfigInt(getConfigString(id)); }

uint32_t getConfigColor(int32_t id) { return parseConfigColor(getConfigString(id)); }
