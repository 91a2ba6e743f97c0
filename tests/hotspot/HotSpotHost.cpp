// Runs the launcher's JVM stage natively against an installed VM library
// (HotSpot's libjvm.so), as the launcher runs it against jvm.dll: option
// assembly, JNI_CreateJavaVM, the launcher class's main on the thread the VM
// starts, the wait for the application's threads, DestroyJavaVM, and a
// thread that polls the splash controller as the splash thread does.
//
//   hotspot-host --jvm LIBJVM --dir DIR --records FILE --log FILE
//                --messages FILE [--options FILE] [--temp DIR] [--launcher FILE]
//                [--controller] [-- ARG...]
//   hotspot-host --hand-over PID --dir DIR --log FILE --command-line TEXT
//
// FILE of --records: "ID<TAB>TEXT" lines, "\n", "\t" and "\\" escaped in TEXT.
// --temp stands for the launcher's temporary directory, into which the exe
// extracts its included files: its archives come first on the class path.
// --launcher stands for the exe's own file, from which it reads the Java
// half's classes: a launcher packed by kvo-pack (or its --overlay output).
// The log and the messages shown end up in their files; the exit code is the
// launcher's (or the application's System.exit).
//
// --hand-over is a second start in single-instance mode of the host that
// runs as process PID: it hands TEXT, its command line, to that instance.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "core/ConfigStore.h"
#include "core/Errors.h"
#include "core/Log.h"
#include "core/StartupState.h"
#include "core/StepTimes.h"
#include "jvm/JavaVMLauncher.h"
#include "runtime/JniEntry.h"
#include "services/InstanceText.h"
#include "splash/ControllerPoll.h"
#include "tests/hotspot/HostPlatform.h"

namespace {

// Step times of the host count from its main: Linux keeps a process's
// creation time only to the clock tick.
const auto hostStarted = std::chrono::steady_clock::now();

double millisecondsSinceStart() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - hostStarted).count();
}

std::string unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char c = text[++i];
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool loadRecords(const char* path) {
    FILE* file = std::fopen(path, "r");
    if (!file)
        return false;
    std::string line;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        const size_t tab = line.find('\t');
        if (tab != std::string::npos)
            configStore().narrow[std::atoi(line.substr(0, tab).c_str())] = unescape(line.substr(tab + 1));
        line.clear();
    }
    std::fclose(file);
    return true;
}

// The splash thread's part without a window: every 100 ms it asks the
// controller, until the application asks for the hide or the JVM is about
// to go.
std::thread controllerThread;
std::atomic<bool> stopPolling{false};
std::atomic<bool> polling{false};

void pollUntilHidden() {
    while (!stopPolling) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const ControllerRequest request = pollController();
        if (request.action == ControllerAction::text) {
            logMessage("controller: text %s", utf8(request.text).c_str());
        } else if (request.action == ControllerAction::hide) {
            logMessage("controller: hide");
            break;
        }
    }
    releaseController();
    polling = false;
}

void endPolling() {
    if (!controllerThread.joinable())
        return;
    if (polling)
        logMessage("controller: stopping");
    stopPolling = true;
    controllerThread.join();
}

// The exe's second start without what only Windows has (the semaphores,
// the pids value, raising the instance's windows): the same bytes into the
// running instance's file, created exclusively, and the same waits.
bool instanceAlive(long pid) { return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

bool waitWhileFileExists(const std::string& file, long pid) {
    for (int i = 0; i < kHandOverWaitRounds && access(file.c_str(), F_OK) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kHandOverWaitStepMs));
        if (i % kHandOverProbeEvery == 0 && !instanceAlive(pid))
            return false;
    }
    return true;
}

bool writeAll(const std::string& file, const std::string& bytes) {
    const int out = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (out < 0) {
        logMessage("CreateFile failed %d", errno);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(out, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    close(out);
    if (done == bytes.size())
        return true;
    logError("WriteFile failed %d", errno);
    // A cut text would reach the application as if it were the arguments.
    unlink(file.c_str());
    return false;
}

int handOver(long pid, const std::string& commandLine) {
    const std::string file = commFilePath(pid);
    logMessage("notification via %s", file.c_str());
    if (instanceAlive(pid) && waitWhileFileExists(file, pid)) {
        if (!writeAll(file, handOverBytes(utf16(commandLine))))
            fatalErrorMessage(msg::InternalError, "21");
        logMessage("waiting for file deletion");
        if (!waitWhileFileExists(file, pid))
            unlink(file.c_str());
    }
    logMessage("exiting");
    return 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: hotspot-host --jvm LIBJVM --dir DIR --records FILE --log FILE --messages FILE\n"
                 "                    [--options FILE] [--temp DIR] [--launcher FILE] [--controller]\n"
                 "                    [-- ARG...]\n"
                 "       hotspot-host --hand-over PID --dir DIR --log FILE --command-line TEXT\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    beginStepTimes(millisecondsSinceStart);
    const char* jvm = nullptr;
    const char* records = nullptr;
    const char* handOverTo = nullptr;
    const char* commandLine = nullptr;
    bool controller = false;
    int first = argc;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--") {
            first = i + 1;
            break;
        }
        if (option == "--controller") {
            controller = true;
            continue;
        }
        if (i + 1 >= argc)
            return usage();
        const char* value = argv[++i];
        if (option == "--jvm")
            jvm = value;
        else if (option == "--dir")
            host.directory = value;
        else if (option == "--records")
            records = value;
        else if (option == "--log")
            host.logFile = value;
        else if (option == "--messages")
            host.messagesFile = value;
        else if (option == "--options")
            host.optionsFile = value;
        else if (option == "--temp")
            host.tempDir = value;
        else if (option == "--launcher")
            host.launcherFile = value;
        else if (option == "--hand-over")
            handOverTo = value;
        else if (option == "--command-line")
            commandLine = value;
        else
            return usage();
    }
    if (handOverTo) {
        char* end = nullptr;
        const long pid = std::strtol(handOverTo, &end, 10);
        if (*end != '\0' || pid <= 0 || !commandLine || host.directory.empty() || host.logFile.empty())
            return usage();
        return handOver(pid, commandLine);
    }
    if (!jvm || !records || host.directory.empty() || host.logFile.empty() || host.messagesFile.empty())
        return usage();
    if (!loadRecords(records)) {
        std::fprintf(stderr, "hotspot-host: cannot read %s\n", records);
        return 2;
    }
    productFlavor = getConfigString(rec::ProductFlavor)[0];

    void* library = dlopen(jvm, RTLD_NOW | RTLD_LOCAL);
    void* entry = library ? dlsym(library, "JNI_CreateJavaVM") : nullptr;
    if (!entry) {
        std::fprintf(stderr, "hotspot-host: no JNI_CreateJavaVM in %s: %s\n", jvm, dlerror());
        return 2;
    }
    logMessage("JVM library %s", jvm);
    setCreateJavaVMEntry(reinterpret_cast<CreateJavaVMEntry>(entry));

    WideArgs arguments{utf16(host.directory + "/app")};
    for (int i = first; i < argc; ++i)
        arguments.push_back(utf16(argv[i]));
    if (controller) {
        polling = true;
        controllerThread = std::thread(pollUntilHidden);
    }
    setBeforeDestroyJavaVM(endPolling);
    if (!launchProgram(arguments, true))
        fatalErrorMessage(msg::JvmNotStarted, nullptr, launchFailureDetail());
    endPolling();
    return 0;
}
