// The application's own threads, seen through the JVM.
#pragma once

#include <jni.h>

// Returns when every live non-daemon Java thread but the caller's has ended,
// as DestroyJavaVM would wait for them; unlike DestroyJavaVM it leaves the
// JVM running, so the launcher's own threads can let go of it in between.
// Gives up quietly (logged) when the JVM does not offer the thread classes.
void waitForApplicationThreads(JNIEnv* env);
