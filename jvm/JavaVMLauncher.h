#pragma once

#include "core/CommandLine.h"

// Creates the JVM and calls the launcher class's main.
bool launchProgram(const WideArgs& arguments, bool destroyAfterMain);
