#include "runtime/JvmState.h"

#include "core/BoundedCopy.h"
#include "runtime/RuntimeText.h"

char jvmHome[8192] = "";
volatile bool jvmCreated = false;

void setJvmHome(const char* javaExecutable) {
    copyWhole(jvmHome, sizeof jvmHome, jvmHomeOf(javaExecutable));
}
