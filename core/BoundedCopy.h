// Copies of text into fixed caller buffers: cut to fit, or all or nothing.
#pragma once

#include <cstddef>
#include <string_view>

// As much of `text` as fits out[capacity] with its terminator; false when
// the text had to be cut (or there is no room at all).
bool copyCut(char* out, size_t capacity, std::string_view text);

// All of `text` or nothing: false (and `out` empty) when it does not fit.
// For paths and names, where a cut text would name something else.
bool copyWhole(char* out, size_t capacity, std::string_view text);
