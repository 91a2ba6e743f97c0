#include "jvm/JvmState.h"

#include <cstring>
#include <string>

#include "runtime/RuntimeText.h"

char jvmHome[8192] = "";
volatile bool jvmCreated = false;

void setJvmHome(const char* javaExecutable) {
    const std::string home = jvmHomeOf(javaExecutable);
    if (home.size() >= sizeof jvmHome) {
        jvmHome[0] = '\0';
        return;
    }
    std::memcpy(jvmHome, home.c_str(), home.size() + 1);
}
