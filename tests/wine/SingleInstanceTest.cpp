// Instance identity against Wine's kernel objects, registry and windows: the
// numbered semaphore names, the pids value, and the raising and counting of
// another process's windows.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <string>

#include "core/Advapi32.h"
#include "core/ConfigStore.h"
#include "core/LauncherFile.h"
#include "core/Paths.h"
#include "core/Platform.h"
#include "services/InstanceText.h"
#include "services/ProcessWindows.h"
#include "services/SingleInstance.h"

namespace {

constexpr char kPidsKey[] = "SOFTWARE\\orrin-labs\\korvo\\pids";

std::string ownKeyName() { return canonicalPath(launcherPath(), true); }

std::string nameWith(bool global, long number) {
    char out[kInstanceNameCapacity];
    buildInstanceName(out, sizeof out, ownKeyName(), global, number);
    return out;
}

LONG setPidValue(const void* data, DWORD size, DWORD type) {
    ScopedKey key;
    LONG r = RegCreateKeyExA(HKEY_CURRENT_USER, kPidsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.receive(),
                             nullptr);
    if (r == ERROR_SUCCESS)
        r = RegSetValueExA(key.get(), ownKeyName().c_str(), 0, type, static_cast<const BYTE*>(data), size);
    return r;
}

void deletePidValue() {
    ScopedKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPidsKey, 0, KEY_ALL_ACCESS, key.receive()) == ERROR_SUCCESS)
        RegDeleteValueA(key.get(), ownKeyName().c_str());
}

TEST(InstanceSemaphore, NumberedNameSkipsNamesInUse) {
    configStore().narrow[rec::SingleInstance] = "0";
    configStore().narrow[rec::GlobalSemaphore] = "0";
    // Another holder of number 0 (in the namespace this process would use).
    ScopedHandle taken(CreateSemaphoreA(nullptr, 1, 1, nameWith(false, 0).c_str()));
    ASSERT_TRUE(taken.valid());
    checkSingleInstance();
    ASSERT_NE(instanceSemaphoreName(), nullptr);
    EXPECT_EQ(std::string(instanceSemaphoreName()), nameWith(false, 1));
    EXPECT_EQ(nameWith(false, 1).rfind("Local\\", 0), 0u);
    // The name is held for the life of the process.
    ScopedHandle probe(CreateSemaphoreA(nullptr, 1, 1, instanceSemaphoreName()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(isMainProcessAlive());
}

TEST(InstanceSemaphore, GlobalNameEveryUserMayUse) {
    configStore().narrow[rec::SingleInstance] = "0";
    configStore().narrow[rec::GlobalSemaphore] = "1";
    checkSingleInstance();
    ASSERT_NE(instanceSemaphoreName(), nullptr);
    ASSERT_EQ(std::string(instanceSemaphoreName()), nameWith(true, 0));
    // Its access list, read as its creator may.
    ScopedHandle own(OpenSemaphoreA(READ_CONTROL, FALSE, instanceSemaphoreName()));
    ASSERT_TRUE(own.valid()) << GetLastError();
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(own.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_NE(dacl, nullptr);
    unsigned char everyone[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof everyone;
    ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, everyone, &size));
    ACCESS_MASK granted = 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (GetAce(dacl, i, reinterpret_cast<void**>(&ace)) && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
            EqualSid(&ace->SidStart, everyone))
            granted |= ace->Mask;
    }
    LocalFree(descriptor);
    EXPECT_EQ(granted & (SYNCHRONIZE | SEMAPHORE_MODIFY_STATE), static_cast<ACCESS_MASK>(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE));
    EXPECT_EQ(granted & (WRITE_DAC | WRITE_OWNER), 0u) << "only the creator may change who may use it";
}

TEST(InstanceSemaphore, NameThisUserMayNotOpenIsTaken) {
    configStore().narrow[rec::SingleInstance] = "0";
    configStore().narrow[rec::GlobalSemaphore] = "1";
    // Number 0 held with an access list that admits nobody, as another
    // user's semaphore is to this user.
    PSECURITY_DESCRIPTOR nobody = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:", SDDL_REVISION_1, &nobody, nullptr));
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, nobody, FALSE};
    ScopedHandle foreign(CreateSemaphoreA(&attributes, 1, 1, nameWith(true, 0).c_str()));
    LocalFree(nobody);
    ASSERT_TRUE(foreign.valid());
    SetLastError(ERROR_SUCCESS);
    ScopedHandle refused(createCountOneSemaphore(nameWith(true, 0).c_str()));
    ASSERT_FALSE(refused.valid()) << "this Wine does not check access to named objects";
    EXPECT_TRUE(isInstanceNameTaken(GetLastError()));
    checkSingleInstance();
    ASSERT_NE(instanceSemaphoreName(), nullptr);
    EXPECT_EQ(std::string(instanceSemaphoreName()), nameWith(true, 1));
}

TEST(InstancePid, WrittenReadAndRejected) {
    deletePidValue();
    EXPECT_EQ(readInstancePid(), 0u);
    EXPECT_EQ(registerInstancePid(), ERROR_SUCCESS);
    EXPECT_EQ(readInstancePid(), GetCurrentProcessId());
    {
        ScopedKey key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kPidsKey, 0, KEY_READ, key.receive()), ERROR_SUCCESS);
        DWORD type = 0, data = 0, size = sizeof data;
        ASSERT_EQ(RegQueryValueExA(key.get(), ownKeyName().c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data),
                                   &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(data, GetCurrentProcessId());
    }
    // Only data of exactly four bytes is a process id; the type is not looked at.
    const unsigned char three[3] = {1, 2, 3};
    ASSERT_EQ(setPidValue(three, sizeof three, REG_BINARY), ERROR_SUCCESS);
    EXPECT_EQ(readInstancePid(), 0u);
    const unsigned char eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(setPidValue(eight, sizeof eight, REG_BINARY), ERROR_SUCCESS);
    EXPECT_EQ(readInstancePid(), 0u);
    const DWORD four = 4242;
    ASSERT_EQ(setPidValue(&four, sizeof four, REG_BINARY), ERROR_SUCCESS);
    EXPECT_EQ(readInstancePid(), 4242u);
    deletePidValue();
}

std::string ownDirectory() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s = path;
    return s.substr(0, s.find_last_of('\\') + 1);
}

// The fixture process with its windows: "main" with an owned "popup", a
// minimised window and a hidden one.
class OtherProcessWindows : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string tag = std::to_string(GetCurrentProcessId());
        const std::string readyName = "kvo_windows_ready_" + tag, quitName = "kvo_windows_quit_" + tag;
        ready_ = ScopedHandle(CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
        quit_ = ScopedHandle(CreateEventA(nullptr, TRUE, FALSE, quitName.c_str()));
        std::string command =
            "\"" + ownDirectory() + "fixtures\\windows\\kvo-windows.exe\" " + readyName + " " + quitName;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            << GetLastError();
        CloseHandle(pi.hThread);
        process_ = ScopedHandle(pi.hProcess);
        pid_ = pi.dwProcessId;
        HANDLE both[2] = {ready_.get(), process_.get()};
        ASSERT_EQ(WaitForMultipleObjects(2, both, FALSE, 30000), WAIT_OBJECT_0) << "fixture did not get ready";
        minimised_ = findWindow("minimised");
        ASSERT_NE(minimised_, nullptr);
    }
    void TearDown() override {
        SetEvent(quit_.get());
        WaitForSingleObject(process_.get(), 10000);
    }
    HWND findWindow(const char* title) { return FindWindowA("KvoWindowsFixture", title); }

    ScopedHandle ready_, quit_, process_;
    DWORD pid_ = 0;
    HWND minimised_ = nullptr;
};

TEST_F(OtherProcessWindows, CountsVisibleTopLevelWindowsOfThatProcessOnly) {
    EXPECT_EQ(countProcessWindows(pid_), 3);
    EXPECT_EQ(countProcessWindows(GetCurrentProcessId()), 0);
    EXPECT_EQ(countProcessWindows(0), 0);
}

TEST_F(OtherProcessWindows, RestoresMinimisedWindowsOnlyWhenAsked) {
    ASSERT_TRUE(IsIconic(minimised_));
    activateProcessWindows(pid_, false);
    EXPECT_TRUE(IsIconic(minimised_));
    activateProcessWindows(pid_, true);
    // The restore is carried out by the window's own thread.
    for (int i = 0; i < 100 && IsIconic(minimised_); ++i)
        Sleep(20);
    EXPECT_FALSE(IsIconic(minimised_));
    EXPECT_FALSE(IsWindowVisible(findWindow("hidden")));
    EXPECT_EQ(countProcessWindows(pid_), 3);
}

}  // namespace
