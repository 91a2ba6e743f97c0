// The application's main called by the launcher itself, without the
// launcher class, where that changes nothing the application can see: under
// an interpreting VM, the launcher class's first use of reflection, system
// properties and exceptions costs a start more than the rest of it.
#pragma once

#include <jni.h>

#include "core/CommandLine.h"
#include "jvm/JavaHalf.h"
#include "jvm/LauncherArgs.h"
#include "jvm/MainThread.h"

struct MainCall {
    DirectMain main;
    const WideArgs* launcherValues = nullptr;  // the application's arguments follow the leading ones
    JavaHalf* javaHalf = nullptr;              // carried, with the class path's loader
    // java.lang.reflect.Method (a global reference), found by the thread
    // that created the VM (prepareMainCall): a name looked up from main's
    // thread goes to the class path's loader, whose Java code an
    // interpreting VM runs to hand it on (about 10 ms on the real VM).
    jclass methodType = nullptr;
};

// java.lang.String, by an object of it rather than by name: a lookup by name
// goes through the class path's loader, and an interpreting VM reads and
// parses the class's file at the first one (about 10 ms on the real VM,
// where a string needs none of that).
jclass stringClassOf(JNIEnv* env);

// On the thread that created the VM, before the call is handed to main's
// thread; without what it finds the call is declined.
void prepareMainCall(JNIEnv* env, MainCall& call);

// A MainJob for main's thread (`context`: a MainCall), so that the class is
// loaded and initialised there, as java does. Calls the class's main when
// it is `public static void main(String[])` as java finds it first; throws
// on main's thread what loading the class threw when the class itself was
// found (its static initialiser failed, say), as the launcher class would
// have; otherwise declines and leaves the class, a missing one included, to
// the launcher class, which chooses and says as before.
MainTurn callMainDirectly(JNIEnv* env, void* context);
