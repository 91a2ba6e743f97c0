#include "core/StartupState.h"

bool langRestart = false;
bool createLogRequested = false;
bool useErrorDialogs = true;
bool quietSwitchGiven = false;
char productFlavor = '\0';
const char* productTitle = "vandrel";
