#include "services/TempDir.h"

#include "core/ConfigStore.h"
#include "core/Log.h"

char launcherTempDir[8192] = "";
uint32_t unextractedPosition = 0;

int extractIncludedFiles(bool /*createDirectory*/) {
    const int32_t count = getConfigInt(rec::IncludedFileCount);
    if (count <= 0)
        return 0;
    // Reporting success here would start the application without its files.
    logError("extraction of %d included files is not built yet", count);
    return 1;
}

void emptyDirectory(const char* directory, bool /*recurse*/) {
    logError("emptying %s is not built yet", directory);
}
