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

// The instance semaphore (initial and largest count 1) of `name`; one of the
// global namespace can be opened by every user of the machine.
// GetLastError() tells whether it existed already.
HANDLE createCountOneSemaphore(const char* name);
// Whether the error of createCountOneSemaphore means that another process
// holds the name: it existed already, or it exists and this user may not
// open it (another user's, made by a launcher that did not share it).
bool isInstanceNameTaken(DWORD error);
