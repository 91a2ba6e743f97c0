#pragma once

// Returns when this process goes on starting; ends it with 0 when a running
// instance takes over.
void checkSingleInstance();
// The instance semaphore's name, or nullptr when the check did not run.
const char* instanceSemaphoreName();
