// The launcher's Java half (kvo-runtime.jar's classes), defined in the VM
// from the launcher's own file: no start writes it anywhere, and no archive
// of it stands on the class path.
#pragma once

#include <jni.h>

#include <string>

// Defines the classes the launcher file carries, in the loader of the class
// path, in the pack's order (superclasses and interfaces first), before
// anything looks up the launcher class; the application then finds them
// through that loader as it finds its own. True when all are defined or the
// launcher carries none; false with `failure`, what message 1010 is to say.
bool defineJavaHalf(JNIEnv* env, std::string& failure);
