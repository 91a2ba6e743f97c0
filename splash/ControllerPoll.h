// The application's hand on the splash: its controller class, asked by a
// thread of the launcher's own. The thread that asks attaches itself to the
// JVM (as a daemon) on its first poll after the JVM exists.
#pragma once

#include <jni.h>

#include <string>

enum class ControllerAction { none, hide, text };

struct ControllerRequest {
    ControllerAction action = ControllerAction::none;
    std::u16string text;  // for ControllerAction::text; a null text asks nothing
};

// What the controller asks for now. Before the JVM exists, and when the
// application has no controller class, the answer is none.
ControllerRequest pollController();
// The polling thread lets go of the JVM; a later poll attaches it again.
void releaseController();

// The characters of a Java string, by its length; false for a null string
// or when the characters cannot be had.
bool javaStringText(JNIEnv* env, jstring text, std::u16string& out);
