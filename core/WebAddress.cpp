#include "core/WebAddress.h"

#include "core/AsciiCase.h"

bool isWebAddress(std::string_view text) {
    if (text.size() > kWebAddressMax)
        return false;
    size_t host = 0;
    for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")})
        if (text.size() >= scheme.size() && equalsIgnoringAsciiCase(text.substr(0, scheme.size()), scheme))
            host = scheme.size();
    if (host == 0 || host == text.size() || text[host] == '/')
        return false;
    for (char c : text)
        if (c <= ' ' || c > '~' || std::string_view("\"<>\\^`{|}").find(c) != std::string_view::npos)
            return false;
    return true;
}
