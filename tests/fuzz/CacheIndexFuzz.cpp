// The reader of the index a launcher keeps beside its included files, which
// anyone who can write the folder can change, and the folder rules for the
// names it meets there. The first byte picks the file count the launcher
// would expect; an index that reads must write back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "services/CacheFolder.h"

namespace {
volatile size_t sink;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const size_t count = data[0] % 8;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    constexpr std::string_view hash = "0123456789abcdef";
    std::vector<CachedFile> files;
    const char* problem = parseCacheIndex(text, hash, count, files);
    if (problem ? !files.empty() : files.size() != count)
        __builtin_trap();
    // Only leading zeros may differ from what the launcher writes.
    if (!problem && formatCacheIndex(hash, files).size() > text.size())
        __builtin_trap();
    const std::string name = applicationFolderName(text, text);
    if (name.empty() || name.size() > kApplicationFolderMax ||
        name.find_first_of("<>:\"/\\|?*") != std::string::npos)
        __builtin_trap();
    sink = name.size() + size_t(cacheFolderKind(text)) + files.size();
    return 0;
}
