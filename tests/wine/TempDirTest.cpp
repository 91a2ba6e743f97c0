// The temporary path, its names, one included file and the emptying of a
// directory, against Wine's real file system.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/ConfigBlock.h"
#include "core/Platform.h"
#include "services/TempDir.h"

namespace {

std::string systemTemp() {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return dir;
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void writeFile(const std::string& path, const std::string& bytes) {
    ScopedHandle h(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD n = 0;
    WriteFile(h.get(), bytes.data(), DWORD(bytes.size()), &n, nullptr);
}

std::string readFile(const std::string& path) {
    ScopedHandle h(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes(GetFileSize(h.get(), nullptr), '\0');
    DWORD n = 0;
    ReadFile(h.get(), bytes.data(), DWORD(bytes.size()), &n, nullptr);
    return bytes;
}

// Removes a tree the tests made, whatever emptyDirectory left.
void removeTree(const std::string& dir) {
    WIN32_FIND_DATAA e;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &e);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = e.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string full = dir + "\\" + name;
            if (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(h, &e));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

// Each test works in its own directory and may point TMP elsewhere.
class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = systemTemp() + "kvo-tempdir-test-" + std::to_string(GetCurrentProcessId());
        removeTree(base_);
        ASSERT_TRUE(CreateDirectoryA(base_.c_str(), nullptr));
        char old[kTempPathCapacity];
        const DWORD n = GetEnvironmentVariableA("TMP", old, sizeof old);
        hadTmp_ = n > 0 && n < sizeof old;
        oldTmp_ = hadTmp_ ? old : "";
    }
    void TearDown() override {
        SetEnvironmentVariableA("TMP", hadTmp_ ? oldTmp_.c_str() : nullptr);
        removeTree(base_);
        launcherTempDir[0] = '\0';
    }
    std::string chosen() {
        char out[kTempPathCapacity];
        chooseTempPath(out, sizeof out);
        return out;
    }
    std::string base_, oldTmp_;
    bool hadTmp_ = false;
};

TEST_F(TempDir, TempPathFromTmpIsCreatedWhenItsParentExists) {
    SetEnvironmentVariableA("TMP", base_.c_str());
    EXPECT_EQ(chosen(), base_ + "\\");

    const std::string fresh = base_ + "\\fresh";
    SetEnvironmentVariableA("TMP", fresh.c_str());
    EXPECT_EQ(chosen(), fresh + "\\");
    EXPECT_TRUE(exists(fresh));
}

TEST_F(TempDir, UnusableTmpFallsBackToTheWindowsTempDirectory) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string expected = std::string(windows) + "\\temp";
    for (const std::string& tmp : {base_ + "\\missing\\deeper", std::string("Q:\\no-such-drive")}) {
        SetEnvironmentVariableA("TMP", tmp.c_str());
        EXPECT_EQ(chosen(), expected) << tmp;
        EXPECT_FALSE(exists(tmp)) << tmp;
    }
    // Characters the ANSI code page cannot hold.
    const std::wstring wide = std::wstring(base_.begin(), base_.end()) + L"\\t\x4e2d\x6587";
    ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));
    SetEnvironmentVariableW(L"TMP", wide.c_str());
    EXPECT_EQ(chosen(), expected);
    RemoveDirectoryW(wide.c_str());
}

TEST_F(TempDir, WritableDirectoryTest) {
    EXPECT_TRUE(isWritableDirectory(base_.c_str()));
    EXPECT_FALSE(exists(base_ + "\\kvo_w_testdir"));
    // A test directory left by an earlier run does not count against it.
    ASSERT_TRUE(CreateDirectoryA((base_ + "\\kvo_w_testdir").c_str(), nullptr));
    EXPECT_TRUE(isWritableDirectory(base_.c_str()));
    EXPECT_FALSE(exists(base_ + "\\kvo_w_testdir"));

    EXPECT_FALSE(isWritableDirectory((base_ + "\\missing").c_str()));
    writeFile(base_ + "\\file", "x");
    EXPECT_FALSE(isWritableDirectory((base_ + "\\file").c_str()));
}

TEST_F(TempDir, NamesInTheTempPath) {
    SetEnvironmentVariableA("TMP", base_.c_str());
    char out[kTempPathCapacity];
    ASSERT_TRUE(processCommFilePath(out, sizeof out, 12));
    EXPECT_EQ(std::string(out), base_ + "\\kvo_p12.tmp");
    char small[8];
    EXPECT_FALSE(processCommFilePath(small, sizeof small, 12));
    EXPECT_STREQ(small, "");

    makeTempFileName(out, sizeof out);
    const std::string name = out;
    ASSERT_EQ(name.rfind(base_ + "\\kvo", 0), 0u) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
    ASSERT_TRUE(exists(name));
    EXPECT_EQ(readFile(name), "");
    makeTempFileName(out, sizeof out);
    EXPECT_NE(std::string(out), name);
}

TEST_F(TempDir, LauncherTempDirIsTheTempFileNameWithDirAndTime) {
    SetEnvironmentVariableA("TMP", base_.c_str());
    const DWORD before = DWORD(time(nullptr));
    createLauncherTempDir();
    const std::string dir = launcherTempDir;
    const size_t at = dir.find(".tmp_dir");
    ASSERT_NE(at, std::string::npos) << dir;
    EXPECT_EQ(dir.rfind(base_ + "\\kvo", 0), 0u) << dir;
    EXPECT_TRUE(exists(dir.substr(0, at + 4)));  // the empty file stays
    const long long stamp = std::stoll(dir.substr(at + 8));
    EXPECT_GE(stamp, static_cast<int32_t>(before));
    EXPECT_LE(stamp, static_cast<int32_t>(before) + 5);
    EXPECT_TRUE(GetFileAttributesA(dir.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

class IncludedFile : public TempDir {
protected:
    // Opens a source holding `bytes` for reading, as the launcher file is.
    HANDLE source(const std::string& bytes) {
        writeFile(base_ + "\\source", bytes);
        return CreateFileA((base_ + "\\source").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }
    static std::string entry(int64_t length, const std::string& plain) {
        std::string out(reinterpret_cast<const char*>(&length), 8);
        for (char c : plain)
            out += static_cast<char>(c ^ kScrambleMask);
        return out;
    }
    static DWORD position(HANDLE h) { return SetFilePointer(h, 0, nullptr, FILE_CURRENT); }
};

TEST_F(IncludedFile, RestoresThePlainBytesAcrossChunks) {
    std::string plain(3 * 8192 + 17, '\0');
    for (size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<char>(i * 31 + i / 256);
    ScopedHandle in(source(entry(int64_t(plain.size()), plain) + "next"));
    const std::string target = base_ + "\\big.bin";
    EXPECT_EQ(extractIncludedFile(in.get(), target.c_str()), 0);
    EXPECT_TRUE(readFile(target) == plain);
    EXPECT_EQ(position(in.get()), 8 + plain.size());
}

TEST_F(IncludedFile, EmptyOrNegativeLengthMakesNoFile) {
    ScopedHandle in(source(entry(0, "") + entry(-5, "") + entry(2, "ok")));
    EXPECT_EQ(extractIncludedFile(in.get(), (base_ + "\\zero").c_str()), 0);
    EXPECT_EQ(position(in.get()), 8u);
    EXPECT_EQ(extractIncludedFile(in.get(), (base_ + "\\negative").c_str()), 0);
    EXPECT_EQ(position(in.get()), 16u);
    EXPECT_FALSE(exists(base_ + "\\zero"));
    EXPECT_FALSE(exists(base_ + "\\negative"));
    EXPECT_EQ(extractIncludedFile(in.get(), (base_ + "\\two").c_str()), 0);
    EXPECT_EQ(readFile(base_ + "\\two"), "ok");
}

TEST_F(IncludedFile, ShortDataFailsTheReadAndLeavesAFileThatCanBeDeleted) {
    ScopedHandle in(source(entry(100, "only ten b")));
    const std::string target = base_ + "\\short";
    EXPECT_EQ(extractIncludedFile(in.get(), target.c_str()), 1);
    // The error exit removes the temporary directory: nothing may hold it.
    EXPECT_TRUE(DeleteFileA(target.c_str()));
}

class EmptyDirectory : public TempDir {
protected:
    void SetUp() override {
        TempDir::SetUp();
        dir_ = base_ + "\\d";
        CreateDirectoryA(dir_.c_str(), nullptr);
        writeFile(dir_ + "\\a.txt", "a");
        CreateDirectoryA((dir_ + "\\lib").c_str(), nullptr);
        writeFile(dir_ + "\\lib\\b.jar", "b");
        CreateDirectoryA((dir_ + "\\lib\\empty").c_str(), nullptr);
        CreateDirectoryA((dir_ + "\\deep").c_str(), nullptr);
        CreateDirectoryA((dir_ + "\\deep\\full").c_str(), nullptr);
        writeFile(dir_ + "\\deep\\full\\c.txt", "c");
    }
    std::string dir_;
};

TEST_F(EmptyDirectory, RecurseEmptiesOneLevelBelow) {
    emptyDirectory(dir_.c_str(), true);
    EXPECT_FALSE(exists(dir_ + "\\a.txt"));
    EXPECT_FALSE(exists(dir_ + "\\lib"));
    // Two levels down only empty directories go; what is full stays whole.
    EXPECT_TRUE(exists(dir_ + "\\deep\\full\\c.txt"));
    EXPECT_FALSE(RemoveDirectoryA(dir_.c_str()));
}

TEST_F(EmptyDirectory, WithoutRecurseOnlyFilesAndEmptyDirectories) {
    RemoveDirectoryA((dir_ + "\\lib\\empty").c_str());
    emptyDirectory((dir_ + "\\").c_str(), false);
    EXPECT_FALSE(exists(dir_ + "\\a.txt"));
    EXPECT_TRUE(exists(dir_ + "\\lib\\b.jar"));
    EXPECT_TRUE(exists(dir_ + "\\deep\\full"));
}

TEST_F(EmptyDirectory, EmptyAndRelativePathsAreLeftAlone) {
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    SetCurrentDirectoryA(dir_.c_str());
    emptyDirectory("", true);
    emptyDirectory(".", true);
    emptyDirectory(".\\lib", true);
    SetCurrentDirectoryA(cwd);
    EXPECT_TRUE(exists(dir_ + "\\a.txt"));
    EXPECT_TRUE(exists(dir_ + "\\lib\\b.jar"));
}

}  // namespace
