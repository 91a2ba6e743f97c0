// Instance identity. Every launch holds a named semaphore derived from its own
// path. In single-instance mode a second start hands its arguments to the
// running instance through a file and ends; the semaphores are the only
// shared state, so a crashed instance frees its name by simply being gone.
#include "services/SingleInstance.h"

#include <sddl.h>

#include <cstring>
#include <string>

#include "core/Advapi32.h"
#include "core/ConfigStore.h"
#include "core/Errors.h"
#include "core/LauncherFile.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "services/InstanceText.h"
#include "services/ProcessWindows.h"
#include "services/TempDir.h"

namespace {

constexpr char kPidsKey[] = "SOFTWARE\\orrin-labs\\korvo\\pids\\";
constexpr long kMaxNumber = 100000;
// A second start holds the notification semaphore for at most about 20 s
// (its two waits for the file, InstanceText.h) plus the writing; three of
// them may be served before this one gives up. Any program of the user (or, with the global
// namespace, of any user) can take the semaphore and never give it back.
constexpr DWORD kNotificationWaitMs = 60000;

char semaphoreName[kInstanceNameCapacity];
bool semaphoreNamed = false;
// Held until the process ends: the name is taken as long as this process lives.
HANDLE instanceSemaphore = nullptr;

std::string launcherKeyName() { return canonicalPath(launcherPath(), true); }

// Every user of the machine may wait on and release a semaphore of the
// global namespace; nobody but its creator may change who may.
constexpr char kGlobalSemaphoreAccess[] = "D:(A;;0x00100003;;;WD)";
constexpr DWORD kSemaphoreUse = SYNCHRONIZE | SEMAPHORE_MODIFY_STATE;

bool isGlobalName(const char* name) { return std::strncmp(name, "Global\\", 7) == 0; }

}  // namespace

HANDLE createCountOneSemaphore(const char* name) {
    if (!isGlobalName(name))
        return CreateSemaphoreA(nullptr, 1, 1, name);
    // Created with the default access, another user's start could not open
    // it and would take itself for the first instance. Only the rights that
    // are used are asked for, so that one created by an older launcher with
    // the default access is at least seen as taken (access denied).
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorA(kGlobalSemaphoreAccess, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        logError("no security descriptor for %s (error %lu)", name, GetLastError());
        descriptor = nullptr;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    HANDLE semaphore = CreateSemaphoreExA(descriptor ? &attributes : nullptr, 1, 1, name, 0, kSemaphoreUse);
    const DWORD error = GetLastError();
    if (descriptor)
        LocalFree(descriptor);
    SetLastError(error);
    return semaphore;
}

bool isInstanceNameTaken(DWORD error) { return error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED; }

namespace {

// Waits while `file` exists, at most 10 s; false when the running instance
// was found gone meanwhile.
bool waitWhileFileExists(const std::string& file) {
    for (int i = 0; i < kHandOverWaitRounds && pathExists(file); ++i) {
        Sleep(kHandOverWaitStepMs);
        if (i % kHandOverProbeEvery == 0 && !isMainProcessAlive())
            return false;
    }
    return true;
}

void releaseNotification(HANDLE notification) {
    if (!ReleaseSemaphore(notification, 1, nullptr))
        logMessage("release semaphore failed %lu", GetLastError());
}

// A failed hand-over still lets the next waiting second start in: the
// notification semaphore is not released by the end of a process, so ending
// while holding it would keep every later second start waiting forever.
[[noreturn]] void failHandOver(HANDLE notification, const char* code) {
    releaseNotification(notification);
    fatalErrorMessage(msg::InternalError, code);
}

// Writes this start's arguments for the running instance; returns only when
// the file is written and closed.
void writeHandOverFile(const std::string& file, HANDLE notification) {
    ScopedHandle out(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (!out.valid()) {
        logMessage("CreateFile failed %lu", GetLastError());
        failHandOver(notification, "21");
    }
    const wchar_t* line = GetCommandLineW();
    const std::string bytes = handOverBytes(reinterpret_cast<const char16_t*>(line ? line : L""));
    DWORD written = 0;
    const BOOL ok = WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (!ok || written != bytes.size()) {
        const DWORD error = ok ? ERROR_WRITE_FAULT : GetLastError();
        logError("WriteFile failed %lu", error);
        // A cut text would reach the application as if it were the arguments.
        out.close();
        DeleteFileA(file.c_str());
        failHandOver(notification, "22");
    }
}

[[noreturn]] void handOverToRunningInstance() {
    const DWORD pid = readInstancePid();
    logMessage("other pid %lu", pid);
    activateProcessWindows(pid, true);

    char commFile[8192];
    if (!processCommFilePath(commFile, sizeof commFile, pid)) {
        logError("communication file path too long");
        fatalErrorMessage(msg::InternalError, "21");
    }
    const std::string file = commFile;
    logMessage("notification via %s", file.c_str());

    const std::string notificationName = std::string(semaphoreName) + "_notification";
    ScopedHandle notification(createCountOneSemaphore(notificationName.c_str()));
    if (!notification.valid())
        logMessage("semaphore creation failed %lu", GetLastError());
    logMessage("waiting for notification semaphore");
    const DWORD waited = WaitForSingleObject(notification.get(), kNotificationWaitMs);
    logMessage("wait returned %ld", static_cast<long>(waited));
    if (waited == WAIT_TIMEOUT) {
        // Not ours to release: it is still held by whoever took it.
        logError("notification semaphore not free within %lu s: hand-over given up",
                 static_cast<unsigned long>(kNotificationWaitMs / 1000));
        fatalErrorMessage(msg::InternalError, "21");
    }

    if (isMainProcessAlive() && waitWhileFileExists(file)) {
        writeHandOverFile(file, notification.get());
        logMessage("waiting for file deletion");
        if (!waitWhileFileExists(file))
            DeleteFileA(file.c_str());
    }
    releaseNotification(notification.get());
    notification.close();
    logMessage("exiting");
    exitLauncher(0);
}

}  // namespace

const char* instanceSemaphoreName() { return semaphoreNamed ? semaphoreName : nullptr; }

void checkSingleInstance() {
    const std::string canonical = launcherKeyName();
    const bool global = getConfigBool(rec::GlobalSemaphore);
    const bool single = getConfigBool(rec::SingleInstance);
    if (!buildInstanceName(semaphoreName, sizeof semaphoreName, canonical, global, single ? -1 : 0)) {
        // No name means no semaphore: this launch goes on on its own.
        logError("semaphore name too long for %s", canonical.c_str());
        return;
    }
    semaphoreNamed = true;

    if (!single) {
        long n = 0;
        HANDLE h = createCountOneSemaphore(semaphoreName);
        DWORD error = GetLastError();
        while (isInstanceNameTaken(error) && n < kMaxNumber) {
            if (h)
                CloseHandle(h);
            ++n;
            buildInstanceName(semaphoreName, sizeof semaphoreName, canonical, global, n);
            h = createCountOneSemaphore(semaphoreName);
            error = GetLastError();
        }
        instanceSemaphore = h;
        logMessage("semaphore name %s, code %lu, value %p", semaphoreName, error, static_cast<void*>(h));
        return;
    }

    logMessage("single instance mode");
    HANDLE h = createCountOneSemaphore(semaphoreName);
    const DWORD error = GetLastError();
    logMessage("semaphore name %s, code %lu, value %p", semaphoreName, error, static_cast<void*>(h));
    if (!isInstanceNameTaken(error)) {
        instanceSemaphore = h;
        registerInstancePid();
        return;
    }
    if (h)
        CloseHandle(h);
    handOverToRunningInstance();
}

bool isMainProcessAlive() {
    if (!semaphoreNamed)
        return true;  // nothing to probe: assume the running instance is there
    HANDLE h = createCountOneSemaphore(semaphoreName);
    if (!h)
        return true;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(h);
        return true;
    }
    if (!ReleaseSemaphore(h, 1, nullptr))
        logMessage("release semaphore 2 failed %lu", GetLastError());
    CloseHandle(h);
    logMessage("main process already released semaphore.");
    return false;
}

LONG registerInstancePid() {
    ScopedKey key;
    const LONG opened = advapi32::RegCreateKeyExA(HKEY_CURRENT_USER, kPidsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, key.receive(), nullptr);
    if (opened != ERROR_SUCCESS)
        return opened;
    const DWORD pid = GetCurrentProcessId();
    return advapi32::RegSetValueExA(key.get(), launcherKeyName().c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&pid),
                          sizeof pid);
}

DWORD readInstancePid() {
    ScopedKey key;
    if (advapi32::RegOpenKeyExA(HKEY_CURRENT_USER, kPidsKey, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
        return 0;
    DWORD pid = 0;
    DWORD size = sizeof pid;
    const LONG queried =
        advapi32::RegQueryValueExA(key.get(), launcherKeyName().c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&pid), &size);
    return queried == ERROR_SUCCESS && size == sizeof pid ? pid : 0;
}
