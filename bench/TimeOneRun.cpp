// Starts one program as the launcher's version probe does (hidden, its
// standard output and error read through a pipe until it ends) and prints
// the milliseconds that took: what a start that misses the version cache
// must pay at least once.
//
//   time-one-run.exe "COMMAND LINE"
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: time-one-run.exe \"COMMAND LINE\"\n");
        return 2;
    }
    static char line[32768];
    if (std::strlen(argv[1]) >= sizeof line)
        return 2;
    std::strcpy(line, argv[1]);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return 2;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    start.wShowWindow = SW_HIDE;
    start.hStdOutput = writeEnd;
    start.hStdError = writeEnd;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &start,
                        &process)) {
        std::fprintf(stderr, "time-one-run: cannot start %s (error %lu)\n", line, GetLastError());
        return 2;
    }
    CloseHandle(writeEnd);
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    QueryPerformanceCounter(&end);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(readEnd);
    std::printf("%.3f\n", double(end.QuadPart - begin.QuadPart) * 1000.0 / double(frequency.QuadPart));
    return 0;
}
