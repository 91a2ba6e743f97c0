// Process-level services at fixed points of start-up: a console for the GUI
// program, the reboot keyword.
#pragma once

// True when the process has a console afterwards.
bool attachConsole();
// True when what is written to standard error can reach somebody: the
// process has a standard error handle of a known kind (a console, a file, a
// pipe) and the C runtime writes to one. A GUI program started from
// Explorer has none.
bool standardErrorUsable();
void rebootSystem();
