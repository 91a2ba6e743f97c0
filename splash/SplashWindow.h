#pragma once

// Starts the splash screen (non-zero show command) or hides it (0).
void showSplash(int showCommand);
