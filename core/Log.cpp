#include "core/Log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "core/CodePage.h"
#include "core/Platform.h"
#include "core/StartupState.h"
#include "core/StepTimes.h"

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

// TMP in the file functions' code page: the long form when it converts
// exactly, else its short form; empty when it is unset, missing or neither
// form converts (a look-alike letter would name another directory).
std::string temporaryDirectory() {
    std::wstring tmp(8192, L'\0');
    const DWORD n = GetEnvironmentVariableW(L"TMP", tmp.data(), static_cast<DWORD>(tmp.size()));
    if (n == 0 || n >= tmp.size())
        return std::string();
    tmp.resize(n);
    if (GetFileAttributesW(tmp.c_str()) == INVALID_FILE_ATTRIBUTES)
        return std::string();
    std::string narrow;
    if (narrowExact(fileApiCodePage(), tmp, narrow))
        return narrow;
    std::wstring shortForm(8192, L'\0');
    const DWORD m = GetShortPathNameW(tmp.c_str(), shortForm.data(), static_cast<DWORD>(shortForm.size()));
    if (m == 0 || m >= shortForm.size())
        return std::string();
    shortForm.resize(m);
    return narrowExact(fileApiCodePage(), shortForm, narrow) ? narrow : std::string();
}

// Creates `path` if nothing is there yet; false when something is.
bool createNew(const std::string& path, DWORD& error) {
    const HANDLE created = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    error = GetLastError();
    if (created == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(created);
    return true;
}

// Creates "vdl_nlog_" with the first decimal number from 2 on that is free.
// The file is created, never reused: two launchers starting at the same
// moment may both find a number free, and the second must not truncate the
// first one's log.
std::string createLogFile() {
    std::string dir = temporaryDirectory();
    if (dir.empty())
        dir = "c:\\";
    if (dir.back() != '\\' && dir.back() != '/')
        dir += '\\';
    for (unsigned n = 2; n < 100000; ++n) {
        std::string candidate = dir + "vdl_nlog_" + std::to_string(n);
        if (fileExists(candidate))
            continue;
        DWORD error = 0;
        if (createNew(candidate, error))
            return candidate;
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return std::string();
    }
    return std::string();
}

void openLogFirstTime() {
    logPath = createLogFile();
    if (!logPath.empty())
        logStream = std::fopen(logPath.c_str(), "a");  // created empty just now
    if (!logStream) {
        // One name for every launcher and user of the machine: a file there
        // is somebody else's log (or not a log at all), so the log goes
        // there only when this launcher creates it; otherwise it stays off.
        DWORD error = 0;
        logPath = "c:\\vdl_nlog";
        if (createNew(logPath, error))
            logStream = std::fopen(logPath.c_str(), "a");
        else
            logPath.clear();
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
    noteStep(format);
    va_list args;
    va_start(args, format);
    writeLine(nullptr, format, args);
    va_end(args);
}

void logError(const char* format, ...) {
    noteStep(format);
    va_list args;
    va_start(args, format);
    writeLine("ERROR: ", format, args);
    va_end(args);
}

const char* logFilePath() { return logPath.empty() ? nullptr : logPath.c_str(); }
