#include "runtime/JniEntry.h"

CreateJavaVMEntry createJavaVMEntry = nullptr;

void setCreateJavaVMEntry(CreateJavaVMEntry entry) { createJavaVMEntry = entry; }
