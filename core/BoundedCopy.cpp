#include "core/BoundedCopy.h"

#include <cstring>

bool copyCut(char* out, size_t capacity, std::string_view text) {
    if (capacity == 0)
        return false;
    const bool whole = text.size() < capacity;
    const size_t n = whole ? text.size() : capacity - 1;
    if (n > 0)
        std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return whole;
}

bool copyWhole(char* out, size_t capacity, std::string_view text) {
    if (capacity == 0)
        return false;
    if (text.size() >= capacity) {
        out[0] = '\0';
        return false;
    }
    if (!text.empty())
        std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
    return true;
}
