// Fuzzes the block decoder over whole files: whatever the bytes, decoding
// must end in success or a named read failure, never a crash or a huge
// allocation.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/ConfigBlock.h"

static volatile size_t sink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MemorySource source(bytes);
    ConfigStore store;
    int64_t end = 0;
    BlockFailure failure;
    const bool ok = decodeConfigBlock(source, "de_CH", store, end, failure);
    if (ok != (failure.error == BlockError::none))
        __builtin_trap();
    sink = store.narrow.size() + store.wide.size() + static_cast<size_t>(end);
    return 0;
}
