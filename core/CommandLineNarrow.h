#pragma once

#include "core/CommandLine.h"

// Splits an ANSI text by the command-line rules into narrow arguments.
void splitArgumentsNarrow(const char* text, NarrowArgs& out);
