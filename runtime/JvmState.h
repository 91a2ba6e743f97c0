// State of the Java runtime shared by the runtime search, the JVM start and
// the splash thread.
#pragma once

// Home directory of the chosen runtime; empty until one is chosen.
extern char jvmHome[8192];
// Set once JNI_CreateJavaVM has succeeded.
extern volatile bool jvmCreated;

// jvmHome from the chosen java executable: its directory and "..", so that
// c:\rt\bin\javaw.exe gives c:\rt\bin\.. . A home that does not fit leaves
// jvmHome empty rather than cut.
void setJvmHome(const char* javaExecutable);
