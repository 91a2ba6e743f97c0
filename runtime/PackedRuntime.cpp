#include "runtime/PackedRuntime.h"

#include <cstdio>

#include "core/ConfigStore.h"
#include "core/Errors.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Platform.h"
#include "runtime/RuntimeText.h"

namespace {

void unpackArchive(const std::string& home, const char* archive) {
    const std::string packedPath = home + "\\" + archive + ".pack";
    const std::string archivePath = packedPath.substr(0, packedPath.size() - 5);
    if (!pathExists(packedPath)) {
        logMessage("pack path doesn't exists");
        return;
    }
    const std::string unpacker = home + "\\bin\\unpack200.exe";
    std::string command = unpackCommandLine(unpacker, packedPath, archivePath);
    logMessage("%s", unpacker.c_str());
    logMessage("%s", command.c_str());

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(unpacker.c_str(), command.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &process)) {
        logMessage("could not create unpack process");
        fatalErrorMessage(msg::InternalError, "20");
    }
    ScopedHandle processHandle(process.hProcess);
    ScopedHandle threadHandle(process.hThread);
    logMessage("waiting for unpack200 to finish");
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD exitCode = STILL_ACTIVE;
    if (!GetExitCodeProcess(processHandle.get(), &exitCode))
        exitCode = STILL_ACTIVE;
    logMessage("unpack done");

    // The packed file may be the only copy of the archive: it goes only when
    // the unpacker says it succeeded and the archive is really there.
    if (exitCode != 0 || !pathExists(archivePath)) {
        logError("unpacking %s failed (exit code %lu, archive %s): packed file kept", packedPath.c_str(), exitCode,
                 pathExists(archivePath) ? "present" : "missing");
        return;
    }
    if (!DeleteFileA(packedPath.c_str())) {
        const DWORD error = GetLastError();
        // The unpacker removes the packed file itself when asked to.
        if (error != ERROR_FILE_NOT_FOUND)
            logMessage("could not delete packed file (error %lu)", error);
    }
}

bool anyArchivePacked(const std::string& home) {
    for (const char* archive : packedArchives)
        if (pathExists(home + "\\" + archive + ".pack"))
            return true;
    return false;
}

}  // namespace

void unpackRuntime(const std::string& home) {
    // Whatever is still packed is unpacked, whichever earlier run left it:
    // an archive that failed keeps its packed file and is tried again, even
    // when the archives after it (jsse.jar last) have been unpacked since.
    if (!anyArchivePacked(home))
        return;
    logMessage("Unpacking JRE");
    std::fputs("Preparing JRE ...\n", stdout);
    std::fflush(stdout);
    for (const char* archive : packedArchives)
        unpackArchive(home, archive);
    logMessage("Unpacking JRE done");
}
