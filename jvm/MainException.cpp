#include "jvm/MainException.h"

#include <algorithm>

#include "core/Log.h"
#include "jvm/LaunchInputs.h"
#include "jvm/ThrowableText.h"

namespace {

// A dialog shows the exception's text; a message of megabytes must not
// make it unreadable (or the log line unwritable).
constexpr size_t kLongestText = 2000;
constexpr size_t kLongestFrame = 1000;
// A stack overflow has a thousand frames; the top ones tell the story.
constexpr int kLongestTrace = 200;
// Causes may form a cycle, which ends the walk; a real chain is never this deep.
constexpr size_t kDeepestCause = 10;

JavaFailure lastFailure;

// A failed JNI call leaves an exception pending that no later call may meet.
bool failed(JNIEnv* env) {
    if (!env->ExceptionCheck())
        return false;
    env->ExceptionClear();
    return true;
}

std::string narrow(JNIEnv* env, jstring text, size_t longest) {
    const jsize length = env->GetStringLength(text);
    const jchar* chars = env->GetStringChars(text, nullptr);
    if (failed(env) || !chars)
        return std::string();
    const std::u16string_view whole(reinterpret_cast<const char16_t*>(chars), static_cast<size_t>(length > 0 ? length : 0));
    const size_t shown = javaTextCut(whole, longest);
    std::string out = javaTextForDisplay(whole.substr(0, shown));
    env->ReleaseStringChars(text, chars);
    if (shown < static_cast<size_t>(length))
        out += "...";
    return out;
}

// toString() of any object, as the ANSI code page holds it; empty when the
// call fails.
std::string describe(JNIEnv* env, jobject object, size_t longest) {
    jclass objectClass = env->FindClass("java/lang/Object");
    if (failed(env) || !objectClass)
        return std::string();
    jmethodID toString = env->GetMethodID(objectClass, "toString", "()Ljava/lang/String;");
    env->DeleteLocalRef(objectClass);
    if (failed(env) || !toString)
        return std::string();
    jstring text = static_cast<jstring>(env->CallObjectMethod(object, toString));
    if (failed(env) || !text)
        return std::string();
    std::string out = narrow(env, text, longest);
    env->DeleteLocalRef(text);
    return out;
}

// The causes of `exception` as Java walks them (ThrowableText.h); the
// local references of those met are released at the end.
template <class Visit>
void forEachCause(JNIEnv* env, jmethodID getCause, jthrowable exception, size_t limit, Visit visit) {
    const std::vector<jobject> met = walkCauses<jobject>(
        exception, limit,
        [&](jobject t) -> jobject {
            jobject cause = env->CallObjectMethod(t, getCause);
            return failed(env) ? nullptr : cause;
        },
        [&](jobject a, jobject b) { return env->IsSameObject(a, b) == JNI_TRUE; }, visit);
    for (jobject cause : met)
        env->DeleteLocalRef(cause);
}

// One throwable's line and frames, as printStackTrace shows them.
void logThrowable(JNIEnv* env, jmethodID getStackTrace, jobject throwable, const char* caption, int& lines) {
    logMessage("%s%s", caption, describe(env, throwable, kLongestText).c_str());
    jobjectArray frames = static_cast<jobjectArray>(env->CallObjectMethod(throwable, getStackTrace));
    const jsize count = !failed(env) && frames ? env->GetArrayLength(frames) : 0;
    jsize shown = 0;
    for (; shown < count && lines < kLongestTrace; ++shown, ++lines) {
        jobject frame = env->GetObjectArrayElement(frames, shown);
        if (failed(env))
            break;
        logMessage("\tat %s", frame ? describe(env, frame, kLongestFrame).c_str() : "?");
        if (frame)
            env->DeleteLocalRef(frame);
    }
    if (shown < count)
        logMessage("\t... %d more", static_cast<int>(count - shown));
    if (frames)
        env->DeleteLocalRef(frames);
}

// The trace as Java prints it (causes included), one log line a frame.
void logStackTrace(JNIEnv* env, jthrowable exception) {
    jclass throwable = env->FindClass("java/lang/Throwable");
    jmethodID getStackTrace =
        throwable && !failed(env)
            ? env->GetMethodID(throwable, "getStackTrace", "()[Ljava/lang/StackTraceElement;")
            : nullptr;
    jmethodID getCause =
        getStackTrace && !failed(env) ? env->GetMethodID(throwable, "getCause", "()Ljava/lang/Throwable;") : nullptr;
    if (failed(env) || !getCause) {
        logMessage("no stack trace: the VM does not give it");
        return;
    }
    int lines = 0;
    logThrowable(env, getStackTrace, exception, "", lines);
    forEachCause(env, getCause, exception, kDeepestCause, [&](jobject cause, bool circular) {
        if (lines >= kLongestTrace)
            return false;
        if (circular)
            logMessage("Caused by: [CIRCULAR REFERENCE: %s]", describe(env, cause, kLongestText).c_str());
        else
            logThrowable(env, getStackTrace, cause, "Caused by: ", lines);
        return true;
    });
}

// toString() of the exception and, each on a line of its own, of its causes:
// "java.lang.ExceptionInInitializerError" alone would not say what failed.
// As short as a dialog needs.
std::string describeWithCauses(JNIEnv* env, jthrowable exception) {
    constexpr size_t kCausesShown = 3;
    std::string text = describe(env, exception, kLongestText);
    jclass throwable = env->FindClass("java/lang/Throwable");
    jmethodID getCause =
        throwable && !failed(env) ? env->GetMethodID(throwable, "getCause", "()Ljava/lang/Throwable;") : nullptr;
    if (failed(env) || !getCause)
        return text;
    forEachCause(env, getCause, exception, kCausesShown, [&](jobject cause, bool circular) {
        if (text.size() >= kLongestText)
            return false;
        const std::string said = describe(env, cause, kLongestText - text.size());
        text += circular ? "\nCaused by: [CIRCULAR REFERENCE: " + said + "]" : "\nCaused by: " + said;
        return true;
    });
    return text;
}

// For a VM that cannot tell its handlers: the VM's own description.
void describeByTheVm(JNIEnv* env, jthrowable exception) {
    if (env->Throw(exception) == JNI_OK)
        env->ExceptionDescribe();
    env->ExceptionClear();
}

// As java does when main ends with an exception: the thread's own handler,
// else the default handler, else the thread group (which reports it on
// System.err). True when the handler was the application's and returned.
bool handToUncaughtHandler(JNIEnv* env, jthrowable exception) {
    jclass thread = env->FindClass("java/lang/Thread");
    jclass handlerType = thread && !failed(env) ? env->FindClass("java/lang/Thread$UncaughtExceptionHandler") : nullptr;
    if (failed(env) || !handlerType) {
        logMessage("no uncaught-exception handlers in this VM: it describes the exception itself");
        describeByTheVm(env, exception);
        return false;
    }
    jmethodID currentThread = env->GetStaticMethodID(thread, "currentThread", "()Ljava/lang/Thread;");
    jmethodID getDefault = env->GetStaticMethodID(thread, "getDefaultUncaughtExceptionHandler",
                                                  "()Ljava/lang/Thread$UncaughtExceptionHandler;");
    jmethodID getOwn =
        env->GetMethodID(thread, "getUncaughtExceptionHandler", "()Ljava/lang/Thread$UncaughtExceptionHandler;");
    jmethodID getGroup = env->GetMethodID(thread, "getThreadGroup", "()Ljava/lang/ThreadGroup;");
    jmethodID uncaught =
        env->GetMethodID(handlerType, "uncaughtException", "(Ljava/lang/Thread;Ljava/lang/Throwable;)V");
    if (failed(env) || !currentThread || !getDefault || !getOwn || !getGroup || !uncaught) {
        logMessage("no uncaught-exception handlers in this VM: it describes the exception itself");
        describeByTheVm(env, exception);
        return false;
    }
    jobject self = env->CallStaticObjectMethod(thread, currentThread);
    jobject group = self && !failed(env) ? env->CallObjectMethod(self, getGroup) : nullptr;
    jobject own = self && !failed(env) ? env->CallObjectMethod(self, getOwn) : nullptr;
    // A thread without a handler of its own answers with its group.
    if (failed(env) || (own && group && env->IsSameObject(own, group)))
        own = nullptr;
    jobject fallback = env->CallStaticObjectMethod(thread, getDefault);
    if (failed(env))
        fallback = nullptr;
    const bool application = own || fallback;
    jobject handler = own ? own : fallback ? fallback : group;
    if (!self || !handler) {
        logMessage("no uncaught-exception handler for this thread: the VM describes the exception");
        describeByTheVm(env, exception);
        return false;
    }
    logMessage(application ? "handing the exception to the application's uncaught-exception handler"
                           : "the thread group reports the exception");
    env->CallVoidMethod(handler, uncaught, self, exception);
    if (env->ExceptionCheck()) {
        jthrowable again = env->ExceptionOccurred();
        env->ExceptionClear();
        logError("the uncaught-exception handler failed: %s", describe(env, again, kLongestText).c_str());
        return false;
    }
    return application;
}

}  // namespace

void takeMainException(JNIEnv* env) {
    lastFailure = JavaFailure();
    jthrowable exception = env->ExceptionOccurred();
    env->ExceptionClear();
    if (!exception)
        return;
    logStackTrace(env, exception);
    lastFailure.text = describeWithCauses(env, exception);
    if (lastFailure.text.empty())
        lastFailure.text = "an exception that cannot describe itself";
    lastFailure.handledByApplication = handToUncaughtHandler(env, exception);
    env->DeleteLocalRef(exception);
}

const JavaFailure& mainFailure() { return lastFailure; }

std::string takePendingException(JNIEnv* env, const char* fallback) {
    jthrowable exception = env->ExceptionOccurred();
    env->ExceptionClear();
    if (!exception)
        return fallback;
    logStackTrace(env, exception);
    std::string text = describeWithCauses(env, exception);
    env->DeleteLocalRef(exception);
    return text.empty() ? std::string(fallback) : text;
}
