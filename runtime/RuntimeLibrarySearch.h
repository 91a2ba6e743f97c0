// Where the libraries of a Java runtime come from. A library is never taken
// from the working directory, and while a runtime's VM library loads, the
// runtime's own bin directory is searched for its dependencies before the
// system directories and PATH.
#pragma once

#include <string>

#include "core/Platform.h"

// Takes the working directory out of the process's library search; called
// once at start-up, before anything is loaded by name.
void keepWorkingDirectoryOffLibrarySearch();

// Loads `library` (a full path) with `binDirectory` searched first for its
// dependencies. After a successful load the directory stays in the search
// for the VM's own later loads; after a failed one it is taken out again.
// GetLastError() is the load's.
HMODULE loadRuntimeLibrary(const std::string& library, const std::string& binDirectory);
