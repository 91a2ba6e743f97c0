#include "core/Log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "core/Platform.h"
#include "core/StartupState.h"

namespace {

CRITICAL_SECTION logLock;
bool lockCreated = false;
bool logInitialised = false;
std::string logPath;  // empty: no log
FILE* logStream = nullptr;

bool envIsYes(const char* name) {
    const char* value = std::getenv(name);
    return value && std::strcmp(value, "yes") == 0;
}

bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// "vdl_nlog_" and the first decimal number from 2 on that is not taken yet.
std::string newLogName() {
    std::string dir;
    const char* tmp = std::getenv("TMP");
    if (tmp && *tmp && fileExists(tmp))
        dir = tmp;
    else
        dir = "c:\\";
    if (dir.back() != '\\' && dir.back() != '/')
        dir += '\\';
    for (unsigned n = 2; n < 100000; ++n) {
        std::string candidate = dir + "vdl_nlog_" + std::to_string(n);
        if (!fileExists(candidate))
            return candidate;
    }
    return std::string();
}

void openLogFirstTime() {
    logPath = newLogName();
    if (!logPath.empty())
        logStream = std::fopen(logPath.c_str(), "w");
    if (!logStream) {
        logPath = "c:\\vdl_nlog";
        logStream = std::fopen(logPath.c_str(), "w");
    }
    if (!logStream)
        return;
    char module[MAX_PATH * 4] = "";
    GetModuleFileNameA(nullptr, module, sizeof module);
    const time_t now = std::time(nullptr);
    const char* when = std::ctime(&now);
    std::fprintf(logStream, "Started executable %s at %s\n", module, when ? when : "?\n");
    std::fflush(logStream);
}

// Enters the lock and returns the stream to write this line to, or nullptr.
FILE* beginLine() {
    if (!lockCreated) {
        InitializeCriticalSection(&logLock);
        lockCreated = true;
    }
    EnterCriticalSection(&logLock);
    if (!logPath.empty() && !logStream)
        logStream = std::fopen(logPath.c_str(), "a");
    if (!logInitialised) {
        logInitialised = true;
        if (createLogRequested || envIsYes("KORVO_LOG") || envIsYes("VANDREL_LOG"))
            openLogFirstTime();
    }
    return logStream;
}

void endLine() {
    if (logStream) {
        std::fputc('\n', logStream);
        std::fclose(logStream);
        logStream = nullptr;
    }
    LeaveCriticalSection(&logLock);
}

void writeLine(const char* prefix, const char* format, va_list args) {
    if (FILE* out = beginLine()) {
        if (prefix)
            std::fputs(prefix, out);
        std::vfprintf(out, format, args);
    }
    endLine();
}

}  // namespace

void logMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeLine(nullptr, format, args);
    va_end(args);
}

void logError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeLine("ERROR: ", format, args);
    va_end(args);
}

const char* logFilePath() { return logPath.empty() ? nullptr : logPath.c_str(); }
