#include "jvm/JavaHalf.h"

#include <vector>

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

bool defineJavaHalf(JNIEnv* env, std::string& failure) {
    std::string pack;
    std::string problem;
    if (!readJavaHalfPack(pack, problem)) {
        failure = "The launcher's Java half (kvo-runtime.jar's classes) cannot be read: " + problem +
                  ". The launcher's file is damaged; install the application again.";
        logError("%s", failure.c_str());
        return false;
    }
    if (pack.empty())
        return true;
    std::vector<RuntimeClass> classes;
    if (const char* damage = readRuntimeClasses(pack, classes)) {
        failure = std::string("The launcher's Java half (kvo-runtime.jar's classes) cannot be read: ") + damage +
                  ". The launcher's file is damaged; install the application again.";
        logError("%s", failure.c_str());
        return false;
    }
    jobject loader = classPathLoader(env);
    if (!loader) {
        failure = "The launcher's Java half cannot be defined: the VM names no loader of the class path.";
        logError("%s", failure.c_str());
        return false;
    }
    logMessage("defining the Java half: %u classes", static_cast<unsigned>(classes.size()));
    for (const RuntimeClass& c : classes) {
        const std::string name(c.name);
        jclass defined = env->DefineClass(name.c_str(), loader, reinterpret_cast<const jbyte*>(c.bytes.data()),
                                          static_cast<jsize>(c.bytes.size()));
        if (!defined) {
            // An old VM refuses the class version; the search keeps such
            // runtimes out, but a runtime taken without a version check
            // (the fallback to a private runtime) may be one.
            failure = "kvo-runtime.jar's class " + dotted(name) + " cannot be defined: " +
                      takePendingException(env, "the VM refused it");
            logError("%s", failure.c_str());
            env->DeleteLocalRef(loader);
            return false;
        }
        env->DeleteLocalRef(defined);
    }
    env->DeleteLocalRef(loader);
    noteStep("Java half defined");
    return true;
}
