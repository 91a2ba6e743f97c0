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

// What the launcher hands to the waiting thread, one turn at a time. Never
// destroyed: the thread may still wait when a failed start ends the process.
struct HandOver {
    std::mutex lock;
    std::condition_variable changed;
    MainJob job = nullptr;
    void* context = nullptr;
    bool done = false;
    MainTurn turn = MainTurn::declined;
};
HandOver& handOver = *new HandOver;

jobject mainThread = nullptr;
jmethodID joinMethod = nullptr;

void JNICALL runMain(JNIEnv* env, jobject) {
    noteStep("main thread running");
    for (;;) {
        MainJob job;
        void* context;
        {
            std::unique_lock<std::mutex> hold(handOver.lock);
            handOver.changed.wait(hold, [] { return handOver.job != nullptr; });
            job = handOver.job;
            context = handOver.context;
        }
        const MainTurn turn = job(env, context);
        {
            std::lock_guard<std::mutex> hold(handOver.lock);
            handOver.job = nullptr;
            handOver.turn = turn;
            handOver.done = true;
        }
        handOver.changed.notify_all();
        if (turn != MainTurn::declined)
            return;
    }
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

bool startMainThread(JNIEnv* env, jobject loader) {
    const std::string bytes = mainThreadClassFile(kClassName);
    jclass threadType = env->DefineClass(kClassName, loader, reinterpret_cast<const jbyte*>(bytes.data()),
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

MainTurn runOnMainThread(JNIEnv* env, MainJob job, void* context) {
    {
        std::lock_guard<std::mutex> hold(handOver.lock);
        handOver.job = job;
        handOver.context = context;
        handOver.done = false;
    }
    handOver.changed.notify_all();
    // Out of the VM while main runs: under an interpreting VM, a join
    // waiting in Java code competes with main's start for the VM.
    MainTurn turn;
    {
        std::unique_lock<std::mutex> hold(handOver.lock);
        handOver.changed.wait(hold, [] { return handOver.done; });
        turn = handOver.turn;
    }
    if (turn == MainTurn::declined)
        return turn;
    // Then until the thread has ended in Java's eyes too. Only an interrupt
    // of this thread ends join early; nothing here asks for one, so each
    // retry waits for the thread again.
    do
        env->CallVoidMethod(mainThread, joinMethod);
    while (failed(env, "Thread.join"));
    env->DeleteLocalRef(mainThread);
    mainThread = nullptr;
    return turn;
}
