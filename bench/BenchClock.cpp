// Loaded by the benchmark's Java code: tells Java when its process
// was created, on Java's own clock (milliseconds since 1970), so that the
// code can note how long the start took until a main was entered.
#include <windows.h>

#include <jni.h>

extern "C" JNIEXPORT jdouble JNICALL Java_kvobench_Main_processCreatedMillis(JNIEnv*, jclass) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return -1;
    // FILETIME counts 100 ns from 1601; 11644473600 s lie between 1601 and 1970.
    const ULONGLONG ticks = (ULONGLONG(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    return double(ticks) / 10000.0 - 11644473600000.0;
}
