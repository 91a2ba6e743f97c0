#include "jvm/JavaVMLauncher.h"

#include "core/Log.h"

bool launchProgram(const WideArgs& /*arguments*/, bool /*destroyAfterMain*/) {
    logError("JVM creation not built yet");
    return false;
}
