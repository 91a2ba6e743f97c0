// Whether a runtime file (java.exe, jvm.dll) is built for the launcher's own
// machine, read from its PE header without starting or loading it.
#pragma once

#include <string>

enum class MachineCheck { Matches, Other, Unreadable };

// Logs why a file does not match (another machine, no Windows executable, or
// a header that could not be read).
MachineCheck checkRuntimeMachine(const std::string& path);
