// The manifest editor: any manifest is rewritten or refused with a message,
// and one it rewrites reads back with the settings it was given.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "tools/kvo-pack/Encoding.h"
#include "tools/kvo-pack/Manifest.h"

using namespace kvopack;

namespace {
volatile size_t sink;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the settings, the rest is the manifest.
    const std::string manifest(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::optional<ExecutionLevel> level;
    std::optional<DpiAwareness> dpi;
    if (data[0] & 3)
        level = ExecutionLevel((data[0] & 3) - 1);
    if ((data[0] >> 2) & 3)
        dpi = DpiAwareness(((data[0] >> 2) & 3) - 1);
    std::string rewritten;
    try {
        rewritten = rewriteManifest(manifest, level, dpi);
    } catch (const PackError&) {
        // The readers parse a manifest as the editor does: what it refuses,
        // they read nothing of, and running them adds nothing here.
        return 0;
    }
    sink = manifestExecutionLevel(manifest).size() + manifestDpiSetting(manifest).size();
    if (level && manifestExecutionLevel(rewritten) != executionLevelName(*level))
        __builtin_trap();
    if (dpi && manifestDpiSetting(rewritten) != dpiAwarenessName(*dpi))
        __builtin_trap();
    return 0;
}
