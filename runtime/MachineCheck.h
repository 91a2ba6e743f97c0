// Whether a runtime file (java.exe, jvm.dll) is built for the launcher's own
// machine, read from its PE header without starting or loading it.
#pragma once

#include <cstdint>
#include <string>

enum class MachineCheck { Matches, Other, Unreadable };

// Logs why a file does not match (another machine, no Windows executable, or
// a header that could not be read). `machine` gets the file's PE machine, 0
// when it is no Windows executable.
MachineCheck checkRuntimeMachine(const std::string& path, uint16_t* machine = nullptr);
