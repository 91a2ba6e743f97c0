// What the launcher makes of a Java exception: the text its messages name,
// the stack trace in the log, and the application's own handler.
#pragma once

#include <jni.h>

#include <string>

struct JavaFailure {
    // The exception's toString() and its causes' (a line each, "Caused by: "),
    // in the ANSI code page, cut to a length a dialog can show.
    std::string text;
    // An uncaught-exception handler of the application's own took it, so
    // the launcher adds no message of its own.
    bool handledByApplication = false;
};

// On the thread main ran on, with main's exception pending: logs it with
// its stack trace, hands it to the thread's uncaught-exception handler as
// java does (the application's handler of the thread, else its default
// handler, else the thread group, which prints it to System.err), clears it
// and keeps what came of it for mainFailure().
void takeMainException(JNIEnv* env);
// What takeMainException found last.
const JavaFailure& mainFailure();

// The exception a failed lookup left pending, logged with its stack trace
// and cleared: its toString(), or `fallback` when none is pending.
std::string takePendingException(JNIEnv* env, const char* fallback);
