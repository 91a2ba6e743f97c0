// The floor a launcher start is measured against: the least any in-process
// launcher has to do. It loads a jvm.dll by its full path with the
// runtime's bin folder on the DLL search path, and calls JNI_CreateJavaVM
// with one option (the class path). Given a class, it also calls that
// class's main with the remaining arguments, as a launcher would, and
// destroys the VM.
//
//   bare-loader.exe JVM_DLL [CLASS_PATH [MAIN_CLASS [ARG ...]]]
//
// A GUI program like the launcher, importing kernel32 and the C runtime
// only, with nothing but this in it: whatever the launcher takes beyond this
// program's time is the launcher's own cost.
#include <windows.h>

#include <jni.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/StepTimes.h"
#include "../tests/fixtures/ProcessClock.h"

namespace {

using CreateJavaVMEntry = jint(JNICALL*)(JavaVM**, void**, void*);

int fail(const char* what) {
    std::fprintf(stderr, "bare-loader: %s (error %lu)\n", what, GetLastError());
    return 2;
}

// "jvm.dll" in bin\server or bin\client: bin is two levels up.
bool binFolderOf(const char* library, char* out, size_t cap) {
    const size_t n = std::strlen(library);
    if (n >= cap)
        return false;
    std::memcpy(out, library, n + 1);
    for (int level = 0; level < 2; ++level) {
        char* slash = std::strrchr(out, '\\');
        if (!slash)
            return false;
        *slash = '\0';
    }
    return true;
}

int callMain(JNIEnv* env, const char* mainClass, int argc, char** argv) {
    char name[1024];
    if (std::strlen(mainClass) >= sizeof name)
        return fail("main class name too long");
    std::strcpy(name, mainClass);
    for (char* p = name; *p; ++p)
        if (*p == '.')
            *p = '/';
    noteStep("main class: %s");
    jclass cls = env->FindClass(name);
    jmethodID main = cls ? env->GetStaticMethodID(cls, "main", "([Ljava/lang/String;)V") : nullptr;
    jclass stringClass = env->FindClass("java/lang/String");
    if (!main || !stringClass) {
        env->ExceptionDescribe();
        return fail("main class or its main not found");
    }
    jobjectArray args = env->NewObjectArray(argc, stringClass, nullptr);
    for (int i = 0; args && i < argc; ++i)
        env->SetObjectArrayElement(args, i, env->NewStringUTF(argv[i]));
    noteStep("calling main");
    env->CallStaticVoidMethod(cls, main, args);
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        return 1;
    }
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Labelled as the launcher's log lines of the same steps, for the
    // benchmark's side-by-side table.
    beginStepTimes(millisecondsSinceProcessStart);
    if (__argc < 2) {
        std::fprintf(stderr, "usage: bare-loader.exe JVM_DLL [CLASS_PATH [MAIN_CLASS [ARG ...]]]\n");
        return 2;
    }
    const char* library = __argv[1];
    char bin[MAX_PATH * 4];
    if (!binFolderOf(library, bin, sizeof bin))
        return fail("the VM library is not in <home>\\bin\\<type>");
    // As any launcher should: never the current directory, the runtime's bin
    // for the VM's own dependencies.
    SetDllDirectoryA(bin);
    noteStep("Trying to load JVM-DLL from %s");
    HMODULE vm = LoadLibraryA(library);
    if (!vm)
        return fail("LoadLibrary failed");
    auto create = reinterpret_cast<CreateJavaVMEntry>(GetProcAddress(vm, "JNI_CreateJavaVM"));
    if (!create)
        return fail("no JNI_CreateJavaVM");

    static char classPath[32768];
    std::snprintf(classPath, sizeof classPath, "-Djava.class.path=%s", __argc > 2 ? __argv[2] : ".");
    JavaVMOption option{};
    option.optionString = classPath;
    JavaVMInitArgs init{};
    init.version = JNI_VERSION_1_2;
    init.nOptions = 1;
    init.options = &option;
    init.ignoreUnrecognized = JNI_FALSE;
    JavaVM* jvm = nullptr;
    JNIEnv* env = nullptr;
    noteStep("Creating JVM");
    if (create(&jvm, reinterpret_cast<void**>(&env), &init) != JNI_OK || !jvm || !env)
        return fail("JNI_CreateJavaVM failed");
    noteStep("JVM created");
    const int code = __argc > 3 ? callMain(env, __argv[3], __argc - 4, __argv + 4) : 0;
    jvm->DestroyJavaVM();
    return code;
}
