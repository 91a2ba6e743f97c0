// Start-up state written by the main thread before any other thread exists,
// read-only afterwards.
#pragma once

extern bool langRestart;
extern bool createLogRequested;
// Errors in message boxes when true, on standard error when false. Only ever
// goes from true to false.
extern bool useErrorDialogs;
// A switch asked for no dialogs ("-q", "-c", "-q_vdl_internal"): errors go to
// standard error even when the process has none. Without one, a console-type
// launcher that has none shows its errors in dialogs after all.
extern bool quietSwitchGiven;
// First character of ProductFlavor ('\0' when the record is empty).
extern char productFlavor;
// "korvo" for flavour 'e', otherwise "vandrel".
extern const char* productTitle;
