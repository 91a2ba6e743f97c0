// The thread the application's main runs on.
#pragma once

#include <jni.h>

// What a turn on main's thread came to: main returned, main threw (the
// exception has been handed on there, on main's own thread), or the turn
// did not call main and left it to another.
enum class MainTurn { returned, threw, declined };
using MainJob = MainTurn (*)(JNIEnv* env, void* context);

// Starts a thread that the JVM starts and names "main", on which main will
// be called once handed over (runOnMainThread). A thread the launcher only
// attached would stay alive to Java until the launcher lets go of the JVM,
// so an application thread that waits for main to end would wait for ever.
// Started before main's class and arguments are looked up, so that it comes
// up meanwhile: under an interpreting VM, starting a thread is a good part
// of a start's cost. Its class is defined in `loader` (null: the VM's own
// loader), which is also the loader its lookups by name go to. False when
// no such thread could be started (nothing was started then; main is the
// caller's to call).
bool startMainThread(JNIEnv* env, jobject loader);

// Runs `job` on the thread startMainThread started and returns what it came
// to, once it has. After a turn that called main the thread ends, and this
// returns once it has ended in Java's eyes too; after a declined turn it
// waits for the next. Until a job is handed over the thread waits; a
// launcher that ends the process before (a missing launcher class) ends it
// with it.
MainTurn runOnMainThread(JNIEnv* env, MainJob job, void* context);

// After main has returned on the calling thread: logs it, and hands a
// pending exception on (takeMainException). True when there was one.
bool mainEndedWithException(JNIEnv* env);
