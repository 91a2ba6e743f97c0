// The java executable of search entry "S": looked for in the directories of
// PATH only, never in the working directory.
#pragma once

#include <string>

// The first java.exe in an absolute PATH directory whose runtime holds a VM
// library; false when there is none. A java.exe without one beside it (a
// folder of launcher shims that only forward to some installed runtime) is
// passed over.
bool findJavaOnPath(std::string& javaExecutable);

// Whether a VM library exists in one of the VM type directories below the
// bin directory of `javaExecutable` or below its ..\jre\bin.
bool hasVmLibrary(const std::string& javaExecutable);
