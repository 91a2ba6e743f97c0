#include "jvm/MainThread.h"

#include <condition_variable>
#include <mutex>
#include <string>

#include "core/Log.h"
#include "core/StepTimes.h"
#include "jvm/MainException.h"
#include "jvm/MainThreadClass.h"

namespace {

constexpr char kClassName[] = "com/korvo/runtime/LauncherMainThread";

// What the launcher hands to the waiting thread. Never destroyed: the
// thread may still wait when a failed start ends the process.
struct HandOver {
    std::mutex lock;
    std::condition_variable changed;
    bool ready = false;
    bool returned = false;
    jclass mainClass = nullptr;
    jmethodID mainEntry = nullptr;
    jobjectArray arguments = nullptr;
    bool threw = false;
};
HandOver& handOver = *new HandOver;

jobject mainThread = nullptr;
jmethodID joinMethod = nullptr;

void JNICALL runMain(JNIEnv* env, jobject) {
    noteStep("main thread running");
    {
        std::unique_lock<std::mutex> hold(handOver.lock);
        handOver.changed.wait(hold, [] { return handOver.ready; });
    }
    env->CallStaticVoidMethod(handOver.mainClass, handOver.mainEntry, handOver.arguments);
    const bool threw = mainEndedWithException(env);
    {
        std::lock_guard<std::mutex> hold(handOver.lock);
        handOver.threw = threw;
        handOver.returned = true;
    }
    handOver.changed.notify_all();
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

bool startMainThread(JNIEnv* env) {
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
    jobject thread = env->NewObject(threadType, create, name);
    env->DeleteLocalRef(name);
    if (failed(env, "NewObject") || !thread)
        return false;
    noteStep("main thread made");
    env->CallVoidMethod(thread, start);
    if (failed(env, "Thread.start"))
        return false;
    noteStep("main thread started");
    mainThread = thread;
    joinMethod = join;
    return true;
}

void runMainOnStartedThread(JNIEnv* env, jclass launcherClass, jmethodID mainMethod, jobjectArray arguments,
                            bool& threw) {
    {
        std::lock_guard<std::mutex> hold(handOver.lock);
        handOver.mainClass = static_cast<jclass>(env->NewGlobalRef(launcherClass));
        handOver.arguments = static_cast<jobjectArray>(env->NewGlobalRef(arguments));
        handOver.mainEntry = mainMethod;
        handOver.ready = true;
    }
    handOver.changed.notify_all();
    // Out of the VM while main runs: under an interpreting VM, a join
    // waiting in Java code competes with main's start for the VM.
    {
        std::unique_lock<std::mutex> hold(handOver.lock);
        handOver.changed.wait(hold, [] { return handOver.returned; });
        threw = handOver.threw;
    }
    // Then until the thread has ended in Java's eyes too. Only an interrupt
    // of this thread ends join early; nothing here asks for one, so each
    // retry waits for the thread again.
    do
        env->CallVoidMethod(mainThread, joinMethod);
    while (failed(env, "Thread.join"));
    env->DeleteLocalRef(mainThread);
    mainThread = nullptr;
}
