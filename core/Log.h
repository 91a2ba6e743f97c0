// The optional plain-text log: off unless KORVO_LOG / VANDREL_LOG is "yes" or
// the create-log switch was given. One line per call, the file closed after
// every line so nothing is lost when the process dies.
#pragma once

#if defined(__clang__)
#define KVO_PRINTF(f, a) __attribute__((format(printf, f, a)))
#elif defined(__GNUC__)
#define KVO_PRINTF(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define KVO_PRINTF(f, a)
#endif

void logMessage(const char* format, ...) KVO_PRINTF(1, 2);
// The same with the prefix "ERROR: ".
void logError(const char* format, ...) KVO_PRINTF(1, 2);
// The log file's path, or nullptr when the log is off.
const char* logFilePath();
