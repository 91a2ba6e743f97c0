// What the VM prints, through the JNI hook the launcher hands it: passed on
// to where it would have gone, written to the log line by line, and its end
// kept, so that a start that fails can tell the user why.
#pragma once

#include <jni.h>

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>

// The "vfprintf" hook.
jint JNICALL vmPrint(FILE* stream, const char* format, va_list args);

// Writes a line the VM has begun and not ended to the log.
void flushVmOutput();
// The VM's last words (VmText::lastWords), at most kVmWordsShown bytes.
std::string vmLastWords();

// A message shows this much of what the VM said; the log has all of it.
constexpr size_t kVmWordsShown = 1024;
