#include "jvm/Variables.h"

#include "core/Log.h"

void expandVariables(std::string& text) {
    logMessage("variable expansion not built yet: %s left unchanged", text.c_str());
}
