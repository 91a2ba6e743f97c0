#include "core/StartupState.h"

bool langRestart = false;
bool createLogRequested = false;
bool useErrorDialogs = true;
char productFlavor = '\0';
const char* productTitle = "vandrel";
