#include "core/NativeLibraryPath.h"

#include <string>

#include "core/CodePage.h"
#include "core/ConfigStore.h"
#include "core/Environment.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Platform.h"

void setNativeLibraryPath(void (*expand)(std::string& text)) {
    std::string list = getConfigString(rec::NativeLibraryPath);
    logMessage("native lib dir is %s", list.c_str());
    expand(list);

    std::string value = resolvePathList(list);
    if (!value.empty() && value.back() != ';')
        value += ';';

    // PATH is read and written in UTF-16: its narrow copy would turn every
    // directory named with a letter the code page lacks into a look-alike.
    constexpr size_t kPathValue = 16384;
    std::wstring old;
    readEnvironmentVariable(L"PATH", old);
    std::wstring front;
    widenText(fileApiCodePage(), value, front);
    if (old.size() >= kPathValue || front.size() + old.size() >= kPathValue) {
        // Cutting PATH would hide system directories from the runtime; keep it.
        logError("Setting PATH (native libs) skipped: value longer than %u characters",
                 static_cast<unsigned>(kPathValue));
        return;
    }
    const std::wstring path = front + old;
    const std::string shown = narrowForDisplay(fileApiCodePage(), path);
    if (writeEnvironmentVariable(L"PATH", &path))
        logMessage("Setting PATH (native libs) %s", shown.c_str());
    else
        logMessage("Setting PATH (native libs) %s failed with error %lu", shown.c_str(), GetLastError());
}
