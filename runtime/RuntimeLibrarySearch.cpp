#include "runtime/RuntimeLibrarySearch.h"

#include "core/Log.h"

namespace {

using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);

// Looked up at run time: the call is missing on the oldest systems, which
// then keep the plain search order.
SetDllDirectoryFn setDllDirectoryFunction() {
    static const SetDllDirectoryFn function = kernel32Function<SetDllDirectoryFn>("SetDllDirectoryA");
    return function;
}

}  // namespace

void keepWorkingDirectoryOffLibrarySearch() {
    // An empty directory replaces the working directory in the search order.
    if (SetDllDirectoryFn setDllDirectory = setDllDirectoryFunction())
        setDllDirectory("");
}

HMODULE loadRuntimeLibrary(const std::string& library, const std::string& binDirectory) {
    SetDllDirectoryFn setDllDirectory = setDllDirectoryFunction();
    if (!setDllDirectory) {
        logMessage("no SetDllDirectoryA: %s finds its libraries through PATH", library.c_str());
        return LoadLibraryA(library.c_str());
    }
    if (!setDllDirectory(binDirectory.c_str())) {
        const DWORD error = GetLastError();
        logError("could not put %s first in the library search (error %lu)", binDirectory.c_str(), error);
    }
    HMODULE loaded = LoadLibraryA(library.c_str());
    const DWORD error = GetLastError();
    if (!loaded)
        setDllDirectory("");
    SetLastError(error);
    return loaded;
}
