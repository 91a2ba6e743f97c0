// The thread the application's main runs on.
#pragma once

#include <jni.h>

// Starts a thread that the JVM starts and names "main", on which main will
// be called once handed over (runMainOnStartedThread). A thread the
// launcher only attached would stay alive to Java until the launcher lets
// go of the JVM, so an application thread that waits for main to end would
// wait for ever. Started before main's class and arguments are looked up,
// so that it comes up meanwhile: under an interpreting VM, starting a
// thread is a good part of a start's cost. False when no such thread could
// be started (nothing was started then; main is the caller's to call).
bool startMainThread(JNIEnv* env);

// Calls main on the thread startMainThread started and returns once that
// thread has ended; `threw` tells whether main ended with an exception,
// which has been handed on there, on main's own thread. Until this is
// called the thread waits; a launcher that ends the process before (a
// missing launcher class) ends it with it.
void runMainOnStartedThread(JNIEnv* env, jclass launcherClass, jmethodID mainMethod, jobjectArray arguments,
                            bool& threw);

// After main has returned on the calling thread: logs it, and hands a
// pending exception on (takeMainException). True when there was one.
bool mainEndedWithException(JNIEnv* env);
