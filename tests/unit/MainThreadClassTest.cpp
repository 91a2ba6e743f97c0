// The main thread's class as the JDK's own class-file reader sees it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "jvm/MainThreadClass.h"

namespace {

std::string javapOf(const std::string& bytes, int& status) {
    char dir[] = "/tmp/kvo-mainthread-XXXXXX";
    if (!mkdtemp(dir))
        return std::string();
    const std::string file = std::string(dir) + "/LauncherMainThread.class";
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const std::string out = std::string(dir) + "/javap.txt";
    status = std::system(("javap -v -p '" + file + "' > '" + out + "' 2>&1").c_str());
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(out.c_str());
    std::remove(file.c_str());
    rmdir(dir);
    return text.str();
}

TEST(MainThreadClass, ReadByTheJdkAsAThreadWithANativeRun) {
    if (std::system("javap -version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "no javap here";
    int status = -1;
    const std::string text = javapOf(mainThreadClassFile("com/korvo/runtime/LauncherMainThread"), status);
    ASSERT_EQ(status, 0) << text;
    EXPECT_NE(text.find("final class com.korvo.runtime.LauncherMainThread extends java.lang.Thread"),
              std::string::npos) << text;
    EXPECT_NE(text.find("major version: 50"), std::string::npos) << text;
    EXPECT_NE(text.find("public native void run();"), std::string::npos) << text;
    EXPECT_NE(text.find("public com.korvo.runtime.LauncherMainThread(java.lang.String);"), std::string::npos)
        << text;
    // The constructor hands the name to Thread(String) and nothing else.
    EXPECT_NE(text.find("invokespecial #8                  // Method java/lang/Thread.\"<init>\":(Ljava/lang/String;)V"),
              std::string::npos) << text;
    EXPECT_NE(text.find("stack=2, locals=2, args_size=2"), std::string::npos) << text;
}

}  // namespace
