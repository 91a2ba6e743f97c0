#include "jvm/ApplicationThreads.h"

#include <chrono>
#include <thread>

#include "core/Log.h"

namespace {

// For a VM that lists ended threads: how long the launcher waits for one to
// leave the list, or for a listing that failed to succeed, at most (about a
// fifth of a second, at the application's end only).
constexpr int kRetriesAtMost = 20;
constexpr std::chrono::milliseconds kBetweenRetries{10};

struct ThreadApi {
    jclass thread = nullptr;
    jclass group = nullptr;
    jmethodID currentThread = nullptr;
    jmethodID getThreadGroup = nullptr;
    jmethodID isAlive = nullptr;
    jmethodID isDaemon = nullptr;
    jmethodID join = nullptr;
    jmethodID getParent = nullptr;
    jmethodID activeCount = nullptr;
    jmethodID enumerate = nullptr;
    jmethodID getState = nullptr;
    jobject terminated = nullptr;
    jclass system = nullptr;
    jmethodID gc = nullptr;
};

// A failed lookup or call leaves an exception pending, and no further JNI
// call is allowed until it is cleared.
bool failed(JNIEnv* env) {
    if (!env->ExceptionCheck())
        return false;
    env->ExceptionClear();
    return true;
}

bool lookUp(JNIEnv* env, ThreadApi& api) {
    api.thread = env->FindClass("java/lang/Thread");
    if (failed(env) || !api.thread)
        return false;
    api.group = env->FindClass("java/lang/ThreadGroup");
    if (failed(env) || !api.group)
        return false;
    api.currentThread = env->GetStaticMethodID(api.thread, "currentThread", "()Ljava/lang/Thread;");
    api.getThreadGroup = env->GetMethodID(api.thread, "getThreadGroup", "()Ljava/lang/ThreadGroup;");
    api.isAlive = env->GetMethodID(api.thread, "isAlive", "()Z");
    api.isDaemon = env->GetMethodID(api.thread, "isDaemon", "()Z");
    api.join = env->GetMethodID(api.thread, "join", "()V");
    api.getParent = env->GetMethodID(api.group, "getParent", "()Ljava/lang/ThreadGroup;");
    api.activeCount = env->GetMethodID(api.group, "activeCount", "()I");
    api.enumerate = env->GetMethodID(api.group, "enumerate", "([Ljava/lang/Thread;Z)I");
    // Optional: only needed for a VM that lists ended threads (see below).
    if (!failed(env)) {
        api.getState = env->GetMethodID(api.thread, "getState", "()Ljava/lang/Thread$State;");
        jclass state = failed(env) ? nullptr : env->FindClass("java/lang/Thread$State");
        jfieldID field = state && !failed(env)
                             ? env->GetStaticFieldID(state, "TERMINATED", "Ljava/lang/Thread$State;")
                             : nullptr;
        api.terminated = field && !failed(env) ? env->GetStaticObjectField(state, field) : nullptr;
        api.system = failed(env) ? nullptr : env->FindClass("java/lang/System");
        api.gc = api.system && !failed(env) ? env->GetStaticMethodID(api.system, "gc", "()V") : nullptr;
        failed(env);
    }
    return !failed(env) && api.currentThread && api.getThreadGroup && api.isAlive && api.isDaemon && api.join &&
           api.getParent && api.activeCount && api.enumerate;
}

// The top of the thread-group tree: every thread of the JVM is below it.
jobject rootGroup(JNIEnv* env, const ThreadApi& api, jobject self) {
    jobject group = env->CallObjectMethod(self, api.getThreadGroup);
    if (failed(env))
        return nullptr;
    while (group) {
        jobject parent = env->CallObjectMethod(group, api.getParent);
        if (failed(env)) {
            env->DeleteLocalRef(group);
            return nullptr;
        }
        if (!parent)
            break;
        env->DeleteLocalRef(group);
        group = parent;
    }
    return group;
}

// A live non-daemon thread other than `self`, or null when there is none
// (or the JVM would not tell). The caller deletes the reference.
jobject nextApplicationThread(JNIEnv* env, const ThreadApi& api, jobject root, jobject self, bool& broken,
                              bool& endedListed) {
    const jint count = env->CallIntMethod(root, api.activeCount);
    if (failed(env) || count < 0) {
        broken = true;
        return nullptr;
    }
    // Room for threads started between the count and the listing.
    jobjectArray threads = env->NewObjectArray(count + 16, api.thread, nullptr);
    if (failed(env) || !threads) {
        broken = true;
        return nullptr;
    }
    const jint listed = env->CallIntMethod(root, api.enumerate, threads, JNI_TRUE);
    if (failed(env)) {
        env->DeleteLocalRef(threads);
        broken = true;
        return nullptr;
    }
    jobject found = nullptr;
    for (jint i = 0; i < listed && !found && !broken; ++i) {
        jobject thread = env->GetObjectArrayElement(threads, i);
        if (failed(env)) {
            broken = true;
            break;
        }
        if (!thread)
            continue;
        const bool other = !env->IsSameObject(thread, self);
        const bool alive = other && env->CallBooleanMethod(thread, api.isAlive) == JNI_TRUE;
        if (other && !alive && api.getState && api.terminated) {
            jobject state = env->CallObjectMethod(thread, api.getState);
            if (!failed(env) && state) {
                endedListed = endedListed || env->IsSameObject(state, api.terminated);
                env->DeleteLocalRef(state);
            }
        }
        const bool daemon = alive && env->CallBooleanMethod(thread, api.isDaemon) == JNI_TRUE;
        if (failed(env))
            broken = true;
        else if (alive && !daemon)
            found = thread;
        if (found != thread)
            env->DeleteLocalRef(thread);
    }
    env->DeleteLocalRef(threads);
    return found;
}

}  // namespace

void waitForApplicationThreads(JNIEnv* env) {
    ThreadApi api;
    if (!lookUp(env, api)) {
        logMessage("application threads not visible: DestroyJavaVM waits for them");
        return;
    }
    jobject self = env->CallStaticObjectMethod(api.thread, api.currentThread);
    jobject root = !failed(env) && self ? rootGroup(env, api, self) : nullptr;
    if (!root) {
        logMessage("application threads not visible: DestroyJavaVM waits for them");
        if (self)
            env->DeleteLocalRef(self);
        return;
    }
    bool broken = false;
    bool announced = false;
    int retries = 0;
    for (;;) {
        bool endedListed = false;
        jobject thread = nextApplicationThread(env, api, root, self, broken, endedListed);
        if (!thread) {
            // A VM may keep an ended thread on its list until its next
            // collection, in the place of a live one that the list's length
            // (the count of live threads) then leaves out. The thread that ran
            // main has just ended, so this is the usual case there; and a
            // collection only takes it off once its own system thread has
            // finished too, which can be a moment after Java saw it end.
            // Meanwhile the same VM's listing may even fail (a slot it counted
            // and did not fill): asked again a moment later, it answers.
            const bool again = broken || (endedListed && api.gc);
            if (!again || retries == kRetriesAtMost)
                break;
            if (retries == 0)
                logMessage(broken ? "application threads not listed: asking again"
                                  : "ended threads still listed: collecting them");
            else
                std::this_thread::sleep_for(kBetweenRetries);
            ++retries;
            broken = false;
            if (api.gc) {
                env->CallStaticVoidMethod(api.system, api.gc);
                if (failed(env)) {
                    broken = true;
                    break;
                }
            }
            continue;
        }
        retries = 0;
        if (!announced) {
            logMessage("waiting for the application's threads");
            announced = true;
        }
        env->CallVoidMethod(thread, api.join);
        env->DeleteLocalRef(thread);
        if (failed(env)) {
            broken = true;
            break;
        }
    }
    if (broken)
        logMessage("application threads no longer visible: DestroyJavaVM waits for the rest");
    env->DeleteLocalRef(root);
    env->DeleteLocalRef(self);
}
