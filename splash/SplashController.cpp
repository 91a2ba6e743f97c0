#include "splash/SplashController.h"

#include <cstring>
#include <new>

#include "core/Log.h"
#include "core/UserInterface.h"
#include "jvm/JavaVMLauncher.h"
#include "services/ProcessWindows.h"
#include "splash/SplashWindow.h"

namespace {

constexpr jint actionHide = 1;
constexpr jint actionText = 2;

// Splash thread only.
bool autoOff = false;
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
        return;  // no JVM yet, or the attach failed: the next tick tries again
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

// Ends the splash thread: its message loop returns once the window is gone.
void endSplashThread() {
    if (env)
        detachThreadFromJvm();
    env = nullptr;
    closeSplashWindow();
}

void showNewText() {
    jobject text = env->CallStaticObjectMethod(controller, getText);
    if (clearPendingException() || !text)
        return;
    if (wchar_t* wide = javaStringToWide(env, static_cast<jstring>(text))) {
        setStatusText(wide);
        delete[] wide;
    }
    // The thread never returns to Java, so its local references would pile
    // up for as long as the application keeps sending texts.
    env->DeleteLocalRef(text);
}

}  // namespace

void setSplashAutoOff(bool on) { autoOff = on; }

void CALLBACK splashTimer(HWND, UINT, UINT_PTR, DWORD) {
    const UserApi* ui = userApi();
    if (!ui->IsWindowVisible(splashWindow())) {
        endSplashThread();
        return;
    }
    if (autoOff && countProcessWindows(GetCurrentProcessId()) > 1) {
        logMessage("Splash screen auto off");
        showSplash(0);
        endSplashThread();
        return;
    }
    if (!env)
        lookupController();
    if (!controller || !getAction || !getText)
        return;
    const jint action = env->CallStaticIntMethod(controller, getAction);
    if (clearPendingException())
        return;
    if (action == actionHide) {
        showSplash(0);
        endSplashThread();
    } else if (action == actionText) {
        showNewText();
    }
}

wchar_t* javaStringToWide(JNIEnv* jni, jstring text) {
    if (!text)
        return nullptr;
    const jchar* chars = jni->GetStringChars(text, nullptr);
    if (!chars)
        return nullptr;
    const jsize length = jni->GetStringLength(text);
    wchar_t* copy = length >= 0 ? new (std::nothrow) wchar_t[size_t(length) + 1] : nullptr;
    if (copy) {
        std::memcpy(copy, chars, size_t(length) * sizeof(wchar_t));
        copy[length] = L'\0';
    }
    jni->ReleaseStringChars(text, chars);
    return copy;
}
