#include "jvm/JavaVMLauncher.h"

#include <atomic>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/ConfigStore.h"
#include "core/Errors.h"
#include "core/Log.h"
#include "core/StartupState.h"
#include "jvm/ApplicationThreads.h"
#include "jvm/JavaHalf.h"
#include "jvm/LaunchInputs.h"
#include "jvm/LauncherArgs.h"
#include "jvm/MainCall.h"
#include "jvm/MainException.h"
#include "jvm/MainThread.h"
#include "jvm/VmOutput.h"
#include "runtime/JniEntry.h"
#include "runtime/JvmState.h"

JavaVM* javaVM = nullptr;
JNIEnv* jniEnv = nullptr;

namespace {

void (*beforeDestroy)() = nullptr;
// What message 1005 says failed, as its {1}.
std::string failureDetail;
// While JNI_CreateJavaVM runs: written by the main thread, read by whichever
// VM thread ends the process.
std::atomic<bool> creating{false};

// What the VM said when it could not be created; a VM that said nothing
// leaves the likely causes.
std::string creationFailure() {
    std::string said = vmLastWords();
    if (said.empty())
        said = "The Java VM could not be created. The maximum heap size (-Xmx) might be too large or an "
               "antivirus or firewall tool could block the execution.";
    return said;
}

// Some VMs end the process from inside JNI_CreateJavaVM (HotSpot: a heap
// it cannot reserve, two collectors chosen) and call this hook first; the
// user is told why before that happens. A running VM's crash is left to
// the VM's own report.
void JNICALL vmAbort() {
    if (!creating)
        return;
    flushVmOutput();
    failureDetail = creationFailure();
    logError("the JVM ends the process while starting");
    logError("could not initialize JVM");
    fatalErrorMessage(msg::JvmNotStarted, nullptr, failureDetail.c_str());
}

// A JNI call that must not fail did: end with a message rather than hand a
// null reference to the JVM.
[[noreturn]] void assertionFailed(const char* expression) {
    logError("assertion failed: %s (JavaVMLauncher)", expression);
    char text[256];
    std::snprintf(text, sizeof text, "Internal error: assertion failed: %s (JavaVMLauncher)", expression);
    fatalError(text);
}

}  // namespace

bool checkFirstRun() {
    if (!firstRunMarkerPresent())
        return true;
    jclass firstRun = jniEnv->FindClass("com/vandrel/runtime/launcher/FirstRun");
    if (!firstRun)
        fatalErrorMessage(msg::InternalError, "14");
    jmethodID method = jniEnv->GetStaticMethodID(firstRun, "firstRun", "()Z");
    if (!method)
        fatalErrorMessage(msg::InternalError, "15");
    const jboolean goOn = jniEnv->CallStaticBooleanMethod(firstRun, method);
    if (jniEnv->ExceptionCheck()) {
        logError("the first-run check ended with an exception");
        takeMainException(jniEnv);
        return false;
    }
    return goOn == JNI_TRUE;
}

namespace {

// The launcher class's main, for main's thread: global references, valid
// on any thread.
struct LauncherClassCall {
    jclass type = nullptr;
    jmethodID main = nullptr;
    jobjectArray values = nullptr;
};

MainTurn callLauncherClass(JNIEnv* env, void* context) {
    const LauncherClassCall& call = *static_cast<const LauncherClassCall*>(context);
    env->CallStaticVoidMethod(call.type, call.main, call.values);
    return mainEndedWithException(env) ? MainTurn::threw : MainTurn::returned;
}

MainTurn onMainThread(bool ownThread, MainJob job, void* context) {
    return ownThread ? runOnMainThread(jniEnv, job, context) : job(jniEnv, context);
}

}  // namespace

bool callMain(const WideArgs& params, JavaHalf& javaHalf, const std::optional<DirectMain>& direct) {
    if (productFlavor == 'i' && !checkFirstRun()) {
        logMessage("checkFirstRun stopped further execution");
        return true;
    }
    // First: the thread comes up while the class and the arguments are
    // looked up. In the class path's loader when the Java half is, so that
    // the application's class is found from that thread.
    const bool ownThread = startMainThread(jniEnv, javaHalf.loader());
    if (!ownThread)
        logMessage("no main thread of its own: main runs on the launcher's thread");
    if (direct) {
        MainCall call{*direct, &params, &javaHalf};
        prepareMainCall(jniEnv, call);
        const MainTurn turn = onMainThread(ownThread, callMainDirectly, &call);
        if (call.methodType)
            jniEnv->DeleteGlobalRef(call.methodType);
        if (turn != MainTurn::declined)
            return turn == MainTurn::returned;
    }
    std::string javaHalfFailure;
    if (!javaHalf.defineRest(jniEnv, javaHalfFailure))
        fatalErrorMessage(msg::MainClassNotLoaded, nullptr, javaHalfFailure.c_str());
    const std::string className = slashedClassName(launcherClassName(productFlavor));
    logMessage("main class: %s", className.c_str());
    jclass launcherClass = jniEnv->FindClass(className.c_str());
    if (!launcherClass) {
        logError("could not find main class");
        const std::string missing = takePendingException(jniEnv, className.c_str());
        fatalErrorMessage(msg::MainClassNotLoaded, nullptr, missing.c_str());
    }
    jmethodID mainMethod = jniEnv->GetStaticMethodID(launcherClass, "main", "([Ljava/lang/String;)V");
    if (!mainMethod) {
        logError("could not find main method");
        const std::string missing = takePendingException(jniEnv, (className + ".main(String[])").c_str());
        fatalErrorMessage(msg::MainMethodNotFound, nullptr, missing.c_str());
    }
    logMessage("param count: %d", static_cast<int>(params.size()));
    jclass stringClass = stringClassOf(jniEnv);
    jobjectArray array =
        stringClass ? jniEnv->NewObjectArray(static_cast<jsize>(params.size()), stringClass, nullptr) : nullptr;
    if (!array)
        assertionFailed("paramArray");
    for (size_t i = 0; i < params.size(); ++i) {
        logMessage("param %d: %s", static_cast<int>(i), argumentForLog(params[i]).c_str());
        jstring text = jniEnv->NewString(reinterpret_cast<const jchar*>(params[i].data()),
                                         static_cast<jsize>(params[i].size()));
        if (!text)
            assertionFailed("jstr");
        jniEnv->SetObjectArrayElement(array, static_cast<jsize>(i), text);
        jniEnv->DeleteLocalRef(text);
    }
    logMessage("calling main");
    LauncherClassCall call;
    call.type = static_cast<jclass>(jniEnv->NewGlobalRef(launcherClass));
    call.main = mainMethod;
    call.values = static_cast<jobjectArray>(jniEnv->NewGlobalRef(array));
    return onMainThread(ownThread, callLauncherClass, &call) == MainTurn::returned;
}

bool createJavaVM(const OptionList& systemProperties, const WideArgs& arguments, std::optional<DirectMain>& direct) {
    const OptionList& options = assembleVmOptions(systemProperties, arguments);
    static std::vector<JavaVMOption> vmOptions;
    vmOptions.clear();
    // First, so that what the VM says of any option reaches them.
    vmOptions.push_back(JavaVMOption{const_cast<char*>("vfprintf"), reinterpret_cast<void*>(&vmPrint)});
    vmOptions.push_back(JavaVMOption{const_cast<char*>("abort"), reinterpret_cast<void*>(&vmAbort)});
    for (const std::string& option : options)
        vmOptions.push_back(JavaVMOption{const_cast<char*>(option.c_str()), nullptr});
    // The properties the launcher class would set, last, so that they win
    // over the options as its setting did.
    static OptionList directProperties;
    directProperties.clear();
    if (direct && namesCommFile(options)) {
        logMessage("single-instance mode: main is left to the launcher class");
        direct.reset();
    }
    if (direct && othersMaySetLauncherProperties(options, vmOptionsFromEnvironment())) {
        logMessage("the VM may set korvo.* properties from elsewhere: main is left to the launcher class");
        direct.reset();
    }
    if (direct) {
        direct->checkKey = mainCheckKey(direct->className, options);
        direct->checkedBefore = mainCheckedBefore(direct->checkKey);
        directProperties.push_back(std::string("-Dkorvo.guiApplication=") +
                                   (direct->guiApplication ? "true" : "false"));
        directProperties.push_back("-Dkorvo.outputFile1=");
        directProperties.push_back("-Dkorvo.outputFile2=");
    }
    for (const std::string& option : directProperties) {
        logMessage("vmoption for main called directly: %s", option.c_str());
        vmOptions.push_back(JavaVMOption{const_cast<char*>(option.c_str()), nullptr});
    }
    static JavaVMInitArgs initArgs;
    initArgs.version = JNI_VERSION_1_2;
    initArgs.nOptions = static_cast<jint>(vmOptions.size());
    initArgs.options = vmOptions.data();
    initArgs.ignoreUnrecognized = JNI_TRUE;
    logMessage("Creating JVM");
    if (!createJavaVMEntry) {
        logError("no JVM library bound");
        return false;
    }
    creating = true;
    const jint created = createJavaVMEntry(&javaVM, reinterpret_cast<void**>(&jniEnv), &initArgs);
    creating = false;
    flushVmOutput();
    if (created == JNI_OK)
        return true;
    failureDetail = creationFailure();
    logError("JNI_CreateJavaVM returned %d", static_cast<int>(created));
    return false;
}

namespace {

void destroyJavaVM() {
    logMessage("dest JVM");
    // The launcher's own threads serve the application for as long as
    // it runs, and must be off the JVM before it is torn down.
    waitForApplicationThreads(jniEnv);
    if (beforeDestroy)
        beforeDestroy();
    javaVM->DestroyJavaVM();
}

}  // namespace

bool launchProgram(const WideArgs& arguments, bool destroyAfterMain) {
    logMessage("launching program");
    static const OptionList systemProperties = buildSystemProperties();
    const WideArgs params = launcherArgumentsFor(arguments);
    JavaHalf javaHalf;
    javaHalf.read();
    // Only with the Java half: it holds what a class that cannot be called
    // directly is left to.
    std::optional<DirectMain> direct;
    if (javaHalf.carried())
        direct = directMainOf(params);
    if (!createJavaVM(systemProperties, arguments, direct)) {
        logError("could not initialize JVM");
        return false;
    }
    logMessage("JVM created");
    // Before any other thread may attach (the splash controller's looks up
    // a class of it once) and before anything looks up a class of it, the
    // first-run check included, which uses the rest of the installer
    // flavour's.
    std::string javaHalfFailure;
    if (!javaHalf.defineForApplication(jniEnv, productFlavor == 'i', javaHalfFailure))
        fatalErrorMessage(msg::MainClassNotLoaded, nullptr, javaHalfFailure.c_str());
    jvmCreated = true;
    if (!callMain(params, javaHalf, direct)) {
        logError("could not call main");
        if (!mainFailure().handledByApplication) {
            failureDetail = mainFailure().text;
            return false;
        }
        // As java does: the handler decided what the user sees, the
        // application's other threads go on, the exit code tells.
        logMessage("the application's handler took the exception: no message, exit code 1");
        if (destroyAfterMain)
            destroyJavaVM();
        exitLauncher(1);
    }
    if (destroyAfterMain)
        destroyJavaVM();
    logMessage("launch done");
    return true;
}

const char* launchFailureDetail() { return failureDetail.c_str(); }

void setBeforeDestroyJavaVM(void (*callback)()) { beforeDestroy = callback; }

JNIEnv* attachThreadToJvm() {
    if (!jvmCreated)
        return nullptr;
    // As a daemon: an attached ordinary thread would keep DestroyJavaVM
    // waiting for it, and the launcher's threads never end on their own.
    JNIEnv* env = nullptr;
    if (javaVM->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env), nullptr) != JNI_OK)
        return nullptr;
    return env;
}

void detachThreadFromJvm() {
    if (jvmCreated)
        javaVM->DetachCurrentThread();
}
