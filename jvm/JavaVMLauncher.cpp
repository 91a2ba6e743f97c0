#include "jvm/JavaVMLauncher.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/CodePage.h"
#include "core/ConfigStore.h"
#include "core/Environment.h"
#include "core/Errors.h"
#include "core/LauncherFile.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Platform.h"
#include "core/StartupState.h"
#include "jvm/ApplicationThreads.h"
#include "jvm/LauncherArgs.h"
#include "jvm/MainException.h"
#include "jvm/MainThread.h"
#include "jvm/Variables.h"
#include "runtime/JniEntry.h"
#include "runtime/JvmState.h"
#include "services/SingleInstance.h"
#include "services/TempDir.h"

JavaVM* javaVM = nullptr;
JNIEnv* jniEnv = nullptr;

namespace {

void (*beforeDestroy)() = nullptr;
// What message 1005 says failed, as its {1}.
std::string failureDetail;

constexpr size_t kPropertyCapacity = 8192;

// A JNI call that must not fail did: end with a message rather than hand a
// null reference to the JVM.
[[noreturn]] void assertionFailed(const char* expression) {
    logError("assertion failed: %s (JavaVMLauncher)", expression);
    char text[256];
    std::snprintf(text, sizeof text, "Internal error: assertion failed: %s (JavaVMLauncher)", expression);
    fatalError(text);
}

std::u16string widen(const std::string& text, UINT codePage) {
    if (text.empty())
        return std::u16string();
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string wide(n > 0 ? n : 0, u'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                            reinterpret_cast<wchar_t*>(wide.data()), n);
    return wide;
}

std::string narrowForLog(const std::u16string& wide) {
    return narrowForDisplay(fileApiCodePage(),
                            std::wstring_view(reinterpret_cast<const wchar_t*>(wide.data()), wide.size()));
}

// Property texts live in 8192-byte buffers; a value that would not fit is
// cut at the buffer's end and the cut is logged, so nothing is written past
// it and nothing is lost silently.
std::string property(const char* name, const std::string& value) {
    std::string text = std::string("-D") + name + "=" + value;
    if (text.size() >= kPropertyCapacity) {
        logError("property %s longer than %u bytes: cut", name, static_cast<unsigned>(kPropertyCapacity - 1));
        text.resize(kPropertyCapacity - 1);
    }
    return text;
}

OptionList buildSystemProperties() {
    OptionList props;
    if (const char* semaphore = instanceSemaphoreName())
        props.push_back(property("korvo.semaphoreName", semaphore));
    if (productFlavor == 'i')
        props.push_back("-Dkorvo.isVandrel=true");
    props.push_back(property("korvo.moduleName", launcherPath()));
    props.push_back(property("sun.java.command", launcherPath()));
    if (getConfigBool(rec::SingleInstance)) {
        char comm[kTempPathCapacity];
        processCommFilePath(comm, sizeof comm, GetCurrentProcessId());
        props.push_back(property("korvo.processCommFile", comm));
    }
    props.push_back(property("korvo.tempDir", launcherTempDir));
    props.push_back("-Dkorvo.unextractedPosition=" +
                    std::to_string(langRestart ? -1 : static_cast<long long>(unextractedPosition)));
    std::string value;
    readEnvironmentVariable("PATH", value);
    std::string path = "-Djava.library.path=" + value;
    if (path.size() >= kPropertyCapacity) {
        logError("java.library.path longer than %u bytes: cut", static_cast<unsigned>(kPropertyCapacity - 1));
        path.resize(kPropertyCapacity - 1);
    }
    props.push_back(path);
    if (!readEnvironmentVariable("MANPATH", value))
        props.push_back("-Dkorvo.consoleCodepage=cp" + std::to_string(GetConsoleOutputCP()));
    return props;
}

std::u16string outputFileArgument(int32_t enabledRecord, int32_t fileRecord) {
    if (!getConfigBool(enabledRecord))
        return std::u16string();
    std::string file = getConfigString(fileRecord);
    expandVariables(file);
    if (file.empty() || file[0] != '$')
        file = canonicalPath(file, false);
    return widen(file, fileApiCodePage());
}

WideArgs launcherArguments(const WideArgs& arguments) {
    LauncherArgsInput input;
    input.guiApplication = getConfigInt(rec::ExecutableType) == 1;
    input.mainClass = getConfigString(rec::MainClass);
    input.outputFile1 = outputFileArgument(rec::OutputFile1Enabled, rec::OutputFile1);
    input.outputFile2 = outputFileArgument(rec::OutputFile2Enabled, rec::OutputFile2);
    input.launcherFlag = getConfigBool(rec::LauncherClassFlag);
    std::string configured = getConfigString(rec::Arguments);
    expandVariables(configured);
    splitArguments(widen(configured, CP_ACP), input.configuredArguments);
    input.acceptJOptions = getConfigBool(rec::AcceptJOptions);
    return buildLauncherArguments(input, arguments);
}

}  // namespace

bool checkFirstRun() {
    std::string marker = canonicalPath(getConfigString(rec::InstallationDirectory), false);
    marker += "\\.vandrel\\firstrun";
    if (!pathExists(marker))
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

bool callMain(const WideArgs& arguments) {
    if (productFlavor == 'i' && !checkFirstRun()) {
        logMessage("checkFirstRun stopped further execution");
        return true;
    }
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
    const WideArgs params = launcherArguments(arguments);
    logMessage("param count: %d", static_cast<int>(params.size()));
    jclass stringClass = jniEnv->FindClass("java/lang/String");
    jobjectArray array =
        stringClass ? jniEnv->NewObjectArray(static_cast<jsize>(params.size()), stringClass, nullptr) : nullptr;
    if (!array)
        assertionFailed("paramArray");
    for (size_t i = 0; i < params.size(); ++i) {
        logMessage("param %d: %s", static_cast<int>(i), narrowForLog(params[i]).c_str());
        jstring text = jniEnv->NewString(reinterpret_cast<const jchar*>(params[i].data()),
                                         static_cast<jsize>(params[i].size()));
        if (!text)
            assertionFailed("jstr");
        jniEnv->SetObjectArrayElement(array, static_cast<jsize>(i), text);
    }
    logMessage("calling main");
    bool threw = false;
    if (!callMainOnJavaThread(jniEnv, launcherClass, mainMethod, array, threw)) {
        logMessage("no main thread of its own: main runs on the launcher's thread");
        jniEnv->CallStaticVoidMethod(launcherClass, mainMethod, array);
        threw = mainEndedWithException(jniEnv);
    }
    return !threw;
}

bool createJavaVM(const OptionList& systemProperties, const WideArgs& arguments) {
    const OptionList& options = assembleVmOptions(systemProperties, arguments);
    static std::vector<JavaVMOption> vmOptions;
    vmOptions.clear();
    for (const std::string& option : options)
        vmOptions.push_back(JavaVMOption{const_cast<char*>(option.c_str()), nullptr});
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
    return createJavaVMEntry(&javaVM, reinterpret_cast<void**>(&jniEnv), &initArgs) == JNI_OK;
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
    if (!createJavaVM(systemProperties, arguments)) {
        logError("could not initialize JVM");
        failureDetail = "The Java VM could not be created. The maximum heap size (-Xmx) might be too large or "
                        "an antivirus or firewall tool could block the execution.";
        return false;
    }
    logMessage("JVM created");
    jvmCreated = true;
    if (!callMain(arguments)) {
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
