#pragma once

#include <cstddef>

#include "core/CommandLine.h"

// Writes the locale text ("de", "pt_BR", "no_NO_NY") into `out`.
void determineLocale(const WideArgs* arguments, char* out, size_t capacity);
