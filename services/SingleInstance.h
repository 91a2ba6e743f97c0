#pragma once

#include "core/Platform.h"

// Returns when this process goes on starting; ends it with 0 when a running
// instance takes over.
void checkSingleInstance();
// The instance semaphore's name, or nullptr when the check did not run.
const char* instanceSemaphoreName();
// Notes this process as the running instance of its executable (per user);
// the registry's error code.
LONG registerInstancePid();
// The process id last noted for this executable, 0 when there is none.
DWORD readInstancePid();
// Whether another process still holds the instance semaphore.
bool isMainProcessAlive();
