// Starts one program as the launcher's version probe does (a GUI parent;
// the child hidden, its standard error going to a new temporary file that
// is read through the same handle and deleted after the child ends) and
// prints the milliseconds that took: what a start that misses the version
// cache must pay at least once, whoever makes the run.
//
//   time-one-run.exe "COMMAND LINE"
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc != 2) {
        std::fprintf(stderr, "usage: time-one-run.exe \"COMMAND LINE\"\n");
        return 2;
    }
    static char line[32768];
    if (std::strlen(__argv[1]) >= sizeof line)
        return 2;
    std::strcpy(line, __argv[1]);
    char folder[MAX_PATH];
    char output[MAX_PATH];
    if (!GetTempPathA(sizeof folder, folder) || !GetTempFileNameA(folder, "kvo", 0, output))
        return 2;

    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE errors = CreateFileA(output, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    start.wShowWindow = SW_HIDE;
    start.hStdError = errors;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &start,
                        &process)) {
        std::fprintf(stderr, "time-one-run: cannot start %s (error %lu)\n", line, GetLastError());
        return 2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    char first[200] = "";
    DWORD got = 0;
    LARGE_INTEGER zero = {};
    if (SetFilePointerEx(errors, zero, nullptr, FILE_BEGIN))
        ReadFile(errors, first, sizeof first - 1, &got, nullptr);
    CloseHandle(errors);
    DeleteFileA(output);
    QueryPerformanceCounter(&end);
    std::printf("%.3f\n", double(end.QuadPart - begin.QuadPart) * 1000.0 / double(frequency.QuadPart));
    return got > 0 ? 0 : 1;
}
