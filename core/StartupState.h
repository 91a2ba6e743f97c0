// Start-up state written by the main thread before any other thread exists,
// read-only afterwards.
#pragma once

extern bool langRestart;
extern bool createLogRequested;
// Errors in message boxes when true, on standard error when false. Only ever
// goes from true to false.
extern bool useErrorDialogs;
// First character of ProductFlavor ('\0' when the record is empty).
extern char productFlavor;
// "korvo" for flavour 'e', otherwise "vandrel".
extern const char* productTitle;
