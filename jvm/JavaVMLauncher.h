// Creating the JVM inside the launcher's process and calling the launcher
// class's main.
#pragma once

#include <jni.h>

#include <optional>

#include "core/CommandLine.h"
#include "jvm/JavaHalf.h"
#include "jvm/LauncherArgs.h"
#include "jvm/VmOptions.h"

extern JavaVM* javaVM;
extern JNIEnv* jniEnv;

// Creates the JVM, calls main and, when asked, destroys the JVM after it.
// False when the JVM could not be created or main ended with an exception
// that no handler of the application's took; launchFailureDetail() then
// tells what failed, for the {1} of message 1005: what the VM said when it
// could not be created, or the exception's text. When the application's
// handler took main's exception, the process ends there with exit code 1.
bool launchProgram(const WideArgs& arguments, bool destroyAfterMain);
const char* launchFailureDetail();
// With `direct`, the application's main is to be called directly: the VM
// gets the properties the launcher class would have set, unless the options
// ask for single-instance mode, which leaves main to the launcher class
// (`direct` is then reset).
bool createJavaVM(const OptionList& systemProperties, const WideArgs& arguments, std::optional<DirectMain>& direct);
// `params`: the launcher class's array (launcherArgumentsFor).
bool callMain(const WideArgs& params, JavaHalf& javaHalf, const std::optional<DirectMain>& direct);
// True: go on and call main.
bool checkFirstRun();
// Called on the main thread once the application's threads have ended and
// before DestroyJavaVM: whatever else uses the JVM lets go of it there.
void setBeforeDestroyJavaVM(void (*callback)());
// For threads other than the main one, attached as daemons so they never
// hold the JVM up; null before the JVM exists.
JNIEnv* attachThreadToJvm();
void detachThreadFromJvm();
