// The version-resource reader: any bytes are read or refused, and what it
// reads builds back to the very bytes it read, within the 16-bit lengths.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/kvo-pack/image/ResourceFiles.h"

using namespace kvopack;

namespace {
volatile size_t sink;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    VersionInfo info;
    if (!readVersionResource(input, info))
        return 0;
    sink = info.strings.size();
    if (!versionResourceFits(info))
        __builtin_trap();
    const std::string built = buildVersionResource(info);
    VersionInfo again;
    if (!readVersionResource(built, again) || again.strings != info.strings ||
        again.fileVersion != info.fileVersion || again.productVersion != info.productVersion ||
        again.language != info.language || again.codePage != info.codePage)
        __builtin_trap();
    return 0;
}
