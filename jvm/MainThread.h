// The thread the application's main runs on.
#pragma once

#include <jni.h>

// Calls the launcher class's main on a thread that the JVM starts and names
// "main", and returns once that thread has ended. A thread the launcher only
// attached would stay alive to Java until the launcher lets go of the JVM,
// so an application thread that waits for main to end would wait for ever.
// False when no such thread could be started (nothing was called then);
// otherwise `threw` tells whether main ended with an exception, which has
// been handed on there, on main's own thread.
bool callMainOnJavaThread(JNIEnv* env, jclass launcherClass, jmethodID mainMethod, jobjectArray arguments,
                          bool& threw);

// After main has returned on the calling thread: logs it, and hands a
// pending exception on (takeMainException). True when there was one.
bool mainEndedWithException(JNIEnv* env);
