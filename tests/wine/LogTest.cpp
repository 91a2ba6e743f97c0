// The log under concurrent writers, as main and splash thread use it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <io.h>

#include "core/Console.h"
#include "core/Log.h"
#include "core/Platform.h"

namespace {

constexpr int kThreads = 4;
constexpr int kLines = 150;

DWORD WINAPI writer(void* param) {
    const int id = static_cast<int>(reinterpret_cast<intptr_t>(param));
    for (int i = 0; i < kLines; ++i) {
        if (i % 2)
            logError("thread %d line %d %s", id, i, "with some text to make the line longer");
        else
            logMessage("thread %d line %d %s", id, i, "with some text to make the line longer");
    }
    return 0;
}

TEST(Log, LinesFromSeveralThreadsStayWhole) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    // A fresh folder: Wine reuses process ids, and an earlier run's folder
    // of the same name would already hold numbered logs.
    const std::string base = std::string(temp) + "kvo-log-" + std::to_string(GetCurrentProcessId());
    std::string dir;
    for (int n = 0; dir.empty(); ++n) {
        ASSERT_LT(n, 100) << "no free folder name beside " << base;
        const std::string candidate = base + "-" + std::to_string(n);
        if (CreateDirectoryA(candidate.c_str(), nullptr))
            dir = candidate;
    }
    SetEnvironmentVariableA("TMP", dir.c_str());
    SetEnvironmentVariableA("KORVO_LOG", "yes");
    _putenv(("TMP=" + dir).c_str());
    _putenv("KORVO_LOG=yes");

    logMessage("first line");  // the on/off decision is made by one thread first
    HANDLE threads[kThreads];
    for (int t = 0; t < kThreads; ++t)
        threads[t] = CreateThread(nullptr, 0, writer, reinterpret_cast<void*>(intptr_t(t)), 0, nullptr);
    WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE);
    for (HANDLE h : threads)
        CloseHandle(h);

    ASSERT_NE(logFilePath(), nullptr);
    EXPECT_EQ(std::string(logFilePath()), dir + "\\vdl_nlog_2");
    std::ifstream in(logFilePath());
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line.rfind("Started executable ", 0), 0u) << line;
    std::getline(in, line);
    EXPECT_EQ(line, "");
    std::getline(in, line);
    EXPECT_EQ(line, "first line");
    std::set<std::string> seen;
    while (std::getline(in, line)) {
        int id = -1, n = -1;
        const bool error = line.rfind("ERROR: ", 0) == 0;
        const std::string body = error ? line.substr(7) : line;
        char tail[64] = "";
        ASSERT_EQ(std::sscanf(body.c_str(), "thread %d line %d %63[^\n]", &id, &n, tail), 3) << line;
        EXPECT_EQ(error, n % 2 == 1) << line;
        EXPECT_STREQ(tail, "with some text to make the line longer");
        EXPECT_TRUE(seen.insert(body).second) << "line twice: " << line;
    }
    EXPECT_EQ(seen.size(), size_t(kThreads * kLines));
    DeleteFileA(logFilePath());
    RemoveDirectoryA(dir.c_str());
}

}  // namespace

// Where this says false, a console-type launcher shows its errors in dialogs.
TEST(StandardError, UsableOnlyWithAHandleOfAKnownKind) {
    const HANDLE original = GetStdHandle(STD_ERROR_HANDLE);
    ASSERT_TRUE(standardErrorUsable()) << "the test itself runs with a standard error";
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (HANDLE handle : {HANDLE(nullptr), INVALID_HANDLE_VALUE, event}) {
        SetStdHandle(STD_ERROR_HANDLE, handle);
        EXPECT_FALSE(standardErrorUsable()) << handle;
    }
    SetStdHandle(STD_ERROR_HANDLE, original);
    CloseHandle(event);
    // The C runtime writes to its own copy, which a console attached later
    // does not replace. (Closing it closes the process's handle too.)
    std::fflush(stderr);
    const int saved = _dup(2);
    HANDLE another = nullptr;
    DuplicateHandle(GetCurrentProcess(), original, GetCurrentProcess(), &another, 0, FALSE, DUPLICATE_SAME_ACCESS);
    _close(2);
    SetStdHandle(STD_ERROR_HANDLE, another);
    EXPECT_FALSE(standardErrorUsable());
    _dup2(saved, 2);
    _close(saved);
    CloseHandle(another);
    EXPECT_TRUE(standardErrorUsable());
}
