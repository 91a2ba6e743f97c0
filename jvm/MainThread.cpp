#include "jvm/MainThread.h"

#include <atomic>
#include <string>

#include "core/Log.h"
#include "core/StepTimes.h"
#include "jvm/MainException.h"
#include "jvm/MainThreadClass.h"

namespace {

constexpr char kClassName[] = "com/korvo/runtime/LauncherMainThread";

// Written before the thread starts, read on it: Thread.start orders both.
jclass mainClass = nullptr;
jmethodID mainEntry = nullptr;
jobjectArray mainArguments = nullptr;
std::atomic<bool> mainThrew{false};

void JNICALL runMain(JNIEnv* env, jobject) {
    noteStep("main thread running");
    env->CallStaticVoidMethod(mainClass, mainEntry, mainArguments);
    mainThrew = mainEndedWithException(env);
}

// A failed JNI call leaves an exception pending that no later call may meet.
bool failed(JNIEnv* env, const char* what) {
    if (!env->ExceptionCheck())
        return false;
    env->ExceptionClear();
    logMessage("main thread: %s failed", what);
    return true;
}

}  // namespace

bool mainEndedWithException(JNIEnv* env) {
    logMessage("main returned");
    if (!env->ExceptionCheck())
        return false;
    logError("an exception occured");
    takeMainException(env);
    return true;
}

bool callMainOnJavaThread(JNIEnv* env, jclass launcherClass, jmethodID mainMethod, jobjectArray arguments,
                          bool& threw) {
    const std::string bytes = mainThreadClassFile(kClassName);
    jclass threadType = env->DefineClass(kClassName, nullptr, reinterpret_cast<const jbyte*>(bytes.data()),
                                         static_cast<jsize>(bytes.size()));
    if (failed(env, "DefineClass") || !threadType)
        return false;
    noteStep("main thread class defined");
    JNINativeMethod run = {const_cast<char*>("run"), const_cast<char*>("()V"), reinterpret_cast<void*>(&runMain)};
    if (env->RegisterNatives(threadType, &run, 1) != JNI_OK || failed(env, "RegisterNatives"))
        return false;
    jmethodID create = env->GetMethodID(threadType, "<init>", "(Ljava/lang/String;)V");
    jmethodID start = create ? env->GetMethodID(threadType, "start", "()V") : nullptr;
    jmethodID join = start ? env->GetMethodID(threadType, "join", "()V") : nullptr;
    if (failed(env, "GetMethodID") || !join)
        return false;
    jstring name = env->NewStringUTF("main");
    if (failed(env, "NewStringUTF") || !name)
        return false;
    mainClass = static_cast<jclass>(env->NewGlobalRef(launcherClass));
    mainArguments = static_cast<jobjectArray>(env->NewGlobalRef(arguments));
    mainEntry = mainMethod;
    jobject thread = env->NewObject(threadType, create, name);
    if (failed(env, "NewObject") || !thread)
        return false;
    noteStep("main thread made");
    env->CallVoidMethod(thread, start);
    if (failed(env, "Thread.start"))
        return false;
    noteStep("main thread started");
    // Only an interrupt of this thread ends join early; nothing here asks
    // for one, so each retry waits for the thread again.
    do
        env->CallVoidMethod(thread, join);
    while (failed(env, "Thread.join"));
    threw = mainThrew;
    env->DeleteLocalRef(thread);
    env->DeleteLocalRef(name);
    return true;
}
