// The reader of a runtime's release file, and the version rules its answer
// goes to: a version is short, unquoted and free of control characters.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/ReleaseFile.h"
#include "runtime/VersionRules.h"

namespace {
volatile size_t sink;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), std::min(size, kReleaseFileReadLimit));
    std::string version;
    if (!releaseJavaVersion(content, version))
        return 0;
    if (version.empty() || version.size() > kReleaseVersionMax)
        __builtin_trap();
    for (char c : version)
        if (static_cast<unsigned char>(c) < 0x20 || c == '"')
            __builtin_trap();
    sink = size_t(isVersionInRange(version, "1.8", "17")) + size_t(isVersionInRange(version, "11", "")) +
           size_t(compareVersionNumbers(version, "21.0.10") + 1) + size_t(isBetaVersion(version));
    return 0;
}
