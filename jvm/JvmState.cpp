#include "jvm/JvmState.h"

char jvmHome[8192] = "";
volatile bool jvmCreated = false;
