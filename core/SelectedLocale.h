// The locale chosen while the configuration was loaded, in the two parts the
// JVM's options name.
#pragma once

#include <cstddef>

// Two letters and a terminator into `out`; false when the locale has no
// such part or `capacity` is below 3.
bool localeLanguage(char* out, size_t capacity);
bool localeCountry(char* out, size_t capacity);
