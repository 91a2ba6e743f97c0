// Path operations against Wine's real file functions.
#include <gtest/gtest.h>

#include <string>

#include "core/LauncherFile.h"
#include "core/Paths.h"
#include "core/Platform.h"

namespace {

std::string tempDir() {
    char buffer[MAX_PATH];
    GetTempPathA(MAX_PATH, buffer);
    std::string dir = buffer;
    dir += "kvo-paths-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

TEST(LauncherDirectory, IsTheFolderOfTheRunningExecutable) {
    const std::string dir = launcherDirectory();
    const std::string exe = launcherPath();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '\\');
    EXPECT_EQ(exe.compare(0, dir.size(), dir), 0) << exe << " vs " << dir;
    EXPECT_EQ(exe.find('\\', dir.size()), std::string::npos);
    EXPECT_EQ(_stricmp(exe.c_str() + exe.size() - 4, ".exe"), 0);
    EXPECT_NE(std::wstring(launcherPathWide()).find(L".exe"), std::wstring::npos);
}

TEST(ResolvePath, RelativeAgainstLauncherOrBaseFile) {
    const std::string dir = launcherDirectory();
    EXPECT_EQ(resolvePath(".\\lib\\a.jar"), dir + ".\\lib\\a.jar");
    EXPECT_EQ(resolvePath("\\dir"), dir + "dir");
    EXPECT_EQ(resolvePath("c:dir"), dir + "c:dir");
    EXPECT_EQ(resolvePath(""), dir);
    EXPECT_EQ(resolvePath("D:\\\\libs\\\\x"), "D:\\libs\\x");
    EXPECT_EQ(resolvePath("\\\\server\\share\\\\x"), "\\\\server\\share\\x");
    EXPECT_EQ(resolvePath("x.txt", "C:\\base\\file.cfg"), "C:\\base\\x.txt");
    EXPECT_EQ(resolvePath("sub\\x.txt", "C:\\base\\\\deeper\\file.cfg"), "C:\\base\\deeper\\sub\\x.txt");
}

TEST(CanonicalPath, NormalisesAndOptionallyLowerCases) {
    const std::string dir = launcherDirectory();
    EXPECT_EQ(canonicalPath(".\\lib\\..\\lib\\A.jar", false), dir + "lib\\A.jar");
    std::string lower = dir + "lib\\a.jar";
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    EXPECT_EQ(canonicalPath(".\\LIB\\A.jar", true), lower);
    EXPECT_EQ(canonicalPath("C:\\x\\.\\y\\..\\z", false), "C:\\x\\z");
}

TEST(CollapseAndLower, NarrowFormsKeepNonAsciiCharacters) {
    std::string path = "C:\\\\Gr\xfc\xdf" "e\\\\\xc4RGER";  // cp1252 letters
    collapseBackslashes(path);
    EXPECT_EQ(path, "C:\\Gr\xfc\xdf" "e\\\xc4RGER");
    lowerCasePath(path);
    EXPECT_EQ(path, "c:\\gr\xfc\xdf" "e\\\xc4rger");
}

TEST(PathExists, DriveRootsFilesAndWildcards) {
    EXPECT_TRUE(pathExists("c:\\"));
    EXPECT_TRUE(pathExists("c:\\.\\."));
    EXPECT_TRUE(pathExists("q:\\")) << "a drive root needs no file system access";
    const std::string dir = tempDir();
    const std::string file = dir + "present.jar";
    ScopedHandle h(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(h.valid());
    h.close();
    EXPECT_TRUE(pathExists(file));
    EXPECT_TRUE(pathExists(dir.substr(0, dir.size() - 1)));
    EXPECT_TRUE(pathExists(dir + "*.jar"));
    EXPECT_FALSE(pathExists(dir + "*.zip"));
    EXPECT_FALSE(pathExists(dir + "absent.jar"));
    DeleteFileA(file.c_str());
    RemoveDirectoryA(dir.c_str());
}

}  // namespace
