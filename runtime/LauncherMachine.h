// The machine a launcher is built for, and what follows from it: a process
// can only load a jvm.dll of its own machine, so the runtimes it accepts, the
// registry view their installers write to and the message variants that name
// the launcher's width all depend on it.
#pragma once

#include <cstdint>

#include "core/ConfigStore.h"
#include "runtime/RuntimeText.h"

struct LauncherMachine {
    uint16_t peMachine;
    const char* name;                // as log lines name it
    const char* bits;                // the {0} of message 1016
    int32_t envVarNoJvmMessage;      // a runtime named by a variable failed
    int32_t jvmDamagedMessage;       // a runtime at a location failed
};

constexpr LauncherMachine launcher32 = {peMachineI386, "i386", "32", msg::EnvVarNoJvm32, msg::JvmDamaged32};
constexpr LauncherMachine launcher64 = {peMachineAmd64, "x86-64", "64", msg::EnvVarNoJvm64, msg::JvmDamaged64};

// The launcher this code is built into.
inline constexpr const LauncherMachine& thisLauncher = sizeof(void*) == 8 ? launcher64 : launcher32;

// A readable name for a PE machine field, or nullptr for one not known here.
constexpr const char* peMachineName(uint16_t machine) {
    switch (machine) {
    case peMachineI386:
        return "i386";
    case peMachineAmd64:
        return "x86-64";
    case peMachineArm64:
        return "ARM64";
    default:
        return nullptr;
    }
}
