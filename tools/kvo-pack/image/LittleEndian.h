// Little-endian fields of the PE and resource formats, read from and written
// into byte strings. Callers check the bounds before they call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kvopack::le {

// The `width`-byte (1 to 4) unsigned field at `at`.
inline uint32_t get(std::string_view s, size_t at, int width) {
    uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + size_t(i)]);
    return v;
}

inline void put(std::string& s, size_t at, uint32_t value, int width) {
    for (int i = 0; i < width; ++i)
        s[at + size_t(i)] = char((value >> (8 * i)) & 0xFF);
}

}  // namespace kvopack::le
