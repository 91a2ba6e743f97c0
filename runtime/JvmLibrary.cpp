#include "runtime/JvmLibrary.h"

#include "core/Log.h"

bool LoadDLL() {
    logError("Java runtime search not built yet: no runtime found");
    return false;
}
