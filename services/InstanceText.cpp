#include "services/InstanceText.h"

#include <cstdio>

bool buildInstanceName(char* out, size_t capacity, std::string_view canonicalPath, bool global,
                       long number) {
    if (capacity == 0)
        return false;
    std::string name = global ? "Global\\" : "Local\\";
    for (char c : canonicalPath)
        name += (c == '\\' || c == ' ') ? '_' : c;
    if (number >= 0)
        name += std::to_string(number);
    if (name.size() >= capacity) {
        out[0] = '\0';
        return false;
    }
    name.copy(out, name.size());
    out[name.size()] = '\0';
    return true;
}

size_t argumentsOffset(std::u16string_view commandLine) {
    size_t from = 0;
    if (!commandLine.empty() && commandLine[0] == u'"') {
        from = commandLine.find(u'"', 1);
        if (from == std::u16string_view::npos)
            return commandLine.size();
    }
    size_t p = commandLine.find(u' ', from);
    if (p == std::u16string_view::npos)
        return commandLine.size();
    while (p < commandLine.size() && commandLine[p] == u' ')
        ++p;
    return p;
}

std::string handOverBytes(std::u16string_view commandLine) {
    const std::u16string_view arguments = commandLine.substr(argumentsOffset(commandLine));
    std::string bytes;
    bytes.reserve((arguments.size() + 1) * 2);
    auto put = [&bytes](char16_t unit) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    };
    for (char16_t unit : arguments)
        put(unit);
    put(u'\n');
    return bytes;
}
