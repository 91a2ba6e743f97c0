// The JNI invocation entry point of the loaded JVM library.
#pragma once

#include <jni.h>

#include <type_traits>

// On 32-bit Windows the entry is __stdcall; calling it through a pointer of
// any other convention would corrupt the stack without crashing at once.
using CreateJavaVMEntry = jint(JNICALL*)(JavaVM**, void**, void*);
static_assert(std::is_same_v<CreateJavaVMEntry, decltype(&JNI_CreateJavaVM)>,
              "CreateJavaVMEntry must match the JNI header's JNI_CreateJavaVM");

// Null until the JVM library has been bound.
extern CreateJavaVMEntry createJavaVMEntry;
void setCreateJavaVMEntry(CreateJavaVMEntry entry);
