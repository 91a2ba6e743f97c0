#include "jvm/JavaHalf.h"

#include "core/Log.h"
#include "core/StepTimes.h"
#include "jvm/LaunchInputs.h"
#include "jvm/MainException.h"
#include "services/RuntimeClasses.h"

namespace {

// A failed JNI call leaves an exception pending that no later call may meet.
bool pending(JNIEnv* env) {
    if (!env->ExceptionCheck())
        return false;
    env->ExceptionClear();
    return true;
}

// The loader of the class path: the context loader of the thread that
// created the VM, which every VM sets to it before anything else runs. It
// is the system class loader; a VM whose ClassLoader.getSystemClassLoader()
// answers its own library's loader (the small VM of the tests) keeps the
// class path's loader there all the same. Null when neither can be had.
jobject classPathLoader(JNIEnv* env) {
    jclass thread = env->FindClass("java/lang/Thread");
    jmethodID current = thread ? env->GetStaticMethodID(thread, "currentThread", "()Ljava/lang/Thread;") : nullptr;
    jmethodID context = current ? env->GetMethodID(thread, "getContextClassLoader", "()Ljava/lang/ClassLoader;")
                                : nullptr;
    jobject self = context ? env->CallStaticObjectMethod(thread, current) : nullptr;
    jobject loader = self ? env->CallObjectMethod(self, context) : nullptr;
    if (pending(env))
        loader = nullptr;
    if (loader)
        return loader;
    jclass loaders = env->FindClass("java/lang/ClassLoader");
    jmethodID system =
        loaders ? env->GetStaticMethodID(loaders, "getSystemClassLoader", "()Ljava/lang/ClassLoader;") : nullptr;
    loader = system ? env->CallStaticObjectMethod(loaders, system) : nullptr;
    return pending(env) ? nullptr : loader;
}

std::string dotted(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c == '/')
            c = '.';
    return out;
}

}  // namespace

bool namedByApplications(std::string_view slashedClassName) {
    // Splash and SingleInstance, the listener interface and the controller
    // Splash calls (which the splash thread also asks). SingleInstance
    // reaches the rest only in single-instance mode, which goes through the
    // launcher class.
    static constexpr std::string_view kInterface[] = {
        "com/korvo/runtime/StartupListener",
        "com/korvo/runtime/KorvoController",
        "com/korvo/runtime/Splash",
        "com/korvo/runtime/SingleInstance",
    };
    for (std::string_view name : kInterface)
        if (name == slashedClassName)
            return true;
    return false;
}

void JavaHalf::read() {
    std::string problem;
    if (!readJavaHalfPack(pack_, problem)) {
        readFailure_ = "The launcher's Java half (kvo-runtime.jar's classes) cannot be read: " + problem +
                       ". The launcher's file is damaged; install the application again.";
        return;
    }
    if (pack_.empty())
        return;
    if (const char* damage = readRuntimeClasses(pack_, classes_)) {
        classes_.clear();
        readFailure_ = std::string("The launcher's Java half (kvo-runtime.jar's classes) cannot be read: ") +
                       damage + ". The launcher's file is damaged; install the application again.";
        return;
    }
    defined_.assign(classes_.size(), false);
}

bool JavaHalf::defineForApplication(JNIEnv* env, bool everything, std::string& failure) {
    if (!readFailure_.empty()) {
        failure = readFailure_;
        logError("%s", failure.c_str());
        return false;
    }
    if (classes_.empty())
        return true;
    jobject loader = classPathLoader(env);
    loader_ = loader ? env->NewGlobalRef(loader) : nullptr;
    if (loader)
        env->DeleteLocalRef(loader);
    if (!loader_) {
        failure = "The launcher's Java half cannot be defined: the VM names no loader of the class path.";
        logError("%s", failure.c_str());
        return false;
    }
    return define(env, everything, failure);
}

bool JavaHalf::defineRest(JNIEnv* env, std::string& failure) { return define(env, true, failure); }

bool JavaHalf::define(JNIEnv* env, bool everything, std::string& failure) {
    unsigned count = 0;
    for (size_t i = 0; i < classes_.size(); ++i)
        if (!defined_[i] && (everything || namedByApplications(classes_[i].name)))
            ++count;
    if (count == 0)
        return true;
    logMessage("defining the Java half: %u classes", count);
    for (size_t i = 0; i < classes_.size(); ++i) {
        const RuntimeClass& c = classes_[i];
        if (defined_[i] || !(everything || namedByApplications(c.name)))
            continue;
        const std::string name(c.name);
        jclass defined = env->DefineClass(name.c_str(), loader_, reinterpret_cast<const jbyte*>(c.bytes.data()),
                                          static_cast<jsize>(c.bytes.size()));
        if (!defined) {
            // An old VM refuses the class version; the search keeps such
            // runtimes out, but a runtime taken without a version check
            // (the fallback to a private runtime) may be one.
            failure = "kvo-runtime.jar's class " + dotted(name) + " cannot be defined: " +
                      takePendingException(env, "the VM refused it");
            logError("%s", failure.c_str());
            return false;
        }
        env->DeleteLocalRef(defined);
        defined_[i] = true;
    }
    noteStep("Java half defined");
    return true;
}
