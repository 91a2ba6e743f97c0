// The launcher's registry and security calls, which it binds at run time
// instead of importing advapi32: the same results as the system's own
// functions, against Wine's real registry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/Advapi32.h"
#include "core/Platform.h"

#include <sddl.h>

namespace {

constexpr char kTestKey[] = "SOFTWARE\\orrin-labs\\korvo\\advapi32-test";

class Advapi32Registry : public ::testing::Test {
protected:
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey); }
};

TEST_F(Advapi32Registry, ComesFromKernel32WhereItHasTheRegistry) {
    // Wine's kernel32, like that of Windows 7 and later, exports it.
    EXPECT_TRUE(advapi32::registryFromKernel32());
}

TEST_F(Advapi32Registry, WritesReadsEnumeratesAndReportsMissingKeys) {
    ScopedKey key;
    DWORD disposition = 0;
    ASSERT_EQ(advapi32::RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, key.receive(), &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    const char text[] = "1.8.0_402";
    ASSERT_EQ(advapi32::RegSetValueExA(key.get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                       sizeof text - 1),
              ERROR_SUCCESS);
    ScopedKey child;
    ASSERT_EQ(advapi32::RegCreateKeyExA(key.get(), "child", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                        nullptr, child.receive(), nullptr),
              ERROR_SUCCESS);

    // Read back through the system's own function: the same registry.
    char read[32] = "";
    DWORD size = sizeof read;
    DWORD type = 0;
    ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, kTestKey, "Version", RRF_RT_REG_SZ, &type, read, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(read, text);

    ScopedKey opened;
    ASSERT_EQ(advapi32::RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, opened.receive()), ERROR_SUCCESS);
    char value[32] = {};
    size = sizeof value;
    type = 0;
    ASSERT_EQ(advapi32::RegQueryValueExA(opened.get(), "Version", nullptr, &type, reinterpret_cast<BYTE*>(value),
                                         &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_STREQ(value, text) << "size " << size;

    char name[64];
    DWORD nameSize = sizeof name;
    ASSERT_EQ(advapi32::RegEnumKeyExA(opened.get(), 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "child");
    nameSize = sizeof name;
    EXPECT_EQ(advapi32::RegEnumKeyExA(opened.get(), 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);

    ScopedKey missing;
    EXPECT_EQ(advapi32::RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\orrin-labs\\korvo\\advapi32-test\\none", 0,
                                      KEY_READ, missing.receive()),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing.get(), nullptr);
    size = sizeof value;
    EXPECT_EQ(advapi32::RegQueryValueExA(opened.get(), "none", nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                                         &size),
              ERROR_FILE_NOT_FOUND);
}

TEST(Advapi32Security, DescriptorAndTokenCallsReachAdvapi32) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;GA;;;WD)", SDDL_REVISION_1,
                                                                               &descriptor, nullptr))
        << GetLastError();
    EXPECT_TRUE(IsValidSecurityDescriptor(descriptor));
    LocalFree(descriptor);
    EXPECT_FALSE(advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorA("not a descriptor",
                                                                                SDDL_REVISION_1, &descriptor,
                                                                                nullptr));

    HANDLE raw = nullptr;
    ASSERT_TRUE(advapi32::OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) << GetLastError();
    ScopedHandle token(raw);
    LUID luid = {};
    EXPECT_TRUE(advapi32::LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &luid));
    EXPECT_TRUE(luid.LowPart != 0 || luid.HighPart != 0);
    EXPECT_FALSE(advapi32::LookupPrivilegeValueA(nullptr, "NoSuchPrivilege", &luid));
}

}  // namespace
