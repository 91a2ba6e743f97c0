// The launcher's command-line splitter over any UTF-16 text: the arguments
// are pieces of the text, so together never longer than it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/CommandLine.h"

namespace {
volatile size_t sink;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text(size / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
    WideArgs args;
    splitArguments(text, args);
    size_t total = 0;
    for (const std::u16string& a : args)
        total += a.size();
    if (total > text.size())
        __builtin_trap();
    sink = args.size();
    return 0;
}
