// The launcher's Java half (kvo-runtime.jar's classes), defined in the VM
// from the launcher's own file: no start writes it anywhere, and no archive
// of it stands on the class path.
#pragma once

#include <jni.h>

#include <string>
#include <string_view>
#include <vector>

#include "services/RuntimeClasses.h"

// On a VM that interprets, every class defined costs a start its parsing:
// the classes an application may name are defined before anything of the
// application runs, the rest (the launcher class and what only it uses)
// only when a start goes through the launcher class.
class JavaHalf {
public:
    JavaHalf() = default;
    JavaHalf(const JavaHalf&) = delete;
    JavaHalf& operator=(const JavaHalf&) = delete;

    // Reads the classes the launcher file carries; before the VM exists, so
    // that the start knows whether it carries them. What is wrong with them
    // is said when they are to be defined.
    void read();
    // Defines the classes an application may name (all of them with
    // `everything`), in the loader of the class path, in the pack's order
    // (superclasses and interfaces first), before anything looks up the
    // launcher class; the application then finds them through that loader
    // as it finds its own. True when they are defined or the launcher
    // carries none; false with `failure`, what message 1010 is to say.
    bool defineForApplication(JNIEnv* env, bool everything, std::string& failure);
    // The rest, for the launcher class; true when nothing is left to define.
    bool defineRest(JNIEnv* env, std::string& failure);

    bool carried() const { return !classes_.empty(); }
    // The loader of the class path (a global reference), null when the
    // launcher carries no Java half.
    jobject loader() const { return loader_; }

private:
    bool define(JNIEnv* env, bool everything, std::string& failure);

    std::string readFailure_;
    std::string pack_;
    std::vector<RuntimeClass> classes_;  // views into pack_
    std::vector<bool> defined_;
    jobject loader_ = nullptr;
};

// The classes of the documented interface, and what they need to load:
// defined at every start.
bool namedByApplications(std::string_view slashedClassName);
