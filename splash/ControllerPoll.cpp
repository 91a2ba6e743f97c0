#include "splash/ControllerPoll.h"

#include "jvm/JavaVMLauncher.h"

namespace {

constexpr jint actionHide = 1;
constexpr jint actionText = 2;

// The polling thread's own.
JNIEnv* env = nullptr;
jclass controller = nullptr;
jmethodID getAction = nullptr;
jmethodID getText = nullptr;

// A real JVM leaves the failure of a lookup or call pending on this thread,
// and no further JNI call is allowed until it is cleared.
bool clearPendingException() {
    jthrowable pending = env->ExceptionOccurred();
    if (!pending)
        return false;
    env->ExceptionClear();
    env->DeleteLocalRef(pending);
    return true;
}

void lookupController() {
    JNIEnv* attached = attachThreadToJvm();
    if (!attached)
        return;  // no JVM yet, or the attach failed: the next poll tries again
    env = attached;
    controller = env->FindClass("com/korvo/runtime/KorvoController");
    if (!controller) {
        clearPendingException();
        return;
    }
    getAction = env->GetStaticMethodID(controller, "getAction", "()I");
    clearPendingException();
    getText = env->GetStaticMethodID(controller, "getText", "()Ljava/lang/String;");
    clearPendingException();
}

}  // namespace

ControllerRequest pollController() {
    ControllerRequest request;
    if (!env)
        lookupController();
    if (!controller || !getAction || !getText)
        return request;
    const jint action = env->CallStaticIntMethod(controller, getAction);
    if (clearPendingException())
        return request;
    if (action == actionHide) {
        request.action = ControllerAction::hide;
    } else if (action == actionText) {
        jobject text = env->CallStaticObjectMethod(controller, getText);
        if (clearPendingException() || !text)
            return request;
        if (javaStringText(env, static_cast<jstring>(text), request.text))
            request.action = ControllerAction::text;
        // The thread never returns to Java, so its local references would
        // pile up for as long as the application keeps sending texts.
        env->DeleteLocalRef(text);
    }
    return request;
}

void releaseController() {
    if (env)
        detachThreadFromJvm();
    env = nullptr;
    controller = nullptr;
    getAction = nullptr;
    getText = nullptr;
}

bool javaStringText(JNIEnv* jni, jstring text, std::u16string& out) {
    out.clear();
    if (!text)
        return false;
    const jchar* chars = jni->GetStringChars(text, nullptr);
    if (!chars)
        return false;
    const jsize length = jni->GetStringLength(text);
    if (length > 0)
        out.assign(reinterpret_cast<const char16_t*>(chars), static_cast<size_t>(length));
    jni->ReleaseStringChars(text, chars);
    return true;
}
