#include "splash/SplashWindow.h"

#include "core/Log.h"

void showSplash(int showCommand) {
    if (showCommand != 0)
        logMessage("splash screen not built yet: nothing shown");
}
