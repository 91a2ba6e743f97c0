// The packer's readers of files it did not write: images and their resource
// directories, icons, bitmaps, PNGs, version resources and manifests. Any
// input must end in a result or a PackError, within its bounds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/kvo-pack/Encoding.h"
#include "tools/kvo-pack/PeImage.h"
#include "tools/kvo-pack/ResourceFiles.h"
#include "tools/kvo-pack/ResourceTree.h"

using namespace kvopack;

namespace {
volatile size_t sink;

template <typename F>
void guarded(F f) {
    try {
        f();
    } catch (const PackError&) {
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the reader, the rest is its input.
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 6) {
    case 0:
        guarded([&] {
            const PeHeaders h = readPeHeaders(input, "fuzz");
            const std::vector<Resource> list = readResources(input, h, "fuzz");
            sink = list.size();
            // What was read must write and read back.
            std::string image = input;
            placeResourceSection(image, [&](uint32_t rva) { return buildResourceSection(list, rva); },
                                 "fuzz");
            sink = readResources(image, readPeHeaders(image, "fuzz"), "fuzz").size();
        });
        break;
    case 1:
        guarded([&] { sink = groupIconData(readIconFile(input), 1).size(); });
        break;
    case 2:
        guarded([&] { sink = readSplashBitmap(input).data.size(); });
        break;
    case 3:
        guarded([&] { sink = splashImageKind(input).size(); });
        break;
    case 4: {
        VersionInfo info;
        if (readVersionResource(input, info))
            sink = buildVersionResource(info).size();
        std::vector<IconImage> entries;
        std::vector<uint16_t> ids;
        sink = readGroupIcon(input, entries, ids);
        break;
    }
    case 5:
        // The readers parse as the editor does: only what it takes is theirs to read.
        guarded([&] {
            sink = rewriteManifest(input, ExecutionLevel::highestAvailable, DpiAwareness::perMonitorV2).size();
            sink = manifestExecutionLevel(input).size() + manifestDpiSetting(input).size();
        });
        break;
    }
    return 0;
}
