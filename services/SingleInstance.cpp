#include "services/SingleInstance.h"

#include "core/Log.h"

void checkSingleInstance() { logMessage("single-instance check not built yet: skipped"); }

// No semaphore exists until the single-instance check is built.
const char* instanceSemaphoreName() { return nullptr; }
