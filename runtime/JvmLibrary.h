#pragma once

#include "core/Platform.h"

// Finds a Java runtime and binds its JVM library; false when there is none
// (the user has been told why).
bool LoadDLL();
// The JVM library below the bin directory of `javaExecutable`, else below its
// ..\jre\bin; that directory stays on PATH. Null when none loads.
HMODULE loadJvmLibrary(const char* javaExecutable);
// Hands JNI_CreateJavaVM of `library` to the JVM start.
bool bindCreateJavaVM(HMODULE library);
