// The version cache against Wine's registry, and the binding of a stand-in
// jvm.dll in this process: the entry point's calling convention, PATH in
// both views and the JVM home; where what the VM prints goes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/Advapi32.h"
#include "core/ConfigStore.h"
#include "core/Platform.h"
#include "jvm/LaunchInputs.h"
#include "runtime/JavaProbe.h"
#include "runtime/JniEntry.h"
#include "runtime/JvmLibrary.h"
#include "runtime/JvmState.h"
#include "runtime/RuntimeText.h"
#include "runtime/VersionCache.h"

namespace {

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string ownDirectory() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s = path;
    return s.substr(0, s.find_last_of('\\') + 1);
}

void removeTree(const std::string& dir) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(dir + "\\" + name);
            else
                DeleteFileA((dir + "\\" + name).c_str());
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}

// A directory of its own in the temporary path, removed with what it holds
// (a library still loaded keeps its file until the next run removes it).
class TempHome {
public:
    explicit TempHome(const char* name) {
        char buffer[MAX_PATH];
        GetTempPathA(MAX_PATH, buffer);
        path_ = std::string(buffer) + name;
        removeTree(path_);
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempHome() { removeTree(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Cache entries of these tests live under a name of their own and go away.
class CacheKey {
public:
    explicit CacheKey(const char* tag)
        : path_("z:\\kvo-wine-test\\" + std::string(tag) + std::to_string(GetCurrentProcessId()) +
                "\\bin\\java.exe") {}
    ~CacheKey() { RegDeleteKeyA(HKEY_CURRENT_USER, versionCacheKey(path_).c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

FILETIME stamp(DWORD low, DWORD high) {
    FILETIME t;
    t.dwLowDateTime = low;
    t.dwHighDateTime = high;
    return t;
}

TEST(VersionCache, StoredValuesMatchOnlyTheirTime) {
    CacheKey key("store");
    versionCacheStore(key.path(), stamp(0x11223344, 0x01DD0000), "17.0.2");

    ScopedKey raw;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, versionCacheKey(key.path()).c_str(), 0, KEY_READ, raw.receive()),
              ERROR_SUCCESS);
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExA(raw.get(), "Version", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    unsigned char bytes[8];
    DWORD size = sizeof bytes;
    ASSERT_EQ(RegQueryValueExA(raw.get(), "LastWriteTime", nullptr, &type, bytes, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    const unsigned char expected[8] = {0x44, 0x33, 0x22, 0x11, 0x00, 0x00, 0xDD, 0x01};
    EXPECT_EQ(std::memcmp(bytes, expected, 8), 0);

    std::string version;
    ASSERT_TRUE(versionCacheLookup(key.path(), stamp(0x11223344, 0x01DD0000), version));
    EXPECT_EQ(version, "17.0.2");
    EXPECT_FALSE(versionCacheLookup(key.path(), stamp(0x11223345, 0x01DD0000), version));
    EXPECT_FALSE(versionCacheLookup(key.path() + "x", stamp(0x11223344, 0x01DD0000), version));
}

TEST(VersionCache, ForeignValuesAreReadSafely) {
    CacheKey key("foreign");
    const FILETIME when = stamp(1, 2);
    versionCacheStore(key.path(), when, "1.8");
    ScopedKey raw;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, versionCacheKey(key.path()).c_str(), 0, KEY_ALL_ACCESS,
                            raw.receive()),
              ERROR_SUCCESS);

    // A value that fills the whole buffer without a terminator (the byte
    // behind the data is not zero, or the registry would add one), and one
    // longer than the buffer.
    std::string full(8192, '7');
    full += "89";
    RegSetValueExA(raw.get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(full.data()), 8192);
    std::string version;
    ASSERT_TRUE(versionCacheLookup(key.path(), when, version));
    EXPECT_EQ(version, full.substr(0, 8192));
    RegSetValueExA(raw.get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(full.data()), 8193);
    EXPECT_FALSE(versionCacheLookup(key.path(), when, version));

    // A time of the wrong size never matches.
    RegSetValueExA(raw.get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("1.8"), 3);
    RegSetValueExA(raw.get(), "LastWriteTime", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&when), 4);
    EXPECT_FALSE(versionCacheLookup(key.path(), when, version));
}

TEST(JvmHome, DirectoryOfTheExecutableAndTwoDots) {
    setJvmHome("c:\\x\\jre\\bin\\javaw.exe");
    EXPECT_STREQ(jvmHome, "c:\\x\\jre\\bin\\..");
    setJvmHome("C:\\rt\\bin\\java.exe");
    EXPECT_STREQ(jvmHome, "C:\\rt\\bin\\..");
    const std::string tooLong = "c:\\" + std::string(8200, 'a') + "\\bin\\java.exe";
    setJvmHome(tooLong.c_str());
    EXPECT_STREQ(jvmHome, "");
}

void copyFixture(const char* name, const std::string& to) {
    const std::string from = ownDirectory() + "fixtures\\runtime\\" + name;
    ASSERT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << from << " -> " << to;
}

TEST(LoadDLL, BindsTheEntryWithItsCallingConventionAndExtendsBothPathViews) {
    const TempHome temp("kvo-bind-test");
    const std::string& home = temp.path();
    const std::string bin = home + "\\bin";
    CreateDirectoryA(bin.c_str(), nullptr);
    CreateDirectoryA((bin + "\\client").c_str(), nullptr);
    copyFixture("java.exe", bin + "\\java.exe");
    copyFixture("java.exe", bin + "\\javaw.exe");
    copyFixture("stand-in-crt.dll", bin + "\\stand-in-crt.dll");
    copyFixture("jvm.dll", bin + "\\client\\jvm.dll");

    configStore().narrow[rec::JreSearchSequence] = "A" + home;
    configStore().narrow[rec::ExecutableType] = "1";
    SetEnvironmentVariableA("PATH", "C:\\windows\\system32;C:\\windows");
    _putenv("PATH=C:\\windows\\system32;C:\\windows");

    ASSERT_TRUE(LoadDLL());
    ASSERT_NE(createJavaVMEntry, nullptr);
    const std::string lowerBin = lower(bin);
    EXPECT_EQ(std::string(jvmHome), lowerBin + "\\..");
    char path[16384];
    ASSERT_GT(GetEnvironmentVariableA("PATH", path, sizeof path), 0u);
    EXPECT_EQ(std::string(path), "C:\\windows\\system32;C:\\windows;" + lowerBin);
    ASSERT_NE(std::getenv("PATH"), nullptr);
    EXPECT_EQ(std::string(std::getenv("PATH")), path);

    // A stand-in that creates no VM answers JNI_ERR; a caller with the wrong
    // convention would come back with a shifted stack pointer.
    char option[] = "-Dkvo.test=1";
    JavaVMOption options[1] = {{option, nullptr}};
    JavaVMInitArgs args = {JNI_VERSION_1_2, 1, options, JNI_TRUE};
    JavaVM* vm = reinterpret_cast<JavaVM*>(1);
    void* env = reinterpret_cast<void*>(1);
    EXPECT_EQ(createJavaVMEntry(&vm, &env, &args), JNI_ERR);
    EXPECT_EQ(vm, nullptr);
    EXPECT_EQ(env, nullptr);

    RegDeleteKeyA(HKEY_CURRENT_USER, versionCacheKey(lower(bin + "\\java.exe")).c_str());
}

// The VM hands its own C runtime's streams; the one that holds a stream
// tells its number. A stream no module holds goes to standard error.
TEST(VmOutput, GoesWhereTheVmsStreamLeads) {
    const std::string dir = ownDirectory();
    const std::string outPath = dir + "vm-out.txt", errPath = dir + "vm-err.txt";
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = _dup(1), savedErr = _dup(2);
    const int out = _open(outPath.c_str(), _O_CREAT | _O_TRUNC | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    const int err = _open(errPath.c_str(), _O_CREAT | _O_TRUNC | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    ASSERT_GE(out, 0);
    ASSERT_GE(err, 0);
    _dup2(out, 1);
    _dup2(err, 2);
    writeVmText(stdout, "to its output|", 14);
    writeVmText(stderr, "to its error|", 13);
    int notAStream = 0;
    writeVmText(reinterpret_cast<FILE*>(&notAStream), "unknown|", 8);
    _dup2(savedOut, 1);
    _dup2(savedErr, 2);
    for (int fd : {out, err, savedOut, savedErr})
        _close(fd);
    auto read = [](const std::string& path) {
        std::string text;
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            for (int c; (c = std::fgetc(f)) != EOF;)
                text += static_cast<char>(c);
            std::fclose(f);
        }
        return text;
    };
    EXPECT_EQ(read(outPath), "to its output|");
    EXPECT_EQ(read(errPath), "to its error|unknown|");
}

TEST(CheckJavaExe, PathComesBackCanonicalLowerCaseAndWindowed) {
    const TempHome temp("kvo-check-test");
    const std::string& home = temp.path();
    const std::string bin = home + "\\Bin";
    CreateDirectoryA(bin.c_str(), nullptr);
    copyFixture("java.exe", bin + "\\java.exe");
    copyFixture("java.exe", bin + "\\javaw.exe");
    configStore().narrow[rec::ExecutableType] = "1";

    std::string javaExecutable = bin + "\\..\\BIN\\.\\JAVA.EXE";
    std::string version;
    ASSERT_TRUE(checkJavaExe(javaExecutable, version, "1.6", "", false));
    EXPECT_EQ(javaExecutable, lower(bin) + "\\javaw.exe");
    EXPECT_EQ(version, "1.8.0_402");
    RegDeleteKeyA(HKEY_CURRENT_USER, versionCacheKey(lower(bin + "\\java.exe")).c_str());
}

}  // namespace
