#include "jvm/MainCall.h"

#include <string>

#include "core/Log.h"
#include "jvm/LaunchInputs.h"

namespace {

constexpr jint kPublic = 0x0001;
constexpr jint kStatic = 0x0008;

// Clears what a lookup left pending; true when there was something.
bool cleared(JNIEnv* env) {
    if (!env->ExceptionCheck())
        return false;
    env->ExceptionClear();
    return true;
}

MainTurn declined(const MainCall& call, const char* why) {
    logMessage("%s: %s; the launcher class chooses", call.main.className.c_str(), why);
    return MainTurn::declined;
}

std::string dottedName(const MainCall& call) {
    std::string dotted = call.main.className;
    for (char& c : dotted)
        if (c == '/')
            c = '.';
    return dotted;
}

// Whether the class path's loader holds the class, loaded but not usable:
// then its own failure (a static initialiser's, a verifier's) is what java
// reports, and asking again would only say that the class is unusable.
bool loadedByClassPath(JNIEnv* env, const MainCall& call) {
    jclass loaders = env->FindClass("java/lang/ClassLoader");
    jmethodID find = loaders ? env->GetMethodID(loaders, "findLoadedClass", "(Ljava/lang/String;)Ljava/lang/Class;")
                             : nullptr;
    jstring name = find ? env->NewStringUTF(dottedName(call).c_str()) : nullptr;
    jobject found = name ? env->CallObjectMethod(call.javaHalf->loader(), find, name) : nullptr;
    const bool loaded = !cleared(env) && found;
    if (found)
        env->DeleteLocalRef(found);
    if (name)
        env->DeleteLocalRef(name);
    if (loaders)
        env->DeleteLocalRef(loaders);
    return loaded;
}

// The launcher class passes a class's LinkageError through
// ApplicationMain.loadFailure (a missing JavaFX toolkit is said as such);
// so here, with the rest of the Java half defined for it.
jthrowable asTheLauncherClassSaysIt(JNIEnv* env, const MainCall& call, jthrowable failure) {
    jclass linkage = env->FindClass("java/lang/LinkageError");
    const bool isLinkage = linkage && env->IsInstanceOf(failure, linkage);
    cleared(env);
    std::string problem;
    if (!isLinkage || !call.javaHalf->defineRest(env, problem))
        return failure;
    jclass main = env->FindClass("com/korvo/runtime/ApplicationMain");
    jmethodID said = main ? env->GetStaticMethodID(main, "loadFailure",
                                                   "(Ljava/lang/String;Ljava/lang/LinkageError;)Ljava/lang/LinkageError;")
                          : nullptr;
    // Named as the launcher class names it.
    jstring name = said ? env->NewStringUTF(dottedName(call).c_str()) : nullptr;
    jobject translated = name ? env->CallStaticObjectMethod(main, said, name, failure) : nullptr;
    if (cleared(env) || !translated)
        return failure;
    return static_cast<jthrowable>(translated);
}

// JNI finds a static method of any access, and Avian any method of that
// name and type: only what java would call first is called here.
bool publicStatic(JNIEnv* env, const MainCall& call, jclass mainClass, jmethodID main) {
    jobject reflected = env->ToReflectedMethod(mainClass, main, JNI_TRUE);
    // Not the object's class: a VM may make the object before it has read
    // the class's methods.
    jmethodID modifiersOf =
        reflected && call.methodType ? env->GetMethodID(call.methodType, "getModifiers", "()I") : nullptr;
    const jint modifiers = modifiersOf ? env->CallIntMethod(reflected, modifiersOf) : 0;
    if (reflected)
        env->DeleteLocalRef(reflected);
    return !cleared(env) && (modifiers & (kPublic | kStatic)) == (kPublic | kStatic);
}

}  // namespace

jclass stringClassOf(JNIEnv* env) {
    jstring empty = env->NewStringUTF("");
    jclass type = empty ? env->GetObjectClass(empty) : nullptr;
    if (empty)
        env->DeleteLocalRef(empty);
    return type;
}

void prepareMainCall(JNIEnv* env, MainCall& call) {
    if (call.main.checkedBefore)
        return;
    jclass methods = env->FindClass("java/lang/reflect/Method");
    if (cleared(env) || !methods)
        return;
    call.methodType = static_cast<jclass>(env->NewGlobalRef(methods));
    env->DeleteLocalRef(methods);
}

MainTurn callMainDirectly(JNIEnv* env, void* context) {
    const MainCall& call = *static_cast<const MainCall*>(context);
    const char* name = call.main.className.c_str();
    logMessage("main class: %s", name);
    jclass mainClass = env->FindClass(name);
    if (!mainClass) {
        jthrowable failure = env->ExceptionOccurred();
        env->ExceptionClear();
        if (!failure || !loadedByClassPath(env, call))
            return declined(call, "not loaded");
        env->Throw(asTheLauncherClassSaysIt(env, call, failure));
        return mainEndedWithException(env) ? MainTurn::threw : MainTurn::returned;
    }
    jmethodID main = env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
    if (!main) {
        cleared(env);
        return declined(call, "no static main(String[])");
    }
    if (call.main.checkedBefore) {
        logMessage("main(String[]) of %s found public static before, its files unchanged", name);
    } else {
        if (!publicStatic(env, call, mainClass, main))
            return declined(call, "no public static main(String[])");
        if (!call.main.checkKey.empty()) {
            rememberMainChecked(call.main.checkKey);
            logMessage("main(String[]) of %s is public static: remembered", name);
        }
    }

    const WideArgs& values = *call.launcherValues;
    const size_t count = values.size() - kLeadingLauncherValues;
    logMessage("param count: %d", static_cast<int>(count));
    jclass stringClass = stringClassOf(env);
    jobjectArray arguments =
        stringClass ? env->NewObjectArray(static_cast<jsize>(count), stringClass, nullptr) : nullptr;
    for (size_t i = 0; arguments && i < count; ++i) {
        const std::u16string& value = values[kLeadingLauncherValues + i];
        logMessage("param %d: %s", static_cast<int>(i), argumentForLog(value).c_str());
        jstring text = env->NewString(reinterpret_cast<const jchar*>(value.data()), static_cast<jsize>(value.size()));
        if (!text)
            break;
        env->SetObjectArrayElement(arguments, static_cast<jsize>(i), text);
        env->DeleteLocalRef(text);
    }
    if (cleared(env) || !arguments)
        return declined(call, "its arguments could not be made");
    logMessage("calling main");
    env->CallStaticVoidMethod(mainClass, main, arguments);
    return mainEndedWithException(env) ? MainTurn::threw : MainTurn::returned;
}
