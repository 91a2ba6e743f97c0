// The download address a configuration may name for users without Java.
#pragma once

#include <cstddef>
#include <string_view>

// Longest address handed to the browser; the shell takes no longer ones.
constexpr size_t kWebAddressMax = 2048;

// Whether `text` is an address the launcher hands to the user's browser:
// "http://" or "https://" (in any letter case), a host, then printable ASCII
// without blanks, quotes, angle brackets or backslashes. Anything else might
// name a program or a file that the shell would start instead.
bool isWebAddress(std::string_view text);
