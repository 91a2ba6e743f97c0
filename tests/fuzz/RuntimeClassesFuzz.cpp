// The reader of the Java half's classes behind the block, and of the record
// that says where they lie. The checksum is made to match, or nothing but
// its check would ever run.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "services/RuntimeClasses.h"

namespace {
volatile size_t sink;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string pack(reinterpret_cast<const char*>(data), size);
    const size_t line = pack.find('\n');
    if (line != std::string::npos) {
        const std::string_view text = std::string_view(pack).substr(0, line);
        if (const auto place = parseRuntimeClassesPlace(text)) {
            const auto again = parseRuntimeClassesPlace(formatRuntimeClassesPlace(*place));
            if (!again || again->offset != place->offset || again->length != place->length ||
                place->length == 0 || place->length > kRuntimeClassesMaxBytes)
                __builtin_trap();
        }
    }
    if (pack.size() >= 12) {
        const uint32_t sum = crc32(std::string_view(pack).substr(12));
        for (int i = 0; i < 4; ++i)
            pack[8 + size_t(i)] = char((sum >> (8 * i)) & 0xFF);
    }
    std::vector<RuntimeClass> classes;
    const char* problem = readRuntimeClasses(pack, classes);
    if (problem && !classes.empty())
        __builtin_trap();
    size_t total = 12;
    for (const RuntimeClass& c : classes) {
        const char* begin = pack.data();
        if (c.name.empty() || c.name.data() < begin || c.bytes.data() + c.bytes.size() > begin + pack.size() ||
            c.bytes.size() < 4)
            __builtin_trap();
        total += 2 + c.name.size() + 4 + c.bytes.size();
    }
    if (!problem && total != pack.size())
        __builtin_trap();
    sink = total;
    return 0;
}
