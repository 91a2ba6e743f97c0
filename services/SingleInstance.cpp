#include "services/SingleInstance.h"

#include "core/Log.h"

void checkSingleInstance() { logMessage("single-instance check not built yet: skipped"); }
