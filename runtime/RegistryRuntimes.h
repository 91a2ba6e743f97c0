// Runtimes announced in the registry: the keys of the runtime installers, the
// runtimes located earlier by other programs, and the private runtime of a
// previous installation of the same application.
#pragma once

#include <string>

#include "core/Platform.h"
#include "runtime/JvmSearch.h"

// For "Y" entries of the search sequence.
bool findRegisteredJvm(const VersionBounds& bounds, std::string& javaExecutable);
// The "jre" directories of the installations listed for InstallerApplicationId
// under `root`, in their listed order.
bool findPreviousInstallation(HKEY root, const VersionBounds& bounds, std::string& javaExecutable);
